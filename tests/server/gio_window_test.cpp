#include <gtest/gtest.h>

#include "gio_test_support.h"
#include "server/gio.h"
#include "server/gio_holder.h"
#include "server/gio_state.h"

namespace {

using gio_test::FakeDir;
using gio_test::FakeLibrary;
using grd_svr::AccessWindow;
using grd_svr::CGIO;
using grd_svr::CGIO_Holder;
using grd_svr::GioState;
using grd_svr::GridDescription;

AccessWindow Window(double x_min, double y_min, double x_max, double y_max, double cell_size) {
  AccessWindow window;
  window.m_CellSize = cell_size;
  window.m_Box[0] = x_min;
  window.m_Box[1] = y_min;
  window.m_Box[2] = x_max;
  window.m_Box[3] = y_max;
  return window;
}

void ExpectBox(const AccessWindow& window, double x_min, double y_min, double x_max, double y_max) {
  EXPECT_EQ(window.m_Box[0], x_min);
  EXPECT_EQ(window.m_Box[1], y_min);
  EXPECT_EQ(window.m_Box[2], x_max);
  EXPECT_EQ(window.m_Box[3], y_max);
}

class GioWindowTest : public gio_test::GioStateTest {};

TEST_F(GioWindowTest, AppliedWindowTakesTheLibrarysBoxRowsAndColumns) {
  FakeLibrary fake("complete");
  CGIO_Holder holder(FakeDir("complete"));
  fake.SteerWindow(0, 4, 5);
  ASSERT_TRUE(CGIO::ApplyWindow(Window(0, 0, 10, 8, 2)));
  const AccessWindow& window = GioState().window;
  EXPECT_EQ(window.m_Rows, 4);
  EXPECT_EQ(window.m_Columns, 5);
  EXPECT_EQ(window.m_CellSize, 2);
  ExpectBox(window, -0.5, -0.5, 10.5, 8.5);
}

TEST_F(GioWindowTest, RefusedWindowLeavesNoValidWindowButKeepsTheCellSize) {
  FakeLibrary fake("complete");
  CGIO_Holder holder(FakeDir("complete"));
  fake.SteerWindow(0, 4, 5);
  ASSERT_TRUE(CGIO::ApplyWindow(Window(0, 0, 10, 8, 2)));
  fake.SteerWindow(-1, 4, 5);
  EXPECT_FALSE(CGIO::ApplyWindow(Window(0, 0, 30, 30, 3)));
  const AccessWindow& window = GioState().window;
  EXPECT_FALSE(window.IsValid());
  EXPECT_EQ(window.m_Rows, 0);
  EXPECT_EQ(window.m_Columns, 0);
  ExpectBox(window, 0, 0, 0, 0);
  EXPECT_EQ(window.m_CellSize, 2);
}

TEST_F(GioWindowTest, WindowWithoutRowsOrColumnsIsNotApplied) {
  FakeLibrary fake("complete");
  CGIO_Holder holder(FakeDir("complete"));
  fake.SteerWindow(0, 0, 5);
  EXPECT_FALSE(CGIO::ApplyWindow(Window(0, 0, 10, 8, 2)));
  EXPECT_FALSE(GioState().window.IsValid());
  fake.SteerWindow(0, 4, -1);
  EXPECT_FALSE(CGIO::ApplyWindow(Window(0, 0, 10, 8, 2)));
  EXPECT_FALSE(GioState().window.IsValid());
}

TEST_F(GioWindowTest, NoLibraryMeansNoWindow) {
  EXPECT_FALSE(CGIO::ApplyWindow(Window(0, 0, 10, 8, 2)));
  EXPECT_FALSE(GioState().window.IsValid());
}

TEST_F(GioWindowTest, ReapplyingTheCurrentWindowWorks) {
  MIRL_SKIP_WITHOUT_REAL_LIBRARY();
  CGIO_Holder holder(gio_test::RealLibraryDir());
  ASSERT_TRUE(CGIO::ApplyWindow(Window(0, 0, 40, 20, 10)));
  ASSERT_TRUE(CGIO::ApplyWindow(GioState().window));
  EXPECT_EQ(GioState().window.m_Rows, 2);
  EXPECT_EQ(GioState().window.m_Columns, 4);
}

TEST_F(GioWindowTest, RealLibraryAppliesAWindowBuiltFromALowerLeftCorner) {
  MIRL_SKIP_WITHOUT_REAL_LIBRARY();
  CGIO_Holder holder(gio_test::RealLibraryDir());
  // 100 rows, 50 columns, lower-left (1000, 2000), cell size 10.
  ASSERT_TRUE(CGIO::ApplyWindow(Window(1000, 2000, 1000 + 50 * 10, 2000 + 100 * 10, 10)));
  EXPECT_EQ(GioState().window.m_Rows, 100);
  EXPECT_EQ(GioState().window.m_Columns, 50);
  ExpectBox(GioState().window, 1000, 2000, 1500, 3000);
}

TEST_F(GioWindowTest, RealLibrarySnapsAPartCellOutwardAndRefusesAZeroCellSize) {
  MIRL_SKIP_WITHOUT_REAL_LIBRARY();
  CGIO_Holder holder(gio_test::RealLibraryDir());
  ASSERT_TRUE(CGIO::ApplyWindow(Window(0, 0, 25, 10, 10)));
  EXPECT_EQ(GioState().window.m_Columns, 3);
  EXPECT_EQ(GioState().window.m_Rows, 1);
  ExpectBox(GioState().window, 0, 0, 30, 10);
  EXPECT_FALSE(CGIO::ApplyWindow(Window(0, 0, 25, 10, 0)));
  EXPECT_FALSE(GioState().window.IsValid());
}

TEST_F(GioWindowTest, DescribeGridPutsEveryFieldInItsPlace) {
  CGIO_Holder holder(FakeDir("complete"));
  GridDescription description;
  ASSERT_TRUE(CGIO::DescribeGrid("/grids/g", description));
  EXPECT_EQ(description.m_Window.m_CellSize, 2.5);
  EXPECT_EQ(description.m_Window.m_Rows, 7);
  EXPECT_EQ(description.m_Window.m_Columns, 9);
  ExpectBox(description.m_Window, 10, 11, 12, 13);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(description.m_Stats[i], 20.0 + i);
  EXPECT_EQ(description.m_DataType, 2);
  EXPECT_EQ(description.m_ClassCount, 3);
  EXPECT_EQ(description.m_RecordLength, 4);
  EXPECT_FALSE(CGIO::DescribeGrid("/grids/bad", description));
}

TEST_F(GioWindowTest, DescribeGridIsFalseWithoutALibrary) {
  GridDescription description;
  EXPECT_FALSE(CGIO::DescribeGrid("/grids/g", description));
}

}  // namespace
