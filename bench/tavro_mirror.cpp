// Measures the mirror engine on one folder pair: the copy pass, then the
// deletion pass, printing only the message lines. A measuring tool, not a
// second user interface.

#include <cstdio>
#include <iostream>
#include <string>

#include "engine/deletion_pass.h"
#include "engine/tree_copy.h"

namespace {

class LinesOnly final : public tavro::RunDisplay {
 public:
  void fileCopyStarted(const std::string&) override {}
  void fileGaugeRange(int) override {}
  void fileGaugeProgress(int) override {}
  void fileCopyFinished() override {}
  void fileDeletionStarted(const std::string&) override {}
  void fileDeletionFinished() override {}
  void addLine(const std::string& line) override { std::cout << line << '\n'; }
  void processMessages() override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tavro-mirror SRC TRG\n");
    return 2;
  }
  tavro::PosixFileSystem fs;
  LinesOnly display;
  tavro::Kopiruj(fs, display, argv[1], argv[2]);
  tavro::Vymaz(fs, display, argv[1], argv[2]);
  return 0;
}
