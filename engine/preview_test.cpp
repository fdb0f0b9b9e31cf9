#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "engine/backup_run.h"
#include "testing/fake_clock.h"
#include "testing/faulty_file_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSubsetOf;
using testkit::FaultOp;

struct NoStates final : PairStates {
  bool record(std::size_t, const char*) override { return true; }
};

constexpr std::time_t kOld = 1262340000;

class PreviewTest : public ::testing::Test {
 protected:
  PreviewTest() {
    clock.set(2026, 12, 9, 10, 0);
    // Pair 1: every kind of change the passes make.
    tree.file("data/A/new.txt", "new");
    tree.file("data/A/sub/deeper/new2.txt", "new in a new folder");
    tree.file("data/A/changed.txt", "changed, and longer");
    tree.file("backup/A/changed.txt", "old");
    tree.setTime("backup/A/changed.txt", kOld);
    tree.file("data/A/same.txt", "same");
    tree.file("backup/A/same.txt", "same");
    tree.setTime("data/A/same.txt", kOld);
    tree.setTime("backup/A/same.txt", kOld);
    if (testkit::whyNoLinks().empty()) {
      tree.link("data/A/link", "same.txt");
    } else {
      tree.file("data/A/link", "a new file where the system makes no links");
    }
    tree.file("data/A/unreadable.txt", "u");
    fs.fail(FaultOp::Open, tree.path("data/A/unreadable.txt"));
    tree.file("backup/A/gone.txt", "gone");
    tree.file("backup/A/old/x.txt", "xx");
    tree.file("backup/A/old/inner/y.txt", "yyy");
    tree.file("backup/A/sub/stale.txt", "stale");
    // Pair 2: a source that is not there.
    pairs = {{tree.path("data/A"), tree.path("backup"), {}},
             {tree.path("data/Gone"), tree.path("backup"), {}}};
  }

  std::set<std::string> planned(const PairPlan& plan, bool deleted) const {
    std::set<std::string> paths;
    for (const auto& entry : plan.entries) {
      if ((entry.change == Change::Deleted) == deleted && !entry.folder) paths.insert(entry.path);
    }
    return paths;
  }
  std::set<std::string> done(const char* prefix) const {
    std::set<std::string> paths;
    for (const auto& event : display.only(prefix))
      paths.insert(event.substr(std::string(prefix).size()));
    return paths;
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  testkit::RecordingDisplay display;
  testkit::FakeClock clock;
  BackupRun run{fs, display, clock};
  std::vector<BackupPair> pairs;
  RunOptions options;
};

TEST_F(PreviewTest, TheRunDoesWhatThePreviewListedAndThePreviewChangesNothing) {
  const auto before = tree.listing();
  const auto preview = run.preview(pairs, options);
  ASSERT_TRUE(preview);
  EXPECT_EQ(tree.listing(), before) << "the preview changes nothing on disk";
  EXPECT_THAT(display.events, testing::Each(testing::Eq("pump")))
      << "and shows nothing in the window";
  ASSERT_EQ(preview->size(), 2u);
  const PairPlan& plan = (*preview)[0].plan;
  const std::string a = tree.path("data/A") + "/";
  const std::string b = tree.path("backup/A") + "/";
  EXPECT_EQ(planned(plan, false),
            (std::set<std::string>{a + "new.txt", a + "sub/deeper/new2.txt", a + "changed.txt",
                                   a + "link", a + "unreadable.txt"}));
  EXPECT_EQ(planned(plan, true),
            (std::set<std::string>{b + "gone.txt", b + "old/x.txt", b + "old/inner/y.txt",
                                   b + "sub/stale.txt"}));
  EXPECT_EQ(previewSummary((*preview)[0]),
            "Zdroj: " + tree.path("data/A") + " — nové: 4, změněné: 1, smazané: 4, celkem 0,0 MB");
  EXPECT_THAT((*preview)[0].lines, IsEmpty());
  const std::string missing = "Nelze číst zdroj: " + tree.path("data/Gone") + " !!!";
  EXPECT_THAT((*preview)[1].lines, ElementsAre(missing));

  display.clear();
  NoStates states;
  const auto result = run.backUp(pairs, options, states);
  ASSERT_TRUE(result);
  // A folder new to the target is copied beside the walk, whose files the
  // display need not name one by one; the preview below finds them done.
  EXPECT_THAT(done("copy "), IsSubsetOf(planned(plan, false)));
  EXPECT_EQ(done("delete "), planned(plan, true));
  EXPECT_THAT(result->pairs[1].lines[0], missing);
  EXPECT_FALSE(tree.exists("backup/A/old")) << "the planned folder went too";

  // Now in step, the preview finds only the file the run could not read.
  const auto again = run.preview(pairs, options);
  ASSERT_TRUE(again);
  EXPECT_EQ(planned((*again)[0].plan, false), std::set<std::string>{a + "unreadable.txt"});
  EXPECT_THAT(planned((*again)[0].plan, true), IsEmpty());
}

TEST_F(PreviewTest, WithVersionsTheHistoryHoldsWhatThePreviewListed) {
  options.historyDays = 30;
  const auto preview = run.preview(pairs, options);
  ASSERT_TRUE(preview);
  EXPECT_FALSE(tree.exists("backup/.tavro-historie"));
  NoStates states;
  ASSERT_TRUE(run.backUp(pairs, options, states));
  std::set<std::string> kept;
  const std::string history = ".tavro-historie/A/2026-12-09 10.00.00/";
  for (const auto& path : tree.listing("backup/" + history)) {
    if (!path.ends_with("/")) kept.insert(tree.path("backup/A/" + path));
  }
  std::set<std::string> expected = planned((*preview)[0].plan, true);
  expected.insert(tree.path("backup/A/changed.txt"));
  EXPECT_EQ(kept, expected);
}

TEST_F(PreviewTest, ThePreviewWaitsForARunAndARunForThePreview) {
  struct Nesting : testkit::RecordingDisplay {
    std::function<void()> inside;
    void processMessages() override {
      RecordingDisplay::processMessages();
      if (inside) std::exchange(inside, nullptr)();
    }
  } nesting;
  BackupRun nested{fs, nesting, clock};
  bool refused = false;
  nesting.inside = [&] {
    NoStates states;
    refused = !nested.backUp(pairs, options, states).has_value();
  };
  ASSERT_TRUE(nested.preview(pairs, options));
  EXPECT_TRUE(refused);
  EXPECT_FALSE(tree.exists("backup/A/new.txt"));
}

}  // namespace
}  // namespace tavro
