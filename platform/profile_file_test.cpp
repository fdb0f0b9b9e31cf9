#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include "platform/program_paths.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  testkit::TempTree tree;
  SystemFileSystem fs;
  ProfileFile file{fs, tree.path("Tavro.ini")};
};

TEST_F(ProfileFileTest, ReadsTheFirstMatchingKeyOfItsSectionWithoutRegardToCase) {
  EXPECT_EQ(file.read("Main", "T", "default"), "default") << "no file";
  tree.file("Tavro.ini",
            "T=outside\r\n[Other]\r\nT=other\r\n[ main ]\r\n  t  =  a = b  \r\nT=second\r\n"
            "Empty=\r\n");
  EXPECT_EQ(file.read("MAIN", "T", "default"), "a = b");
  EXPECT_EQ(file.read("Main", "Empty", "default"), "");
  EXPECT_EQ(file.read("Main", "Missing", "default"), "default");
  EXPECT_EQ(file.read("Nowhere", "T", "default"), "default");
  tree.file("Tavro.ini", "[Main]\nLong=" + std::string(3000, 'v') + "\n");
  EXPECT_EQ(file.read("Main", "Long", "").size(), 2047u);
}

TEST_F(ProfileFileTest, WritesInPlaceAndLeavesEveryOtherLineAlone) {
  tree.file("Tavro.ini", "; comment\r\n[Main]\r\nA=1\r\n  b = 2\r\n\r\n[Other]\r\nA=x\r\n");
  ASSERT_TRUE(file.write("Main", "B", "3").ok());
  ASSERT_TRUE(file.write("Main", "C", "new").ok());
  ASSERT_TRUE(file.write("Third", "K", "v").ok());
  ASSERT_TRUE(file.write("Main", "A", "line\nbreak").ok());
  EXPECT_EQ(tree.read("Tavro.ini"),
            "; comment\r\n[Main]\r\nA=linebreak\r\nB=3\r\nC=new\r\n\r\n[Other]\r\nA=x\r\n"
            "[Third]\r\nK=v\r\n");
}

TEST_F(ProfileFileTest, CreatesAMissingFileAndAppendsToALastLineWithoutBreak) {
  ASSERT_TRUE(file.write("Main", "T", "0:00:00").ok());
  EXPECT_EQ(tree.read("Tavro.ini"), "[Main]\nT=0:00:00\n");
  tree.file("Tavro.ini", "[Main]\nT=1");
  ASSERT_TRUE(file.write("Main", "T", "2").ok());
  EXPECT_EQ(tree.read("Tavro.ini"), "[Main]\nT=2");
  ASSERT_TRUE(file.write("Main", "U", "3").ok());
  EXPECT_EQ(tree.read("Tavro.ini"), "[Main]\nT=2\nU=3\n");
}

TEST_F(ProfileFileTest, AByteOrderMarkIsPassedOverWhenReadingAndKeptWhenWriting) {
  const std::string mark = "\xEF\xBB\xBF";
  tree.file("Tavro.ini", mark + "[Main]\r\nTAS=1\r\nTNTmin=45\r\n");
  EXPECT_EQ(file.read("Main", "TNTmin", "30"), "45");
  ASSERT_TRUE(file.write("Main", "TAS", "1").ok());
  ASSERT_TRUE(file.write("Main", "DZP", "0").ok());
  EXPECT_EQ(tree.read("Tavro.ini"), mark + "[Main]\r\nTAS=1\r\nTNTmin=45\r\nDZP=0\r\n");
  tree.file("Tavro.ini", mark);
  ASSERT_TRUE(file.write("Main", "T", "0:00:00").ok());
  EXPECT_EQ(tree.read("Tavro.ini"), mark + "[Main]\nT=0:00:00\n");
}

TEST(ProgramPathsTest, UsesTheExecutablesFolderOnlyForAPortableInstallation) {
  const auto local = ProgramPaths::locate("/opt/tavro", true, nullptr, nullptr, "/home/u");
  EXPECT_EQ(local.settingsFile, "/opt/tavro/Tavro.ini");
  EXPECT_EQ(local.logFile, "/opt/tavro/Tavro.log");
  const auto user = ProgramPaths::locate("/usr/bin", false, nullptr, "", "/home/u");
  EXPECT_EQ(user.settingsFile, "/home/u/.config/tavro/Tavro.ini");
  EXPECT_EQ(user.logFile, "/home/u/.local/state/tavro/Tavro.log");
  const auto xdg = ProgramPaths::locate("/usr/bin", false, "/x/config", "/x/state", "/home/u");
  EXPECT_EQ(xdg.settingsFile, "/x/config/tavro/Tavro.ini");
  EXPECT_EQ(xdg.logFile, "/x/state/tavro/Tavro.log");
  EXPECT_EQ(local.pairTable, "Tavro.csv");
}

}  // namespace
}  // namespace tavro
