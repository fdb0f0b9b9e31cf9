#pragma once

#include <string>

namespace tavro {

// What a run shows while it goes. The window implements it on its controls;
// tests record the calls. Every call comes from the thread that runs the
// backup, and processMessages() is the only point where that thread lets the
// window handle its pending input.
class RunDisplay {
 public:
  virtual ~RunDisplay() = default;

  // One file copy: the per-file gauge appears and the current-file label
  // names the source; both go again at fileCopyFinished().
  virtual void fileCopyStarted(const std::string& sourcePath) = 0;
  // The gauge's range becomes 0..maximum and its position 0.
  virtual void fileGaugeRange(int maximum) = 0;
  virtual void fileGaugeProgress(int position) = 0;
  virtual void fileCopyFinished() = 0;

  // One file deletion: the current-file label names the target file.
  virtual void fileDeletionStarted(const std::string& targetPath) = 0;
  virtual void fileDeletionFinished() = 0;

  // A line of the run's message list.
  virtual void addLine(const std::string& line) = 0;

  virtual void processMessages() = 0;
};

}  // namespace tavro
