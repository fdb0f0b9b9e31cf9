#include "platform/whole_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/faulty_file_system.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using testing::FaultOp;

class WholeFileTest : public ::testing::Test {
 protected:
  testing::TempTree tree;
  PosixFileSystem real;
  testing::FaultyFileSystem fs{real};
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
  for (std::int64_t after = 0; after < 40000; after += 3333) steps.push_back({FaultOp::Write, after});
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

TEST_F(WholeFileTest, ACrashLeavesTheOldFileAndTheNextWriteCleansUp) {
  tree.file("f", "old contents");
  fs.crash(FaultOp::Write, tree.path(".f.tavro-new"), 5);
  EXPECT_THROW((void)replaceWholeFile(fs, tree.path("f"), "new contents"), testing::SimulatedCrash);
  EXPECT_EQ(tree.read("f"), "old contents");
  fs.clear();
  ASSERT_TRUE(replaceWholeFile(fs, tree.path("f"), "new contents").ok());
  EXPECT_EQ(tree.read("f"), "new contents");
  EXPECT_EQ(tree.listing(""), std::vector<std::string>{"f"});
}

}  // namespace
}  // namespace tavro
