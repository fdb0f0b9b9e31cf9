#include "engine/file_copy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "testing/mirror_fixture.h"

namespace tavro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testkit::FaultOp;

// One file's copy, as the tree walk makes it.
using FileCopyTest = MirrorTest;

TEST_F(FileCopyTest, OneCopyShowsItsFileAndDrivesTheGauge) {
  const int size = 3 * 1024 * 1024 + 5;
  sourceFile("a.bin", std::string(size, 'a'));
  copy();
  const auto& all = display.events;
  ASSERT_GE(all.size(), 8u);
  EXPECT_THAT(std::vector<std::string>(all.begin(), all.begin() + 4),
              ElementsAre("pump", "copy " + src("a.bin"), "pump", "range " + std::to_string(size)));
  // The window is served between the chunks of a large file.
  const auto pumps = std::count(all.begin() + 4, all.end(), "pump");
  EXPECT_GE(pumps, 3);
  std::vector<std::string> e;
  std::copy_if(all.begin() + 4, all.end(), std::back_inserter(e),
               [](const std::string& event) { return event != "pump"; });
  EXPECT_THAT(std::vector<std::string>(e.end() - 3, e.end()),
              ElementsAre("progress " + std::to_string(size), "progress 0", "copied"));
  int last = 0;
  for (auto it = e.begin(); it != e.end() - 2; ++it) {
    ASSERT_EQ(it->rfind("progress ", 0), 0u) << *it;
    const int position = std::stoi(it->substr(9));
    EXPECT_GT(position, last) << "the gauge moves as the bytes go";
    last = position;
  }
  EXPECT_GT(e.size(), 4u) << "several steps on a file of several chunks";
}

// "Přerušit" pressed while a large file is copied: the window's pump is where
// the request arrives.
TEST_F(FileCopyTest, AStopAbandonsTheFileBeingCopiedAndKeepsTheOldCopy) {
  struct StoppingDisplay : testkit::RecordingDisplay {
    StopRequest* stop = nullptr;
    int progress = 0;
    void fileGaugeProgress(int position) override {
      RecordingDisplay::fileGaugeProgress(position);
      if (position > 0) ++progress;
    }
    void processMessages() override {
      RecordingDisplay::processMessages();
      if (progress >= 2) stop->request();
    }
  };
  const std::string big(4 * 1024 * 1024, 'n');
  for (const bool replacing : {false, true}) {
    SCOPED_TRACE(replacing ? "replacing an outdated copy" : "a new copy");
    tree.remove("src");
    tree.remove("trg");
    sourceFile("a.bin", big);
    tree.folder("trg");
    if (replacing) {
      tree.file("trg/a.bin", "old copy");
      tree.setTime("trg/a.bin", kTime - 3600);
    }
    StopRequest stop;
    StoppingDisplay stopping;
    stopping.stop = &stop;
    auto source = real.openFolder(tree.path("src"));
    ASSERT_TRUE(source.ok());
    TargetFolder target(real, tree.path("trg"));
    copyTree(stopping, *source.value, target, {&stop, nullptr, nullptr});

    EXPECT_THAT(stopping.lines, IsEmpty()) << "a stop is no failure of the file";
    if (replacing) {
      EXPECT_EQ(tree.read("trg/a.bin"), "old copy");
      EXPECT_EQ(tree.time("trg/a.bin").tv_sec, kTime - 3600);
    }
    const auto left = tree.listing("trg");
    EXPECT_EQ(left, replacing ? std::vector<std::string>{"a.bin"} : std::vector<std::string>{})
        << "no part of the new copy stays";
  }
}

TEST_F(FileCopyTest, GaugeScalesFilesBeyondItsRange) {
  EXPECT_EQ(gaugeUnits(1000, 1000), 1000);
  EXPECT_EQ(gaugeUnits(INT32_MAX, INT32_MAX), INT32_MAX);
  const std::int64_t huge = 5LL * 1024 * 1024 * 1024;  // 5 GiB
  EXPECT_LE(gaugeUnits(huge, huge), INT32_MAX);
  EXPECT_GT(gaugeUnits(huge, huge), INT32_MAX / 2);
  EXPECT_EQ(gaugeUnits(huge / 2, huge), gaugeUnits(huge, huge) / 2);
  EXPECT_EQ(gaugeUnits(0, huge), 0);
}

TEST_F(FileCopyTest, ACopyThatBreaksOffAtAnyByteKeepsTheOldCopy) {
  const std::string contents(3 * 8192 + 5, 'n');
  for (std::int64_t after = 0; after <= static_cast<std::int64_t>(contents.size()); after += 4099) {
    SCOPED_TRACE(after);
    sourceFile("f", contents);
    tree.file("trg/f", "old copy");
    tree.setTime("trg/f", kTime - 60);
    fs.clear();
    display.clear();
    fs.failUnder(FaultOp::Write, trg(), ENOSPC, after);

    copy();

    EXPECT_EQ(tree.read("trg/f"), "old copy");
    EXPECT_EQ(tree.time("trg/f").tv_sec, kTime - 60);
    EXPECT_THAT(display.lines, ElementsAre("Nelze zkopirovat: " + src("f") + " !!!"));
    EXPECT_THAT(tree.listing("trg"), ElementsAre("f"));
  }
}

TEST_F(FileCopyTest, ANewFileThatBreaksOffAtAnyByteIsNotLeftHalfWritten) {
  const std::string contents(2 * 8192 + 1, 'n');
  for (std::int64_t after = 0; after <= static_cast<std::int64_t>(contents.size()); after += 2731) {
    SCOPED_TRACE(after);
    sourceFile("f", contents);
    tree.remove("trg");
    fs.clear();
    fs.failUnder(FaultOp::Write, trg(), EIO, after);
    copy();
    EXPECT_FALSE(tree.exists("trg/f"));

    fs.clear();
    copy();
    EXPECT_EQ(tree.read("trg/f"), contents);
  }
}

TEST_F(FileCopyTest, AnOutdatedCopyThatCannotBeReplacedGivesBothLines) {
  sourceFile("a.txt", "new");
  tree.file("trg/a.txt", "old");
  fs.fail(FaultOp::Rename, trg("a.txt"), EPERM);

  copy();

  EXPECT_THAT(display.lines, ElementsAre("Nelze vymazat: " + trg("a.txt") + " !!!",
                                         "Nelze zkopirovat: " + src("a.txt") + " !!!"));
  EXPECT_EQ(tree.read("trg/a.txt"), "old");
  EXPECT_THAT(tree.listing("trg"), ElementsAre("a.txt"));
}

TEST_F(FileCopyTest, ACrashDuringAReplacementLeavesTheOldCopyAndTheNextRunRecovers) {
  sourceFile("a.txt", std::string(20000, 'n'));
  tree.file("trg/a.txt", "old");
  tree.setTime("trg/a.txt", kTime - 60);
  // The computer dies after 10000 bytes went into the replacement.
  fs.crash(FaultOp::Write, trg(temporaryNameFor("a.txt", 0)), 10000);
  EXPECT_THROW(copy(), testkit::SimulatedCrash);
  EXPECT_EQ(tree.read("trg/a.txt"), "old");
  EXPECT_EQ(tree.time("trg/a.txt").tv_sec, kTime - 60);

  fs.clear();
  mirror();
  EXPECT_EQ(tree.read("trg/a.txt"), std::string(20000, 'n'));
  EXPECT_THAT(tree.listing("trg"), ElementsAre("a.txt"));
}

TEST_F(FileCopyTest, ALeftoverTemporaryFileIsReusedWithoutDeletionPass) {
  sourceFile("a.txt", "new");
  tree.file("trg/a.txt", "old");
  tree.file("trg/" + temporaryNameFor("a.txt", 0), "half");
  copy();
  EXPECT_EQ(tree.read("trg/a.txt"), "new");
  EXPECT_THAT(tree.listing("trg"), ElementsAre("a.txt"));
}

TEST_F(FileCopyTest, ASourceFileNamedLikeATemporaryFileIsNeverOverwritten) {
  const std::string lookalike = temporaryNameFor("a.txt", 0);
  sourceFile(lookalike, "users own file");
  sourceFile("a.txt", "new");
  tree.file("trg/" + lookalike, "users own file");
  tree.setTime("trg/" + lookalike, kTime);
  tree.file("trg/a.txt", "old");
  copy();
  EXPECT_EQ(tree.read("trg/a.txt"), "new");
  EXPECT_EQ(tree.read("trg/" + lookalike), "users own file");
  EXPECT_EQ(tree.listing("trg"), tree.listing("src"));
}

TEST_F(FileCopyTest, TemporaryNamesStayWithinTheNameLimitWithoutSplittingCharacters) {
  std::string longName;
  for (int i = 0; i < 120; ++i) longName += "č";  // two bytes each
  const std::string temporary = temporaryNameFor(longName, 3);
  EXPECT_LE(temporary.size(), 255u);
  EXPECT_EQ(temporary.rfind(".tavro-part3.", 0), 0u);
  EXPECT_EQ((temporary.size() - std::string(".tavro-part3.").size()) % 2, 0u);
}

TEST_F(FileCopyTest, ANewCopyCutShortNeverSitsUnderItsNameAndIsRepaired) {
  // The source was saved just before the run, so a copy broken off then
  // would carry a time in the same two-second step: only its absence from
  // the file's name tells the next run it is not done.
  const std::string contents(50000, 'x');
  sourceFile("new.bin", contents, kTime);
  for (const bool unnamedFiles : {true, false}) {
    SCOPED_TRACE(unnamedFiles ? "unnamed files" : "temporary names");
    if (!unnamedFiles) fs.refuseUnnamedFiles();
    fs.crashUnder(FaultOp::Write, trg(), 20000);
    EXPECT_THROW(copy(), testkit::SimulatedCrash);
    EXPECT_FALSE(tree.exists("trg/new.bin"));

    fs.clear();
    copy();
    EXPECT_EQ(tree.read("trg/new.bin"), contents);
    EXPECT_THAT(tree.listing("trg"), ElementsAre("new.bin"));
    tree.remove("trg/new.bin");
  }

  // Any copy whose size is not its source's is redone.
  tree.file("trg/new.bin", "short");
  tree.setTime("trg/new.bin", kTime);
  copy();
  EXPECT_EQ(tree.read("trg/new.bin"), contents);
}

TEST_F(FileCopyTest, AnOutdatedCopyWithoutRoomForItsReplacementGivesBothLines) {
  sourceFile("a.txt", "new");
  tree.file("trg/a.txt", "old");
  fs.failUnder(FaultOp::Create, trg(), ENOSPC);
  copy();
  EXPECT_THAT(display.lines, ElementsAre("Nelze vymazat: " + trg("a.txt") + " !!!",
                                         "Nelze zkopirovat: " + src("a.txt") + " !!!"));
  EXPECT_EQ(tree.read("trg/a.txt"), "old");
}

}  // namespace
}  // namespace tavro
