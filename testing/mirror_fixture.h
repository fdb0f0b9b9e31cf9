#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/deletion_pass.h"
#include "engine/tree_copy.h"
#include "platform/program_paths.h"
#include "testing/faulty_file_system.h"
#include "testing/real_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro {

// A source tree "src" and a target tree "trg" in one temporary folder, the
// real file system behind a fault injector, and a recording display.
class MirrorTest : public ::testing::Test {
 protected:
  // Central European time where the system takes a zone by its rule (the
  // Windows tests keep wine's).
  void SetUp() override {
    (void)testkit::setTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
    tree.folder("src");
  }
  void TearDown() override {
    (void)testkit::setTimeZone(nullptr);
    EXPECT_EQ(display.callsFromOtherThreads, 0) << "the display was called from another thread";
  }

  std::string src(const std::string& relative = "") const { return under("src", relative); }
  std::string trg(const std::string& relative = "") const { return under("trg", relative); }

  // A source file with a fixed time, so copies can be checked against it.
  void sourceFile(const std::string& relative, const std::string& contents,
                  std::time_t time = kTime) {
    tree.file("src/" + relative, contents);
    tree.setTime("src/" + relative, time);
  }

  // Read ahead or in turn as the environment says: the suite runs both ways.
  void copy() {
    PassOptions options;
    options.readAhead = readAheadFromEnvironment();
    copyTree(fs, display, src(), trg(), options);
  }
  void prune() { deleteVanished(fs, display, src(), trg()); }
  // Renames an entry of the source's top through the file system, which
  // knows how to change letter case alone where the C library's rename does
  // nothing (wine).
  void renameInSource(const std::string& from, const std::string& to) {
    auto folder = real.openFolder(src());
    ASSERT_TRUE(folder.ok());
    ASSERT_TRUE(folder.value->rename(from, to).ok()) << from;
  }
  void mirror() {
    copy();
    prune();
  }

  // Mirrors on the real file system as user 65534, where permission bits
  // count, and returns the lines it gave, each ended by "\n". `whyNot` is
  // set when the machine cannot switch users.
  std::string mirrorAsNobody(bool withDeletions, std::string* whyNot) {
    testkit::openPathToOthers(src());
    return testkit::runAsNobody(
        [&] {
          SystemFileSystem plain;
          testkit::RecordingDisplay seen;
          copyTree(plain, seen, src(), trg());
          if (withDeletions) deleteVanished(plain, seen, src(), trg());
          std::string all;
          for (const auto& line : seen.lines) all += line + "\n";
          return all;
        },
        whyNot);
  }
  void giveToNobody(const std::string& path) {
    ASSERT_EQ(testkit::giveTo(path, testkit::kNobody, testkit::kNobody), "");
  }

  static constexpr std::time_t kTime = 1262340000;  // 1 January 2010, 10:00 universal

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  testkit::RecordingDisplay display;

 private:
  std::string under(const std::string& top, const std::string& relative) const {
    return relative.empty() ? tree.path(top) : tree.path(top + "/" + relative);
  }
};

}  // namespace tavro
