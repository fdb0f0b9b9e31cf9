#include "program/command_line.h"

#include <gtest/gtest.h>

#include "platform/program_paths.h"
#include "platform/whole_file.h"
#include "program/restore_commands.h"
#include "testing/real_system.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

// Answers the run's questions as the test says, and counts them.
class ScriptedHost final : public CommandLineHost {
 public:
  Lock lock = Lock::Acquired;
  bool stop = false;
  int stopQuestions = 0;

  Lock acquireInstance(const std::string&, std::string* reason) override {
    *reason = "no lock here";
    return lock;
  }
  bool stopRequested() override {
    ++stopQuestions;
    return stop;
  }
};

// A run in a folder of its own: Tavro.csv there, the settings and the log
// in the test's folders.
class CommandLineTest : public ::testing::Test {
 protected:
  CommandLineTest() {
    testkit::setEnvironment("XDG_CONFIG_HOME", tree.folder("config").c_str());
    testkit::setEnvironment("XDG_STATE_HOME", tree.folder("state").c_str());
    testkit::setEnvironment("APPDATA", tree.folder("appdata").c_str());  // Windows
    testkit::changeFolder(tree.root());
    tree.file("one/a.txt", "a");
    tree.file("two/b.txt", "b");
    tree.folder("backup");
    tree.file("Tavro.csv", "SRC,TRG,STAV\r\n" + tree.path("one") + "," + tree.path("backup") +
                               ",\r\n" + tree.path("two") + "," + tree.path("backup") + ",\r\n");
  }
  ~CommandLineTest() override { testkit::changeFolder(home_); }

  std::optional<int> run(std::vector<std::string> arguments) {
    return handleCommandLine(arguments, fs, host);
  }

  const std::string home_ = SystemFileSystem().absolutePath(".").value;
  testkit::TempTree tree;
  SystemFileSystem fs;
  ScriptedHost host;
};

TEST_F(CommandLineTest, AStopRequestEndsTheRunAfterItsPairAndTheStatesAreWritten) {
  host.stop = true;
  EXPECT_EQ(run({"--run"}), 1);
  EXPECT_GT(host.stopQuestions, 0);
  EXPECT_EQ(tree.read("backup/one/a.txt"), "a");
  EXPECT_FALSE(tree.exists("backup/two"));
  const std::string table = tree.read("Tavro.csv");
  EXPECT_NE(table.find("/one," + tree.path("backup") + ",OK\r\n"), std::string::npos) << table;
  EXPECT_EQ(table.find("/two," + tree.path("backup") + ",OK"), std::string::npos) << table;
  EXPECT_NE(readWholeFile(fs, ProgramPaths::locate().logFile).value.find("Záloha OK"),
            std::string::npos);
}

TEST_F(CommandLineTest, ARunRefusesWhileAnotherHoldsTheLockAndGoesOnWithoutALock) {
  host.lock = CommandLineHost::Lock::HeldElsewhere;
  EXPECT_EQ(run({"--run"}), 2);
  EXPECT_FALSE(tree.exists("backup/one"));
  host.lock = CommandLineHost::Lock::Unavailable;
  EXPECT_EQ(run({"--run"}), 0);
  EXPECT_EQ(tree.read("backup/two/b.txt"), "b");
  EXPECT_EQ(run({"--confirm-deletions"}), 2);
  EXPECT_EQ(run({}), std::nullopt);
}

TEST_F(CommandLineTest, ARestoreFindsTheInnermostPairAndStopsWhenAsked) {
  const std::vector<BackupPair> pairs{{tree.path("one"), tree.path("backup"), ""},
                                      {tree.path("one/inner"), tree.path("backup2"), ""}};
  const auto inner = findPairOf(fs, pairs, tree.path("one/inner/c.txt"));
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->pair.target, tree.path("backup2"));
  EXPECT_EQ(inner->relative, "c.txt");
  EXPECT_EQ(findPairOf(fs, pairs, tree.path("one"))->relative, "");
  EXPECT_FALSE(findPairOf(fs, pairs, tree.path("one-more/a.txt")));  // a prefix of text only

  for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--restore"},
                                                {"--as-of", "2026-12-01 10.00.00"},
                                                {"--versions", "a", "--restore", "b"},
                                                {"--restore", "one", "--as-of", "yesterday"}}) {
    EXPECT_EQ(run(wrong), 2);
  }
  EXPECT_EQ(run({"--run"}), 0);
  const std::string into = tree.folder("restored");
  host.stop = true;
  EXPECT_EQ(run({"--restore", tree.path("one"), "--to", into}), 1);
  EXPECT_FALSE(tree.exists("restored/one"));
  host.stop = false;
  EXPECT_EQ(run({"--restore", tree.path("one"), "--to", into}), 0);
  EXPECT_EQ(tree.read("restored/one/a.txt"), "a");
}

}  // namespace
}  // namespace tavro
