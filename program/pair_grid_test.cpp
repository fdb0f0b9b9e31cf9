#include "program/pair_grid.h"

#include <gtest/gtest.h>

#include "testing/faulty_file_system.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

class PairGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.file("Tavro.csv", "SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");
    table.open();
    grid.setErrorHandler([this](const std::exception& e) { errors.push_back(e.what()); });
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  PairTable table{fs, tree.path("Tavro.csv")};
  PairGrid grid{table};
  std::vector<std::string> errors;
};

TEST_F(PairGridTest, AnEditorClosedUnchangedOpensNoEditAndAnInsertShowsAtItsPlace) {
  EXPECT_TRUE(grid.setCellText(1, 0, "/c"));
  EXPECT_FALSE(table.isEditing());
  grid.moveToRow(1);
  grid.insertRow();
  ASSERT_EQ(grid.rowCount(), 3);
  EXPECT_EQ(grid.cellText(1, 0), "");
  EXPECT_EQ(grid.cellText(2, 0), "/c");
  grid.setCellText(1, 1, "/t");
  grid.moveToRow(2);  // stored before /c, and in the file at once
  EXPECT_EQ(tree.read("Tavro.csv"), "SRC,TRG,STAV\r\n/a,/b,OK\r\n,/t,\r\n/c,/d,OK\r\n");
  EXPECT_EQ(grid.currentRow(), 2);
  EXPECT_EQ(grid.cellText(3, 0), "");  // past the end: nothing
}

TEST_F(PairGridTest, TheQuestionDecidesAndARunStartedMeanwhileKeepsTheRow) {
  EXPECT_FALSE(grid.removeAfterQuestion([] { return false; }));
  EXPECT_FALSE(grid.removeAfterQuestion([this] {
    grid.setEditable(false);  // a scheduled run began while the box was open
    return true;
  }));
  EXPECT_EQ(table.recordCount(), 2);
  grid.setEditable(true);
  EXPECT_FALSE(grid.setCellText(0, 5, "x"));

  // A failed write is shown, and the row stays removed in the table.
  fs.failUnder(testkit::FaultOp::Create, tree.root(), ENOSPC);
  EXPECT_TRUE(grid.removeAfterQuestion([] { return true; }));
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(table.recordCount(), 1);
  EXPECT_TRUE(table.changed());
}

}  // namespace
}  // namespace tavro
