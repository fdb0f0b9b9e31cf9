#include "platform/whole_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>

#include "testing/faulty_file_system.h"
#include "testing/real_system.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using testkit::FaultOp;

class WholeFileTest : public ::testing::Test {
 protected:
  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
};

TEST_F(WholeFileTest, WritesCreatingFoldersAndReadsBack) {
  const std::string path = tree.path("a/b/settings.txt");
  ASSERT_TRUE(replaceWholeFile(fs, path, "one\r\ntwo\r\n").ok());
  EXPECT_EQ(readWholeFile(fs, path).value, "one\r\ntwo\r\n");
  ASSERT_TRUE(replaceWholeFile(fs, path, "").ok());
  EXPECT_EQ(readWholeFile(fs, path).value, "");
  EXPECT_EQ(readWholeFile(fs, tree.path("none")).error, ENOENT);
  EXPECT_EQ(tree.listing("a/b"), std::vector<std::string>{"settings.txt"});
}

TEST_F(WholeFileTest, KeepsThePermissionsOfTheFileItReplaces) {
  if (testkit::onWindows()) GTEST_SKIP() << "Windows keeps no permission bits but read-only";
  tree.file("f", "old");
  tree.setMode("f", 0600);
  ASSERT_TRUE(replaceWholeFile(fs, tree.path("f"), "new").ok());
  EXPECT_EQ(tree.mode("f"), 0600u);
}

TEST_F(WholeFileTest, AFailureAtAnyStepLeavesTheOldFileWhole) {
  const std::string path = tree.path("f");
  const std::string contents(40000, 'n');
  struct Step {
    FaultOp op;
    std::int64_t after;
  };
  std::vector<Step> steps = {{FaultOp::Create, 0}, {FaultOp::Sync, 0}, {FaultOp::Rename, 0}};
  for (std::int64_t after = 0; after < 40000; after += 3333)
    steps.push_back({FaultOp::Write, after});
  for (const auto& step : steps) {
    SCOPED_TRACE(static_cast<int>(step.op) * 100000 + step.after);
    tree.file("f", "old contents");
    fs.clear();
    fs.failUnder(step.op, tree.root(), ENOSPC, step.after);
    const Status written = replaceWholeFile(fs, path, contents);
    EXPECT_EQ(written.error, ENOSPC);
    EXPECT_EQ(tree.read("f"), "old contents");
    EXPECT_EQ(tree.listing(""), std::vector<std::string>{"f"}) << "no temporary file is left";
  }
}

TEST_F(WholeFileTest, ACrashLeavesTheOldFileAndALaterWriteCleansUp) {
  tree.file("f", "old contents");
  fs.crashUnder(FaultOp::Write, tree.root(), 5);
  EXPECT_THROW((void)replaceWholeFile(fs, tree.path("f"), "new contents"), testkit::SimulatedCrash);
  EXPECT_EQ(tree.read("f"), "old contents");
  const auto left = tree.listing("");
  ASSERT_EQ(left.size(), 2u);
  const std::string leftover = left[0] == "f" ? left[1] : left[0];
  EXPECT_EQ(leftover.rfind(".f.tavro-new.", 0), 0u);

  // A fresh leftover may be another writer's at work; an old one goes.
  fs.clear();
  ASSERT_TRUE(replaceWholeFile(fs, tree.path("f"), "new contents").ok());
  EXPECT_EQ(tree.listing("").size(), 2u);
  tree.setTime(leftover, std::time(nullptr) - 3600);
  ASSERT_TRUE(replaceWholeFile(fs, tree.path("f"), "newer contents").ok());
  EXPECT_EQ(tree.read("f"), "newer contents");
  EXPECT_EQ(tree.listing(""), std::vector<std::string>{"f"});
}

TEST_F(WholeFileTest, TwoWritersAtOnceEachUseTheirOwnTemporaryFile) {
  tree.file("Tavro.ini", "old");
  // Another program writes the same file in the middle of this one's write.
  fs.interruptWrite(tree.root(), [&] {
    EXPECT_TRUE(replaceWholeFile(real, tree.path("Tavro.ini"), "theirs").ok());
  });
  EXPECT_TRUE(replaceWholeFile(fs, tree.path("Tavro.ini"), "ours").ok());
  EXPECT_EQ(tree.read("Tavro.ini"), "ours");
  EXPECT_EQ(tree.listing(""), std::vector<std::string>{"Tavro.ini"});
}

TEST_F(WholeFileTest, FollowsALinkTheUserPutInTheFilesPlace) {
  if (const std::string whyNot = testkit::whyNoLinks(); !whyNot.empty()) GTEST_SKIP() << whyNot;
  tree.file("dotfiles/Tavro.ini", "[Main]\nT=7:30:00\n");
  tree.link("config/Tavro.ini", "../dotfiles/Tavro.ini");
  tree.link("config/Alias.ini", tree.path("config/Tavro.ini"));  // a link to a link
  EXPECT_EQ(readWholeFile(fs, tree.path("config/Alias.ini")).value, "[Main]\nT=7:30:00\n");

  ASSERT_TRUE(replaceWholeFile(fs, tree.path("config/Alias.ini"), "new").ok());
  EXPECT_EQ(tree.read("dotfiles/Tavro.ini"), "new");
  EXPECT_EQ(tree.listing("config"), (std::vector<std::string>{"Alias.ini@", "Tavro.ini@"}));
  EXPECT_EQ(tree.listing("dotfiles"), std::vector<std::string>{"Tavro.ini"});

  // A link whose file is not there yet reads as missing; a write makes it.
  tree.link("config/Tavro.csv", "../dotfiles/Tavro.csv");
  EXPECT_EQ(readWholeFile(fs, tree.path("config/Tavro.csv")).error, ENOENT);
  ASSERT_TRUE(replaceWholeFile(fs, tree.path("config/Tavro.csv"), "x").ok());
  EXPECT_EQ(tree.read("dotfiles/Tavro.csv"), "x");
  EXPECT_TRUE(tree.isLink("config/Tavro.csv"));
}

TEST_F(WholeFileTest, TheFilesOwnPermissionDecidesAsAUserSeesIt) {
  tree.file("mine/read-only.csv", "old");
  tree.setMode("mine/read-only.csv", 0444);
  tree.file("theirs/writable.csv", "old contents");
  for (const char* path : {"mine", "mine/read-only.csv", "theirs/writable.csv"}) {
    ASSERT_EQ(testkit::giveTo(tree.path(path), testkit::kNobody, testkit::kNobody), "");
  }
  testkit::openPathToOthers(tree.path("mine"));

  std::string whyNot;
  const std::string errors = testkit::runAsNobody(
      [&] {
        SystemFileSystem plain;
        return std::to_string(
                   replaceWholeFile(plain, tree.path("mine/read-only.csv"), "new").error) +
               " " +
               std::to_string(
                   replaceWholeFile(plain, tree.path("theirs/writable.csv"), "new").error);
      },
      &whyNot);
  if (!whyNot.empty()) GTEST_SKIP() << whyNot;

  EXPECT_EQ(errors, std::to_string(EACCES) + " 0");
  EXPECT_EQ(tree.read("mine/read-only.csv"), "old");
  EXPECT_EQ(tree.read("theirs/writable.csv"), "new") << "written over in place";
  EXPECT_EQ(tree.listing("theirs"), std::vector<std::string>{"writable.csv"});
}

}  // namespace
}  // namespace tavro
