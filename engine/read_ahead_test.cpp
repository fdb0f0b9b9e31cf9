// The copy pass looks entries up ahead, on a second thread. That may make a
// run faster and nothing else: these tests run the same pairs with it on and
// off and compare everything a user could see.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/lookup_worker.h"
#include "engine/pair_mirror.h"
#include "testing/faulty_file_system.h"
#include "testing/real_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using testkit::FaultOp;
using testkit::FaultyFileSystem;
using testkit::RecordingDisplay;
using testkit::TempTree;

constexpr std::time_t kTime = 1262340000;

enum class Variant { Plain, KindsHidden, CaseFolding };

// A source tree and an older backup of it, both drawn from one seed, so that
// the backup can be laid down twice exactly alike. Folder sizes straddle the
// walk's batch sizes.
class RandomPair {
 public:
  RandomPair(TempTree& tree, std::uint32_t seed, Variant variant)
      : tree_(tree), seed_(seed), variant_(variant) {}

  void makeSource() {
    std::mt19937 rng(seed_);
    sourceFolder("src", 0, rng);
    if (variant_ == Variant::CaseFolding) {
      // Two names one case-blind target cannot tell apart, among enough
      // files that they are looked up ahead together.
      for (int i = 0; i < 20; ++i) file("src/many" + std::to_string(i) + ".txt", "x", kTime);
      file("src/Pair.txt", "one", kTime);
      file("src/pair.txt", "other", kTime + 60);
    }
  }

  // The backup as an earlier run might have left it, with the changes since
  // and the odd entry a user put there.
  void makeBackup(const std::string& pairFolder) {
    std::mt19937 rng(seed_ + 1000);
    backupOf("src", pairFolder, rng);
  }

 private:
  void file(const std::string& path, const std::string& contents, std::time_t time) {
    tree_.file(path, contents);
    tree_.setTime(path, time);
  }

  void sourceFolder(const std::string& path, int depth, std::mt19937& rng) {
    static constexpr int kFileCounts[] = {0, 3, 20, 140, 300};
    const int files = depth == 0 ? kFileCounts[2 + rng() % 3] : kFileCounts[rng() % 4];
    tree_.folder(path);
    for (int i = 0; i < files; ++i) {
      const std::string name = path + "/" + (rng() % 2 ? "f" : "F") + std::to_string(i);
      // Links and FIFOs where the system has them (not Windows).
      const auto kind = rng() % 20;
      if (kind == 0 && links_) {
        tree_.link(name, "f" + std::to_string(i + 1));
      } else if (kind == 1 && fifos_) {
        tree_.fifo(path + "/p" + std::to_string(i));
      } else {
        file(name, std::string(rng() % 40, 'a' + static_cast<char>(rng() % 26)),
             kTime + static_cast<std::time_t>(rng() % 4) * 3600);
      }
    }
    if (depth < 2) {
      const int folders = static_cast<int>(rng() % 4) + (depth == 0 ? 1 : 0);
      for (int i = 0; i < folders; ++i) {
        sourceFolder(path + "/d" + std::to_string(i), depth + 1, rng);
      }
    }
  }

  void backupOf(const std::string& source, const std::string& backup, std::mt19937& rng) {
    tree_.folder(backup);
    for (const std::string& entry : tree_.listing(source)) {
      if (entry.find('/') != entry.size() - 1 && entry.find('/') != std::string::npos) continue;
      const bool folder = entry.back() == '/';
      const bool link = entry.back() == '@';
      const std::string name = folder || link ? entry.substr(0, entry.size() - 1) : entry;
      const std::string from = source + "/" + name;
      const std::string to = backup + "/" + name;
      const unsigned roll = rng() % 100;
      if (folder) {
        if (roll < 8) continue;  // not backed up yet
        if (roll < 12) {         // a file where the folder goes
          file(to, "in the way", kTime);
          continue;
        }
        backupOf(from, to, rng);
        continue;
      }
      if (link || roll < 6) continue;  // new since the last run
      if (name.starts_with("p")) {     // a FIFO now, a file before
        if (roll < 50) file(to, "was a file", kTime);
        continue;
      }
      // Both new, so that the second is looked up after the first was written.
      if (name == "Pair.txt" || name == "pair.txt") continue;
      const timespec time = tree_.time(from);
      if (roll < 9) {
        tree_.folder(to);  // a folder holds the file's name
        file(to + "/old", "old", kTime);
      } else if (roll < 14) {
        file(to, tree_.read(from), time.tv_sec - 3600);  // changed since
      } else if (roll < 18) {
        file(to, tree_.read(from) + "longer", time.tv_sec);  // cut or grown
      } else {
        file(to, tree_.read(from), time.tv_sec);  // up to date
      }
    }
    // What the source lost since: files and a whole folder.
    const int gone = static_cast<int>(rng() % 30);
    for (int i = 0; i < gone; ++i) file(backup + "/gone" + std::to_string(i), "gone", kTime);
    if (rng() % 3 == 0) file(backup + "/old-folder/deep/x", "x", kTime);
  }

  TempTree& tree_;
  const bool links_ = testkit::whyNoLinks().empty();
  const bool fifos_ = testkit::whyNoFifos().empty();
  std::uint32_t seed_;
  Variant variant_;
};

// Everything below `folder`: each entry's path and kind, each file's size,
// time and contents, each link's text.
std::vector<std::string> snapshot(const TempTree& tree, const std::string& folder) {
  std::vector<std::string> seen;
  for (const std::string& entry : tree.listing(folder)) {
    std::string line = entry;
    const std::string path = folder + "/" + entry;
    if (entry.back() == '@') {
      line += " -> " + tree.readLink(path.substr(0, path.size() - 1));
    } else if (entry.back() != '/') {
      line += " " + std::to_string(tree.time(path).tv_sec) + " " + tree.read(path);
    }
    seen.push_back(line);
  }
  return seen;
}

struct Outcome {
  std::vector<std::string> events;
  std::vector<std::string> target;
  int lookupsOnWorker = 0;
  int copies = 0;
};

Outcome mirrorWith(TempTree& tree, const std::string& target, Variant variant, bool readAhead,
                   int historyDays) {
  SystemFileSystem real;
  FaultyFileSystem fs(real);
  if (variant == Variant::KindsHidden) fs.hideKinds();
  if (variant == Variant::CaseFolding) fs.foldCase(tree.path(target));
  RecordingDisplay display;
  PairOptions options;
  options.run.readAhead = readAhead;
  options.run.durable = false;
  options.run.historyDays = historyDays;
  options.runStart = LocalDateTime{2026, 12, 9, 10, 0, 5};
  options.run.confirmMassDeletion = [](std::int64_t, std::int64_t, const std::string&) {
    return true;
  };
  mirrorPair(fs, display, tree.path("src"), tree.path(target), options);

  Outcome outcome;
  // The other target's path, so that the two runs' events compare as texts.
  // A new folder is copied beside the walk, showing only some of its files:
  // what is compared is every line and deletion, in order, and the tree the
  // run leaves.
  for (std::string event : display.events) {
    if (event.starts_with("copy ")) ++outcome.copies;
    if (event == "pump" || event == "copied" || event.starts_with("copy ") ||
        event.starts_with("range ") || event.starts_with("progress ")) {
      continue;
    }
    for (std::size_t at; (at = event.find(tree.path(target))) != std::string::npos;) {
      event.replace(at, tree.path(target).size(), "TARGET");
    }
    outcome.events.push_back(event);
  }
  outcome.target = snapshot(tree, target);
  outcome.lookupsOnWorker = fs.callsFromOtherThreads();
  return outcome;
}

TEST(ReadAheadTest, RandomPairsMirrorAlikeWithAndWithoutIt) {
  const Variant variants[] = {Variant::Plain, Variant::KindsHidden, Variant::CaseFolding};
  // Under wine each pair takes many seconds: one of each variant there.
  const std::uint32_t seeds = testkit::onWindows() ? 3 : 6;
  for (std::uint32_t seed = 1; seed <= seeds; ++seed) {
    const Variant variant = variants[seed % 3];
    const int historyDays = seed % 2 ? 30 : 0;
    SCOPED_TRACE("seed " + std::to_string(seed) + ", variant " +
                 std::to_string(static_cast<int>(variant)) + ", history " +
                 std::to_string(historyDays));
    TempTree tree;
    RandomPair pair(tree, seed, variant);
    pair.makeSource();
    pair.makeBackup("ahead/src");
    pair.makeBackup("in-turn/src");
    ASSERT_EQ(snapshot(tree, "ahead"), snapshot(tree, "in-turn"));

    const Outcome ahead = mirrorWith(tree, "ahead", variant, true, historyDays);
    const Outcome inTurn = mirrorWith(tree, "in-turn", variant, false, historyDays);

    EXPECT_EQ(ahead.events, inTurn.events);
    EXPECT_EQ(ahead.target, inTurn.target);
    EXPECT_GT(ahead.lookupsOnWorker, 0);
    EXPECT_EQ(inTurn.lookupsOnWorker, 0);
    // The runs did something to compare.
    const std::string events = [&] {
      std::string all;
      for (const auto& e : inTurn.events) all += e + "\n";
      return all;
    }();
    EXPECT_GT(inTurn.copies, 0);
    EXPECT_NE(events.find("delete "), std::string::npos);
  }
}

TEST(ReadAheadTest, ACrashInALookupAheadEndsTheRunAsItWouldInTurn) {
  TempTree tree;
  for (int i = 0; i < 40; ++i) tree.file("src/f" + std::to_string(i), "new");
  tree.folder("t/src");
  for (int i = 0; i < 40; ++i) tree.file("t/src/f" + std::to_string(i), "old");
  for (const bool readAhead : {true, false}) {
    SystemFileSystem real;
    FaultyFileSystem fs(real);
    fs.crash(FaultOp::Stat, tree.path("t/src/f30"));
    RecordingDisplay display;
    PairOptions options;
    options.run.readAhead = readAhead;
    options.run.durable = false;
    EXPECT_THROW(mirrorPair(fs, display, tree.path("src"), tree.path("t"), options),
                 testkit::SimulatedCrash);
  }
}

TEST(LookupWorkerTest, HandsBackWhatAJobThrewAndServesTheNextOne) {
  LookupWorker worker;
  worker.start([] { throw std::runtime_error("lookup failed"); });
  EXPECT_THROW(worker.finish(), std::runtime_error);
  int done = 0;
  worker.start([&done] { done = 1; });
  worker.finish();
  EXPECT_EQ(done, 1);
  worker.start([] { throw std::runtime_error("forgotten"); });
  worker.abandon();
  worker.start([&done] { done = 2; });
  EXPECT_NO_THROW(worker.finish());
  EXPECT_EQ(done, 2);
}

}  // namespace
}  // namespace tavro
