// Row codes, row lists into a canvas, and the clipping that keeps every copy
// inside the stack and the canvas.
#include <gtest/gtest.h>

#include <vector>

#include "movie/movie_source.h"
#include "movie/row_list.h"
#include "qvm/movie_writer.h"
#include "support/movie_maker.h"

TEST(RowIndex, WorkedCodes) {
  EXPECT_EQ(RowIndex("++++"), 0);
  EXPECT_EQ(RowIndex("+++,"), 1);
  EXPECT_EQ(RowIndex("+++z"), 79);
  EXPECT_EQ(RowIndex("++,+"), 80);
  EXPECT_EQ(RowIndex("+,++"), 6400);
  EXPECT_EQ(RowIndex(",+++"), 512000);
  EXPECT_EQ(RowIndex("zzzz"), 40959999);
  EXPECT_EQ(RowIndex("+++*"), -1);
  EXPECT_EQ(RowIndex("+++{"), -1);
  EXPECT_EQ(RowIndex("++\x80+"), -1);
  for (int32_t i : {0, 1, 79, 80, 699, 43653, 40959999}) EXPECT_EQ(RowIndex(EncodeRowIndex(i).c_str()), i);
}

TEST(RowCount, CountsWholeGroupsOfFour) {
  EXPECT_EQ(RowCount("$"), 0);
  EXPECT_EQ(RowCount("$++++"), 1);
  EXPECT_EQ(RowCount("$+++++++"), 1);
  EXPECT_EQ(RowCount(("$" + std::string(2888, '+')).c_str()), 722);
}

class LoadRowListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("rowlist");
    canvas_.assign(size_t(kCanvasRowBytes) * kMaxRows, 0xEE);
  }
  // A stack file of `rows` rows of `wid` pixels; every byte of row r is r + 1.
  void MakeStack(int32_t wid, int32_t rows, int32_t lead, int64_t cut = -1) {
    std::string bytes(lead, '\x00');
    for (int32_t r = 0; r < rows; ++r) bytes += std::string(size_t(wid) * 3, char(r + 1));
    if (cut >= 0) bytes.resize(cut);
    path_ = dir_ + "/stack";
    ASSERT_TRUE(WriteFile(path_, bytes));
    ASSERT_TRUE(stack_.open(path_.c_str()));
  }
  uint8_t at(int32_t row, int32_t byte) const { return canvas_[size_t(row) * kCanvasRowBytes + byte]; }

  std::string dir_, path_;
  StackFile stack_;
  std::vector<uint8_t> canvas_;
};

TEST_F(LoadRowListTest, CopiesNamedRowsAndLeavesTheRest) {
  MakeStack(4, 3, 5);
  EXPECT_EQ(LoadRowList("$+++-++++++++", stack_, 4, 5, canvas_.data()), 3);
  EXPECT_EQ(at(0, 0), 3);
  EXPECT_EQ(at(0, 11), 3);
  EXPECT_EQ(at(0, 12), 0xEE);  // right of the row's pixels
  EXPECT_EQ(at(1, 0), 1);
  EXPECT_EQ(at(2, 5), 1);      // a row named twice is copied twice
  EXPECT_EQ(at(3, 0), 0xEE);   // rows below the list keep what they held
  EXPECT_EQ(LoadRowList("$", stack_, 4, 5, canvas_.data()), 0);
  EXPECT_EQ(at(0, 0), 3);
}

TEST_F(LoadRowListTest, BadCodesAndRowsBeyondTheStackCopyNothing) {
  MakeStack(4, 2, 2);
  // row 0: bad character; row 1: index 2 lies past the end; row 2: index 1.
  EXPECT_EQ(LoadRowList("$++ ++++-+++,", stack_, 4, 2, canvas_.data()), 3);
  EXPECT_EQ(at(0, 0), 0xEE);
  EXPECT_EQ(at(1, 0), 0xEE);
  EXPECT_EQ(at(2, 0), 2);
  // An offset beyond 2,147,483,647 is never sought.
  EXPECT_EQ(LoadRowList("$zzzz", stack_, 3000, 2, canvas_.data()), 1);
  EXPECT_EQ(at(0, 0), 0xEE);
}

TEST_F(LoadRowListTest, RowCutByTheEndCopiesWholePixelsOnly) {
  MakeStack(4, 2, 0, 12 + 7);  // row 1 holds 2 whole pixels and one byte
  LoadRowList("$+++,", stack_, 4, 0, canvas_.data());
  EXPECT_EQ(at(0, 5), 2);
  EXPECT_EQ(at(0, 6), 0xEE);
}

TEST_F(LoadRowListTest, NeverWritesOutsideTheCanvas) {
  MakeStack(3200, 1, 0);
  std::string list = "$";
  for (int i = 0; i < 2500; ++i) list += "++++";
  EXPECT_EQ(LoadRowList(list.c_str(), stack_, 3200, 0, canvas_.data()), 2500);
  EXPECT_EQ(at(2399, 8999), 1);
  EXPECT_EQ(at(0, 8999), 1);  // 3000 pixels, then the next canvas row starts fresh
}
