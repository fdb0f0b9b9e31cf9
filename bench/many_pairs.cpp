// Whether a run over many pairs costs no more than its pairs run one by one:
// the backup run over every pair of PAIRS_DIR (its folders p1 ... pN, each
// into TARGET/all), against the same run over each pair alone (into
// TARGET/one), in one process so that no program start is counted. A first
// mirror and a re-run with nothing changed, medians of ROUNDS rounds.
//
//   tavro-many-pairs PAIRS_DIR N TARGET [ROUNDS]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/backup_run.h"
#include "platform/clock.h"
#include "platform/program_paths.h"

namespace {

struct Silent final : tavro::LinesOnlyDisplay {
  void addLine(const std::string&) override {}
};

struct NoStates final : tavro::PairStates {
  bool record(std::size_t, const char*) override { return true; }
};

double seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: tavro-many-pairs PAIRS_DIR N TARGET [ROUNDS]\n");
    return 2;
  }
  const std::string sources = argv[1];
  const int n = std::atoi(argv[2]);
  const std::string target = argv[3];
  const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;

  tavro::PosixFileSystem fs;
  tavro::SystemClock clock;
  Silent display;
  tavro::BackupRun run(fs, display, clock);
  tavro::RunOptions options;
  options.historyDays = 30;  // as the program starts
  options.readAhead = tavro::readAheadFromEnvironment();
  NoStates states;
  std::vector<tavro::BackupPair> all;
  for (int i = 1; i <= n; ++i) {
    all.push_back({sources + "/p" + std::to_string(i), target + "/all", {}});
  }

  auto runAll = [&] { (void)run.backUp(all, options, states); };
  auto runOneByOne = [&] {
    double total = 0;
    for (const auto& pair : all) {
      const std::vector<tavro::BackupPair> one{{pair.source, target + "/one", {}}};
      total += seconds([&] { (void)run.backUp(one, options, states); });
    }
    return total;
  };

  std::vector<double> firstAll, firstOne, againAll, againOne;
  for (int round = 0; round < rounds; ++round) {
    std::filesystem::remove_all(target);
    std::filesystem::create_directories(target + "/all");
    std::filesystem::create_directories(target + "/one");
    ::sync();
    // Every other round the other way round, so that neither side always
    // meets the disk as the other left it.
    const bool allFirst = round % 2 == 0;
    auto first = [&](bool all) {
      (all ? firstAll : firstOne).push_back(all ? seconds(runAll) : runOneByOne());
      ::sync();
    };
    first(allFirst);
    first(!allFirst);
    auto again = [&](bool all) {
      (all ? againAll : againOne).push_back(all ? seconds(runAll) : runOneByOne());
    };
    again(allFirst);
    again(!allFirst);
  }
  auto row = [&](const char* name, double one, double byOne) {
    std::printf(
        "| %s, %d pairs | one run %.0f ms | pairs one by one %.0f ms | %.2f of one by one "
        "(goal: at most 1.10) |\n",
        name, n, one * 1000, byOne * 1000, one / byOne);
  };
  row("first mirror", median(firstAll), median(firstOne));
  row("re-run, nothing changed", median(againAll), median(againOne));
  return 0;
}
