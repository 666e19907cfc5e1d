#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "protocol/packets.h"

namespace gridapi_test {
namespace {

// A GridList reply naming names.
Answer ListReply(std::vector<std::string> names, int code = grd_svr::ErrNone) {
  return [names, code](PacketPtr request) {
    dynamic_cast<grd_svr::CGSvrPk_GridList*>(request.get())->m_GridNames = names;
    return Respond(request, code);
  };
}

// A caller's list buffer of capacity characters (blanks), with a guard
// byte behind its terminator that must survive.
struct ListBuffer {
  explicit ListBuffer(std::size_t capacity) : bytes(capacity, ' ') {
    bytes.push_back('\0');
    bytes.push_back('#');
  }
  char* data() { return bytes.data(); }
  std::string text() const { return std::string(bytes.data()); }
  bool GuardIntact() const { return bytes.back() == '#'; }
  std::vector<char> bytes;
};

using GridListTest = SessionTest;

TEST_F(GridListTest, ChecksTheBufferBeforeTheRoot) {
  UseHandler(ListReply({}));
  ListBuffer empty(0);
  ListBuffer ok(5);
  EXPECT_EQ(gridlist(nullptr, nullptr), -821);
  EXPECT_EQ(gridlist("", empty.data()), -822);
  EXPECT_EQ(gridlist(nullptr, ok.data()), -825);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(GridListTest, CapacityOf9999IsAcceptedAnd10000Refused) {
  UseHandler(ListReply({"a"}));
  ListBuffer largest(9999);
  ListBuffer too_large(10000);
  EXPECT_EQ(gridlist("", too_large.data()), -823);
  EXPECT_EQ(RequestCount(), 0u);
  EXPECT_EQ(gridlist("", largest.data()), 1);
  EXPECT_EQ(largest.text(), "a ");
}

TEST_F(GridListTest, UnterminatedBufferIsNotReadPastTheLimit) {
  UseHandler(ListReply({}));
  std::vector<char> bytes(10000, 'x');  // no terminator anywhere
  EXPECT_EQ(gridlist("", bytes.data()), -823);
}

TEST_F(GridListTest, NamesThatFitAreWrittenInOrderEachWithABlank) {
  UseHandler(ListReply({"dem", "slope", "aspect"}));
  ListBuffer buffer(40);
  ASSERT_EQ(gridlist("/data", buffer.data()), 1);
  EXPECT_EQ(buffer.text(), "dem slope aspect ");
  EXPECT_TRUE(buffer.GuardIntact());
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridList>().m_Root, "/data");
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridList>().GetActionID(), grd_svr::GridList);
}

TEST_F(GridListTest, NoNamesWritesAnEmptyString) {
  UseHandler(ListReply({}));
  ListBuffer buffer(8);
  EXPECT_EQ(gridlist("", buffer.data()), 1);
  EXPECT_EQ(buffer.text(), "");
}

TEST_F(GridListTest, NameThatDoesNotFitIsSkippedAndALaterOneTaken) {
  UseHandler(ListReply({"a", "bb", "cccccccccc", "d"}));
  OpenLog();
  ListBuffer buffer(10);
  EXPECT_EQ(gridlist("", buffer.data()), -824);
  // "a " and "bb " use 5; the ten-letter name cannot fit, "d " can.
  EXPECT_EQ(buffer.text(), "a bb d ");
  EXPECT_TRUE(buffer.GuardIntact());
  EXPECT_NE(LogText().find("grid list: a\nbb\ncccccccccc\nd\n"), std::string::npos);
}

TEST_F(GridListTest, ANameFillingTheWholeCapacityDoesNotFit) {
  // With its blank it would need capacity + 1 characters.
  UseHandler(ListReply({"abcd"}));
  ListBuffer buffer(4);
  EXPECT_EQ(gridlist("", buffer.data()), -824);
  EXPECT_EQ(buffer.text(), "");
  EXPECT_TRUE(buffer.GuardIntact());
}

TEST_F(GridListTest, ServerErrorLeavesTheBuffer) {
  UseHandler(ListReply({"x"}, grd_svr::ErrGridCannotFind));
  ListBuffer buffer(6);
  EXPECT_EQ(gridlist("/nowhere", buffer.data()), -10007);
  EXPECT_EQ(buffer.text(), "      ");
}

struct Description {
  int y_count = -3, x_count = -3, cell_type = -3;
  double y_ll = -3, x_ll = -3, cell_size = -3, min = -3, max = -3, mean = -3, sd = -3;
  int Call(const char* name) {
    return griddescribe(name, &y_count, &x_count, &y_ll, &x_ll, &cell_size, &cell_type, &min, &max,
                        &mean, &sd);
  }
};

using GridDescribeTest = SessionTest;

TEST_F(GridDescribeTest, ChecksTheNameThenEveryPointerInOrder) {
  UseHandler();
  Description d;
  int* i = &d.y_count;
  double* f = &d.y_ll;
  EXPECT_EQ(griddescribe(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
            -741);
  EXPECT_EQ(griddescribe("g", nullptr, i, f, f, f, i, f, f, f, f), -742);
  EXPECT_EQ(griddescribe("g", i, nullptr, f, f, f, i, f, f, f, f), -743);
  EXPECT_EQ(griddescribe("g", i, i, nullptr, f, f, i, f, f, f, f), -744);
  EXPECT_EQ(griddescribe("g", i, i, f, nullptr, f, i, f, f, f, f), -745);
  EXPECT_EQ(griddescribe("g", i, i, f, f, nullptr, i, f, f, f, f), -746);
  EXPECT_EQ(griddescribe("g", i, i, f, f, f, nullptr, f, f, f, f), -747);
  EXPECT_EQ(griddescribe("g", i, i, f, f, f, i, nullptr, f, f, f), -748);
  EXPECT_EQ(griddescribe("g", i, i, f, f, f, i, f, nullptr, f, f), -749);
  EXPECT_EQ(griddescribe("g", i, i, f, f, f, i, f, f, nullptr, f), -750);
  EXPECT_EQ(griddescribe("g", i, i, f, f, f, i, f, f, f, nullptr), -751);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(GridDescribeTest, CopiesEveryFieldOfTheReply) {
  UseHandler([](PacketPtr request) {
    auto* p = dynamic_cast<grd_svr::CGSvrPk_GridDescribe*>(request.get());
    p->m_RowCount = 12;
    p->m_ColCount = 34;
    p->m_YLowerLeft = 5.5;
    p->m_XLowerLeft = 6.5;
    p->m_CellSize = 0.25;
    p->m_CellType = 2;
    p->m_StatMin = -1;
    p->m_StatMax = 9;
    p->m_StatMean = 4;
    p->m_StatStdDev = 1.5;
    return Respond(request);
  });
  Description d;
  ASSERT_EQ(d.Call("dem"), 1);
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridDescribe>().m_GridName, "dem");
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridDescribe>().GetActionID(), grd_svr::GridDescribe);
  EXPECT_EQ(d.y_count, 12);
  EXPECT_EQ(d.x_count, 34);
  EXPECT_EQ(d.y_ll, 5.5);
  EXPECT_EQ(d.x_ll, 6.5);
  EXPECT_EQ(d.cell_size, 0.25);
  EXPECT_EQ(d.cell_type, 2);
  EXPECT_EQ(d.min, -1);
  EXPECT_EQ(d.max, 9);
  EXPECT_EQ(d.mean, 4);
  EXPECT_EQ(d.sd, 1.5);
}

TEST_F(GridDescribeTest, GridNotFoundLeavesAllTenValues) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridCannotFind); });
  Description d;
  EXPECT_EQ(d.Call("nothing"), -10007);
  EXPECT_EQ(d.y_count, -3);
  EXPECT_EQ(d.sd, -3);
  EXPECT_EQ(d.cell_type, -3);
}

using CatalogTest = SessionTest;

TEST_F(CatalogTest, GridkillSendsTheName) {
  UseHandler();
  EXPECT_EQ(gridkill(nullptr), -641);
  EXPECT_EQ(gridkill("old"), 1);
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridKill>().m_GridName, "old");
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridKill>().GetActionID(), grd_svr::GridKill);
}

TEST_F(CatalogTest, GridcreateChecksTheCellTypeBeforeContactingTheServer) {
  UseHandler();
  EXPECT_EQ(gridcreate(nullptr, 3), -801);
  EXPECT_EQ(gridcreate("new", 3), -802);
  EXPECT_EQ(gridcreate("new", 0), -802);
  EXPECT_EQ(RequestCount(), 0u);
  EXPECT_EQ(gridcreate("new", 2), 1);
  const auto& request = Request<grd_svr::CGSvrPk_GridCreate>();
  EXPECT_EQ(request.m_GridName, "new");
  EXPECT_EQ(request.m_CellType, 2);
  EXPECT_EQ(request.m_RowCount, -1);
  EXPECT_EQ(request.m_CellSize, -1.0);
}

TEST_F(CatalogTest, GridcopyChecksSourceThenDestination) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridAlreadyExists); });
  EXPECT_EQ(gridcopy(nullptr, nullptr), -781);
  EXPECT_EQ(gridcopy("a", nullptr), -782);
  EXPECT_EQ(gridcopy("a", "b"), -10017);
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridCopy>().m_SourceGridName, "a");
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridCopy>().m_DestinationGridName, "b");
}

TEST_F(CatalogTest, RetireSendsTheHeaderOnlyRequest) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridServerRetireBadIOMode); });
  EXPECT_EQ(gridserver_retire(), -10019);
  EXPECT_EQ(Request<grd_svr::CGSvrPk_GridServerRetire>().GetActionID(), grd_svr::GridServerRetire);
}

TEST_F(CatalogTest, WithoutSessionEveryCatalogueExportGivesMinus630) {
  ListBuffer buffer(4);
  Description d;
  EXPECT_EQ(gridlist("", buffer.data()), -630);
  EXPECT_EQ(buffer.text(), "    ");
  EXPECT_EQ(gridkill("g"), -630);
  EXPECT_EQ(d.Call("g"), -630);
  EXPECT_EQ(gridcreate("g", 1), -630);
  EXPECT_EQ(gridcopy("a", "b"), -630);
  EXPECT_EQ(gridserver_retire(), -630);
}

TEST_F(CatalogTest, NoReplyGivesMinus631) {
  UseHandler([](PacketPtr) { return PacketPtr(); });
  EXPECT_EQ(gridkill("g"), -631);
  EXPECT_EQ(gridserver_retire(), -631);
}

}  // namespace
}  // namespace gridapi_test
