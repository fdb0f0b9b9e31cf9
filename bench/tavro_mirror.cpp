// Measures the mirror engine on one folder pair as a run mirrors it: the
// copy pass, the deletion pass and putting the result on the disk, printing
// only the message lines. A measuring tool, not a second user interface.
//
//   tavro-mirror [--no-sync] [--copy-only] [--versions DAYS] [--preview] SRC TRG
//
// The mirror is TRG/<last name of SRC>, as a run makes it.
//
// --copy-only leaves out the deletion pass, to see what each pass costs.
// --versions keeps what the run deletes or replaces in TRG's history for
// DAYS days; --preview only plans the run and prints its summary.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "engine/backup_run.h"
#include "engine/pair_mirror.h"
#include "platform/clock.h"
#include "platform/program_paths.h"

namespace {

class LinesOnly final : public tavro::LinesOnlyDisplay {
 public:
  void addLine(const std::string& line) override { std::cout << line << '\n'; }
};

int usage() {
  std::fprintf(stderr,
               "usage: tavro-mirror [--no-sync] [--copy-only] [--versions DAYS] [--preview] "
               "SRC TRG\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  tavro::PairOptions options;
  options.run.readAhead = tavro::readAheadFromEnvironment();
  tavro::PairPlan plan;
  plan.keepEntries = false;
  bool preview = false;
  int at = 1;
  for (; at < argc && std::string(argv[at]).starts_with("--"); ++at) {
    const std::string flag = argv[at];
    if (flag == "--no-sync") {
      options.run.durable = false;
    } else if (flag == "--copy-only") {
      options.run.mirrorDeletions = false;
    } else if (flag == "--preview") {
      preview = true;
    } else if (flag == "--versions" && at + 1 < argc) {
      options.run.historyDays = std::atoi(argv[++at]);
    } else {
      return usage();
    }
  }
  if (argc - at != 2) return usage();
  const std::string source = argv[at];
  const char* target = argv[at + 1];
  // As in a run, the mirror of SRC is TRG/<last name of SRC>; TRG is made
  // here, as a run does not make it.
  ::mkdir(target, 0777);
  tavro::PosixFileSystem fs;
  tavro::SystemClock clock;
  LinesOnly display;
  options.runStart = clock.now();
  if (preview) options.plan = &plan;
  tavro::mirrorPair(fs, display, source, target, options);
  if (preview) std::cout << tavro::previewSummary({source, target, plan, {}, {}}) << '\n';
  return 0;
}
