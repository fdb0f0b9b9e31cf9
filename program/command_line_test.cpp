#include "program/command_line.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

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
    ::setenv("XDG_CONFIG_HOME", tree.folder("config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", tree.folder("state").c_str(), 1);
    EXPECT_EQ(::chdir(tree.root().c_str()), 0);
    tree.file("one/a.txt", "a");
    tree.file("two/b.txt", "b");
    tree.folder("backup");
    tree.file("Tavro.csv", "SRC,TRG,STAV\r\n" + tree.path("one") + "," + tree.path("backup") +
                               ",\r\n" + tree.path("two") + "," + tree.path("backup") + ",\r\n");
  }
  ~CommandLineTest() override { (void)::chdir("/"); }

  std::optional<int> run(std::vector<std::string> arguments) {
    return handleCommandLine(arguments, fs, host);
  }

  testkit::TempTree tree;
  PosixFileSystem fs;
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
  EXPECT_NE(tree.read("state/tavro/Tavro.log").find("Záloha OK"), std::string::npos);
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

}  // namespace
}  // namespace tavro
