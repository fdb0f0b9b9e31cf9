#include "log/run_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/file_text.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::HasSubstr;
using testkit::FaultOp;

class RunLogTest : public ::testing::Test {
 protected:
  RunLogTest() {
    formats.shortDate = "%-d.%-m.%Y";
    formats.hourLeadingZero = false;
  }
  // What a new log begins with: nothing, or on Windows the mark of UTF-8.
  static std::string newLog() { return bytesToAppend("", ""); }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  RegionalFormats formats;
};

TEST_F(RunLogTest, WorkedExampleTwoRunsAppendTwoEntries) {
  const std::string path = tree.path("Tavro.log");
  writeRunLog(fs, path,
              {"08.12.200609:05- Záloha OK: C:\\Data", "08.12.200609:07- Záloha OK: C:\\Docs"},
              {2006, 12, 8, 9, 7, 31, 0}, formats);
  writeRunLog(fs, path,
              {"08.12.200614:20- Záloha OK: C:\\Data", "08.12.200614:20- Záloha OK: C:\\Docs"},
              {2006, 12, 8, 14, 20, 12, 0}, formats);
  EXPECT_EQ(tree.read("Tavro.log"), newLog() +
                                        "8.12.2006:9:07:31\r\n"
                                        "-------------------------------------\r\n"
                                        "08.12.200609:05- Záloha OK: C:\\Data\r\n"
                                        "08.12.200609:07- Záloha OK: C:\\Docs\r\n"
                                        "8.12.2006:14:20:12\r\n"
                                        "-------------------------------------\r\n"
                                        "08.12.200614:20- Záloha OK: C:\\Data\r\n"
                                        "08.12.200614:20- Záloha OK: C:\\Docs\r\n");
}

TEST_F(RunLogTest, ARunWithoutLinesWritesItsHeaderAndSeparator) {
  formats.twelveHour = true;
  writeRunLog(fs, tree.path("logs/Tavro.log"), {}, {2026, 1, 2, 15, 4, 5, 0}, formats);
  EXPECT_EQ(tree.read("logs/Tavro.log"),
            newLog() + "2.1.2026:3:04:05 PM\r\n-------------------------------------\r\n");
}

TEST_F(RunLogTest, AFailureNamesTheFileAndTheReason) {
  tree.file("Tavro.log", "earlier entry\r\n");
  fs.fail(FaultOp::Create, tree.path("Tavro.log"), EACCES);
  try {
    writeRunLog(fs, tree.path("Tavro.log"), {"line"}, {2026, 1, 2, 3, 4, 5, 0}, formats);
    FAIL() << "expected an error";
  } catch (const LogError& e) {
    EXPECT_THAT(e.what(), HasSubstr(tree.path("Tavro.log")));
    EXPECT_THAT(e.what(), HasSubstr(systemReason(EACCES)));
  }
  fs.clear();
  fs.fail(FaultOp::Write, tree.path("Tavro.log"), ENOSPC);
  EXPECT_THROW(writeRunLog(fs, tree.path("Tavro.log"), {"line"}, {2026, 1, 2, 3, 4, 5, 0}, formats),
               LogError);
  EXPECT_EQ(tree.read("Tavro.log"), "earlier entry\r\n");
  // A write that only the close reports lost is a failed log write too.
  fs.clear();
  fs.fail(FaultOp::Close, tree.path("Tavro.log"), EIO);
  EXPECT_THROW(writeRunLog(fs, tree.path("Tavro.log"), {"line"}, {2026, 1, 2, 3, 4, 5, 0}, formats),
               LogError);
}

}  // namespace
}  // namespace tavro
