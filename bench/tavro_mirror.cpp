// Measures the mirror engine on one folder pair as a run mirrors it: the
// copy pass, the deletion pass and putting the result on the disk, printing
// only the message lines. A measuring tool, not a second user interface.

#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "engine/pair_mirror.h"

namespace {

class LinesOnly final : public tavro::LinesOnlyDisplay {
 public:
  void addLine(const std::string& line) override { std::cout << line << '\n'; }
};

}  // namespace

int main(int argc, char** argv) {
  bool durable = true;
  if (argc == 4 && std::string(argv[1]) == "--no-sync") {
    durable = false;
    ++argv;
    --argc;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: tavro-mirror [--no-sync] SRC TRG\n");
    return 2;
  }
  // TRG itself is the mirror of SRC, as with rsync's "SRC/ TRG/": a run
  // mirrors a source ending in "/" into its target folder, which it does not
  // create.
  ::mkdir(argv[2], 0777);
  tavro::PosixFileSystem fs;
  LinesOnly display;
  tavro::PairOptions options;
  options.durable = durable;
  tavro::mirrorPair(fs, display, std::string(argv[1]) + "/", argv[2], options);
  return 0;
}
