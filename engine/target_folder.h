#pragma once

#include <cerrno>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_system.h"

namespace tavro {

// A folder of the target tree that may not exist yet. The copy pass walks
// the source and keeps one of these per level; a copy that needs the folder
// creates it, with every missing folder above it, only at that moment.
class TargetFolder {
 public:
  // The folder the user named, reached by its whole path.
  TargetFolder(FileSystem& fs, std::string path);
  // A folder already open; it is never created.
  explicit TargetFolder(std::unique_ptr<Folder> folder);
  // The entry `name` of `parent`, reached relative to it.
  TargetFolder(TargetFolder& parent, std::string name);
  TargetFolder(const TargetFolder&) = delete;
  TargetFolder& operator=(const TargetFolder&) = delete;

  const std::string& path() const { return path_; }

  // The folder when it exists as a folder now, else null.
  Folder* get();
  // Creates the folder and the missing folders above it first; null when
  // that did not give a folder.
  Folder* getOrCreate();
  // Creates just this folder when its parent exists; a failure is ignored.
  void createOneLevel();

  std::optional<FolderId> id() const;

  // Whether the last attempt to open it found a file, a link or a special
  // file under its name.
  bool otherKindInTheWay() const { return openError_ == ENOTDIR || openError_ == ELOOP; }

 private:
  void tryOpen();

  FileSystem* fs_ = nullptr;    // set for the top folder only
  TargetFolder* parent_ = nullptr;
  std::string name_;
  std::string path_;
  std::unique_ptr<Folder> folder_;
  int openError_ = 0;
};

}  // namespace tavro
