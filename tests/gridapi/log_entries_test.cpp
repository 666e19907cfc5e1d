// The session log entries of the grid exports, byte for byte apart from the
// time stamps (removed by LogText) and the addresses (known to the test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "protocol/packets.h"

namespace gridapi_test {
namespace {

const std::string I = Indent();      // 27 blanks
const std::string I23 = Indent(23);  // gridcreate's and gridcopy's entries

// "0x<address> |<value>", as the pointer lines show a parameter.
template <class T>
std::string At(const T* pointer, const std::string& value) {
  return "0x" + Hex(pointer) + " |" + value;
}

class LogEntryTest : public SessionTest {
 protected:
  void SetUp() override { OpenLog(); }
};

TEST_F(LogEntryTest, ReadgridWritesInitialAndReturnParameters) {
  UseHandler([](PacketPtr request) {
    auto* op = dynamic_cast<grd_svr::CGSvrPk_GridOp*>(request.get());
    op->m_RowCount = 2;
    op->m_ColCount = 3;
    op->m_CellType = 1;
    op->m_GrdDataINT = {1, 2, 3, 4, 5, 6};
    return Respond(request);
  });
  std::vector<double> cells(6);
  ASSERT_EQ(readgrid_dbl("elev", -99.9, cells.data()), 1);
  EXPECT_EQ(LogText(),
            "Entering readgrid\n"
            "  gridread initial parameters" +
                I + "grid_name    : elev" + I + "missing_value: -99" + I + "cell_type    : 2" + I +
                "mtx_grid     : " + Hex(cells.data()) + "\n" + "  gridread return parameters" + I +
                "grid_name: elev" + I + "missing_value: -99" + I + "cell_type: 2 [dsk: 1]" + I +
                "grid_size: 6\n"
                "readgrid returned with code: 1\n");
}

TEST_F(LogEntryTest, ReadgridThatFailsWritesNoReturnParameters) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridCannotFind); });
  int cells[1];
  EXPECT_EQ(readgrid_int("x", 5, cells), -10007);
  EXPECT_EQ(LogText(),
            "Entering readgrid\n"
            "  gridread initial parameters" +
                I + "grid_name    : x" + I + "missing_value: 5" + I + "cell_type    : 1" + I +
                "mtx_grid     : " + Hex(cells) + "\n" + "readgrid returned with code: -10007\n");
}

TEST_F(LogEntryTest, ArgumentFailureWritesEntryAndResultOnly) {
  EXPECT_EQ(readgrid_int("x", 0, nullptr), -661);
  EXPECT_EQ(gridcreate("x", 7), -802);
  EXPECT_EQ(LogText(),
            "Entering readgrid\nreadgrid returned with code: -661\n"
            "Entering gridcreate\ngridcreate returned with code: -802\n");
}

TEST_F(LogEntryTest, WritegridWritesItsInitialParametersOnly) {
  UseHandler();
  const int cells[2] = {1, 2};
  ASSERT_EQ(writegrid_int("out", 1, 2, -9999, cells), 1);
  EXPECT_EQ(LogText(),
            "Entering writegrid\n"
            "  gridwrite initial parameters" +
                I + "grid_name    : out" + I + "y_count      : 1" + I + "x_count      : 2" + I +
                "missing_value: -9999" + I + "cell_type    : 1" + I +
                "mtx_grid     : " + Hex(cells) + "\n" + "writegrid returned with code: 1\n");
}

TEST_F(LogEntryTest, ReadblockShowsTheWidenedBlockOnePastItsEnd) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridNoAccessWindow); });
  double cells[20];
  EXPECT_EQ(readblock_dbl("b", 1, 1, 2, 3, 1, -5.5, cells), -10013);
  EXPECT_EQ(LogText(),
            "Entering readblock\n"
            "  readblock initial parameters" +
                I + "grid_name    : b" + I + "y_start      : 1" + I + "x_start      : 1" + I +
                "y_count      : 2" + I + "x_count      : 3" + I + "buffer_size  : 1" + I +
                "y_min        : -1" + I + "x_min        : -1" + I + "y_max        : 3" + I +
                "x_max        : 4" + I + "missing_value: -5" + I + "cell_type    : 2" + I +
                "mtx_block    : " + Hex(cells) + "\n" + "readblock returned with code: -10013\n");
}

TEST_F(LogEntryTest, WriteblockListsTransparencyBeforeCellType) {
  UseHandler();
  const int cells[1] = {4};
  ASSERT_EQ(writeblock_int("b", 2, 3, 1, 1, -1, cells, 2), 1);
  EXPECT_EQ(LogText(),
            "Entering writeblock\n"
            "  writeblock initial parameters" +
                I + "grid_name    : b" + I + "y_start      : 2" + I + "x_start      : 3" + I +
                "y_count      : 1" + I + "x_count      : 1" + I + "missing_value: -1" + I +
                "transparency : 2" + I + "cell_type    : 1" + I + "mtx_block    : " + Hex(cells) +
                "\n" + "writeblock returned with code: 1\n");
}

TEST_F(LogEntryTest, SetwindowShowsIncomingThenStoredValues) {
  UseHandler([](PacketPtr request) {
    auto* p = dynamic_cast<grd_svr::CGSvrPk_AccWndSet*>(request.get());
    p->m_RowCount = 3;
    p->m_ColCount = 4;
    p->m_YLowerLeft = 1.5;
    p->m_XLowerLeft = 2.25;
    p->m_CellSize = 10;
    return Respond(request);
  });
  int rows = 0, cols = 0, block = 9;
  double y = 0, x = 0, size = -1;
  ASSERT_EQ(setwindow("dem", &rows, &cols, &y, &x, &size, &block), 1);
  auto lines = [&](const std::vector<std::string>& v) {
    return I + "y_count   : " + At(&rows, v[0]) + I + "x_count   : " + At(&cols, v[1]) + I +
           "y_ll      : " + At(&y, v[2]) + I + "x_ll      : " + At(&x, v[3]) + I +
           "cell_size : " + At(&size, v[4]) + I + "block_only: " + At(&block, v[5]);
  };
  EXPECT_EQ(LogText(),
            "Entering setwindow\n"
            "  setwindow initial parameters" +
                I + "grid_name : dem" +
                lines({"0", "0", "0.000000", "0.000000", "-1.000000", "9"}) + "\n" +
                "  setwindow return parameters" + I + "grid_name : dem" +
                lines({"3", "4", "1.500000", "2.250000", "10.000000", "0"}) + "\n" +
                "setwindow returned with code: 1\n");
}

TEST_F(LogEntryTest, GetwindowEntriesNameGetwindowAndHaveNoGridName) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridNoAccessWindow); });
  int rows = 1, cols = 2, block = 0;
  double y = 3, x = 4, size = 5;
  EXPECT_EQ(getwindow(&rows, &cols, &y, &x, &size, &block), -10013);
  EXPECT_EQ(LogText(),
            "Entering getwindow\n"
            "  getwindow initial parameters" +
                I + "y_count   : " + At(&rows, "1") + I + "x_count   : " + At(&cols, "2") + I +
                "y_ll      : " + At(&y, "3.000000") + I + "x_ll      : " + At(&x, "4.000000") + I +
                "cell_size : " + At(&size, "5.000000") + I + "block_only: " + At(&block, "0") +
                "\n" + "getwindow returned with code: -10013\n");
}

TEST_F(LogEntryTest, MakewindowHeaderNamesMakewindow) {
  UseHandler();
  int rows = 1, cols = 2, block = 0;
  double y = 3, x = 4, size = 5;
  ASSERT_EQ(makewindow(&rows, &cols, &y, &x, &size, &block), 1);
  const std::string text = LogText();
  EXPECT_EQ(
      text.rfind("Entering makewindow\n  makewindow initial parameters" + I + "y_count   : ", 0),
      0u);
  EXPECT_NE(text.find("\n  makewindow return parameters" + I + "y_count   : "), std::string::npos);
}

TEST_F(LogEntryTest, GriddescribeShowsTenPointersBeforeAndAfter) {
  UseHandler([](PacketPtr request) {
    auto* p = dynamic_cast<grd_svr::CGSvrPk_GridDescribe*>(request.get());
    p->m_RowCount = 2;
    p->m_ColCount = 3;
    p->m_YLowerLeft = 0.5;
    p->m_XLowerLeft = 1.5;
    p->m_CellSize = 2;
    p->m_CellType = 1;
    p->m_StatMin = 1;
    p->m_StatMax = 6;
    p->m_StatMean = 3.5;
    p->m_StatStdDev = 0.125;
    return Respond(request);
  });
  int yc = 0, xc = 0, type = 0;
  double y = 0, x = 0, size = 0, mn = 0, mx = 0, mean = 0, sd = 0;
  ASSERT_EQ(griddescribe("g", &yc, &xc, &y, &x, &size, &type, &mn, &mx, &mean, &sd), 1);
  auto entry = [&](const std::string& stage, const std::vector<std::string>& v) {
    return "  griddescribe " + stage + " parameters" + I + "grid_name  : g" + I +
           "y_count    : " + At(&yc, v[0]) + I + "x_count    : " + At(&xc, v[1]) + I +
           "y_ll       : " + At(&y, v[2]) + I + "x_ll       : " + At(&x, v[3]) + I +
           "cell_size  : " + At(&size, v[4]) + I + "cell_type  : " + At(&type, v[5]) + I +
           "stat_min   : " + At(&mn, v[6]) + I + "stat_max   : " + At(&mx, v[7]) + I +
           "stat_mean  : " + At(&mean, v[8]) + I + "stat_stddev: " + At(&sd, v[9]) + "\n";
  };
  const std::string z = "0.000000";
  EXPECT_EQ(LogText(), "Entering griddescribe\n" +
                           entry("initial", {"0", "0", z, z, z, "0", z, z, z, z}) +
                           entry("return", {"2", "3", "0.500000", "1.500000", "2.000000", "1",
                                            "1.000000", "6.000000", "3.500000", "0.125000"}) +
                           "griddescribe returned with code: 1\n");
}

TEST_F(LogEntryTest, GridcreateAndGridcopyIndentBy23AndReturnTheReplysNames) {
  UseHandler([](PacketPtr request) {
    if (auto* c = dynamic_cast<grd_svr::CGSvrPk_GridCreate*>(request.get()))
      c->m_GridName = "/ws/" + c->m_GridName;
    if (auto* c = dynamic_cast<grd_svr::CGSvrPk_GridCopy*>(request.get())) {
      c->m_SourceGridName = "/ws/" + c->m_SourceGridName;
      c->m_DestinationGridName = "/ws/" + c->m_DestinationGridName;
    }
    return Respond(request);
  });
  ASSERT_EQ(gridcreate("new", 1), 1);
  ASSERT_EQ(gridcopy("new", "copy"), 1);
  EXPECT_EQ(LogText(),
            "Entering gridcreate\n"
            "  gridcreate initial parameters" +
                I23 + "grid_name: new" + I23 +
                "cell_type: 1\n"
                "  gridcreate return parameters" +
                I23 + "grid_name: /ws/new" + I23 +
                "cell_type: 1\n"
                "gridcreate returned with code: 1\n"
                "Entering gridcopy\n"
                "  gridcopy initial parameters" +
                I23 + "src_grid_name: new" + I23 +
                "dst_grid_name: copy\n"
                "  gridcopy return parameters" +
                I23 + "src_grid_name: /ws/new" + I23 +
                "dst_grid_name: /ws/copy\n"
                "gridcopy returned with code: 1\n");
}

TEST_F(LogEntryTest, GridkillRetireAndGridlistEntries) {
  UseHandler([](PacketPtr request) {
    if (auto* l = dynamic_cast<grd_svr::CGSvrPk_GridList*>(request.get()))
      l->m_GridNames = {"a", "b"};
    return Respond(request);
  });
  char buffer[] = "     ";
  ASSERT_EQ(gridkill("old"), 1);
  ASSERT_EQ(gridserver_retire(), 1);
  ASSERT_EQ(gridlist("", buffer), 1);
  EXPECT_EQ(LogText(),
            "Entering gridkill\n"
            "  gridkill initial parameters" +
                I +
                "grid_name: old\n"
                "gridkill returned with code: 1\n"
                "Entering gridserver_retire\n"
                "  gridserver_retire request made\n"
                "gridserver_retire returned with code: 1\n"
                "Entering gridlist\n"
                "  gridlist return parameters" +
                I +
                "grid list: a\nb\n\n"
                "gridlist returned with code: 1\n");
}

TEST_F(LogEntryTest, NameWithPercentSignsIsWrittenAsItIs) {
  UseHandler();
  ASSERT_EQ(gridkill("100%s %d"), 1);
  EXPECT_NE(LogText().find("grid_name: 100%s %d\n"), std::string::npos);
}

using UnloggedTest = SessionTest;

TEST_F(UnloggedTest, WithTheLogClosedNoExportWritesAnything) {
  UseHandler();
  int rows = 1, cols = 1, block = 0;
  double y = 0, x = 0, size = 1;
  int cells[1] = {0};
  char buffer[] = "  ";
  makewindow(&rows, &cols, &y, &x, &size, &block);
  writegrid_int("g", 1, 1, 0, cells);
  readgrid_int("g", 0, cells);
  readblock_int("g", 1, 1, 1, 1, 0, 0, cells);
  gridlist("", buffer);
  gridserver_retire();
  EXPECT_TRUE(dir_.entries().empty());
}

}  // namespace
}  // namespace gridapi_test
