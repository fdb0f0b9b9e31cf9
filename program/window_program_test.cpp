#include "program/window_program.h"

#include <gtest/gtest.h>

#include "program/preview_rows.h"

namespace tavro {
namespace {

TEST(ErrorBoxTextTest, AFullStopEndsEveryMessageThatHasNoEndingOfItsOwn) {
  EXPECT_EQ(errorBoxText("Nelze zapsat do C:\\x"), "Nelze zapsat do C:\\x.");
  EXPECT_EQ(errorBoxText("Hotovo."), "Hotovo.");
  EXPECT_EQ(errorBoxText("Nelze !!!"), "Nelze !!!");
  EXPECT_EQ(errorBoxText("čas 7:"), "čas 7:.");
  // A letter outside ASCII sorts above "." as a character, not as a byte.
  EXPECT_EQ(errorBoxText("Nelze smazat soubor ž"), "Nelze smazat soubor ž.");
  EXPECT_EQ(errorBoxText(""), ".");
}

TEST(PreviewRowsTest, CellsGroupSizesAsCzechWritesThemAndMarkFolders) {
  const PlannedEntry file{Change::Changed, false, 1234567, "/data/a.txt"};
  EXPECT_EQ(previewCell(file, PreviewColumn::Kind), "změněné");
  EXPECT_EQ(previewCell(file, PreviewColumn::Size), "1\u00A0234\u00A0567");
  EXPECT_EQ(previewCell(file, PreviewColumn::Path), "/data/a.txt");
  EXPECT_EQ(previewCell({Change::New, false, 999, "b"}, PreviewColumn::Size), "999");
  EXPECT_EQ(previewCell({Change::New, false, 1000, "b"}, PreviewColumn::Size), "1\u00A0000");
  EXPECT_EQ(previewCell({Change::New, false, 0, "b"}, PreviewColumn::Size), "0");
  const PlannedEntry folder{Change::Deleted, true, 0, "/zaloha/stara"};
  EXPECT_EQ(previewCell(folder, PreviewColumn::Kind), "smazané");
  EXPECT_EQ(previewCell(folder, PreviewColumn::Size), "");
  EXPECT_EQ(previewCell(folder, PreviewColumn::Path), "/zaloha/stara/");
}

TEST(PreviewRowsTest, RowsFollowThePairsAndSortByEachColumn) {
  std::vector<PairPreview> pairs(2);
  pairs[0].plan.add(Change::Deleted, false, 5, "/b");
  pairs[1].plan.add(Change::New, false, 9, "/a");
  pairs[1].plan.add(Change::Changed, false, 1, "/c");
  const auto rows = previewRows(pairs);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]->path, "/b");
  EXPECT_EQ(rows[2]->path, "/c");
  EXPECT_TRUE(previewLess(*rows[1], *rows[0], PreviewColumn::Path));
  EXPECT_TRUE(previewLess(*rows[2], *rows[0], PreviewColumn::Size));
  EXPECT_TRUE(previewLess(*rows[1], *rows[2], PreviewColumn::Kind));
  EXPECT_FALSE(previewLess(*rows[0], *rows[0], PreviewColumn::Kind));
}

}  // namespace
}  // namespace tavro
