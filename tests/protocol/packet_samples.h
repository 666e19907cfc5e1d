// One packet of every class with every field set to a value of its own (no
// defaults, no two fields alike), and a field-by-field comparison written
// out per class. Used by the codec tests and by the fuzz seed corpus.
#ifndef MIRL_TESTS_PROTOCOL_PACKET_SAMPLES_H_
#define MIRL_TESTS_PROTOCOL_PACKET_SAMPLES_H_

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <string>
#include <typeinfo>
#include <vector>

#include "protocol/packets.h"

namespace grd_svr_test {

using grd_svr::CGSvrPacket;
using PacketPtr = boost::shared_ptr<CGSvrPacket>;

template <class T>
void SetHeader(T& p, const char* host, int error) {
  p.SetClientHost(host);
  p.SetErrorCode(error);
}

template <class T>
void SetDescription(T& p) {
  p.m_GridName = "elevation_with_a_name_longer_than_sso";
  p.m_CellType = 2;
  p.m_RowCount = 3;
  p.m_ColCount = 4;
  p.m_XLowerLeft = 100.5;
  p.m_YLowerLeft = -200.25;
  p.m_CellSize = 30.125;
  p.m_StatMin = -1.5;
  p.m_StatMax = 99.75;
  p.m_StatMean = 12.0625;
  p.m_StatStdDev = 3.5;
}

template <class T>
void SetWindow(T& p) {
  p.m_RowCount = 640;
  p.m_ColCount = 480;
  p.m_XLowerLeft = 512000.5;
  p.m_YLowerLeft = 4100000.25;
  p.m_CellSize = 25.0;
  p.m_BlockOnly = true;
}

// Thirteen packets, one per class, base class first.
inline std::vector<PacketPtr> SamplePackets() {
  using namespace grd_svr;
  std::vector<PacketPtr> all;

  auto plain = boost::make_shared<CGSvrPacket>(atResponse, ErrorReport, kPacketSignature);
  SetHeader(*plain, "host-plain", ErrPackNull);
  all.push_back(plain);

  auto describe = boost::make_shared<CGSvrPk_GridDescribe>(atResponse);
  SetHeader(*describe, "host-describe", ErrNone);
  SetDescription(*describe);
  all.push_back(describe);

  auto op = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  SetHeader(*op, "host-op", ErrNone);
  SetDescription(*op);
  op->m_MissingINT = -9999;
  op->m_MissingFLT = -3.25f;
  op->m_GrdDataINT = {7, -8, 2147483647, -2147483647 - 1};
  op->m_GrdDataFLT = {0.5f, -1.75f, 1e30f, 3.0f, -0.0f};
  all.push_back(op);

  auto ping = boost::make_shared<CGSvrPk_PingServer>(atRequest);
  SetHeader(*ping, "host-ping", ErrNone);
  all.push_back(ping);

  auto retire = boost::make_shared<CGSvrPk_GridServerRetire>(atRequest);
  SetHeader(*retire, "host-retire", ErrGridServerRetireBadIOMode);
  all.push_back(retire);

  auto kill = boost::make_shared<CGSvrPk_GridKill>(atRequest);
  SetHeader(*kill, "host-kill", ErrGridCannotFind);
  SetDescription(*kill);
  all.push_back(kill);

  auto block = boost::make_shared<CGSvrPk_BlockOp>(atRequest, BlockWrite);
  SetHeader(*block, "host-block", ErrNone);
  block->m_GridName = "block_grid";
  block->m_CellType = 1;
  block->m_RowCount = 2;
  block->m_ColCount = 3;
  block->m_XLowerLeft = 1.25;
  block->m_YLowerLeft = 2.5;
  block->m_CellSize = 5.0;
  block->m_BlkStartRow = -2;
  block->m_BlkStartCol = 17;
  block->m_MissingINT = -32768;
  block->m_MissingFLT = -7.5f;
  block->m_Transparency = 2;
  block->m_BlkDataINT = {1, 2, 3, 4, 5, 6};
  block->m_BlkDataFLT = {9.5f};
  all.push_back(block);

  auto create = boost::make_shared<CGSvrPk_GridCreate>(atRequest);
  SetHeader(*create, "host-create", ErrGridAlreadyExists);
  create->m_GridName = "created";
  create->m_CellType = 1;
  create->m_RowCount = 11;
  create->m_ColCount = 13;
  create->m_XLowerLeft = 0.75;
  create->m_YLowerLeft = 0.875;
  create->m_CellSize = 0.5;
  create->m_BlockOnly = true;
  all.push_back(create);

  auto copy = boost::make_shared<CGSvrPk_GridCopy>(atRequest);
  SetHeader(*copy, "host-copy", ErrGridCannotCopy);
  copy->m_SourceGridName = "from_grid";
  copy->m_DestinationGridName = "to_grid";
  all.push_back(copy);

  auto list = boost::make_shared<CGSvrPk_GridList>(atResponse);
  SetHeader(*list, "host-list", ErrNone);
  list->m_Root = "/data/workspace";
  list->m_GridNames = {"alpha", "", "a_grid_name_that_is_longer_than_sso"};
  all.push_back(list);

  auto get = boost::make_shared<CGSvrPk_AccWndGet>(atResponse);
  SetHeader(*get, "host-get", ErrGridNoAccessWindow);
  get->m_GridName = "window_of_get";
  SetWindow(*get);
  all.push_back(get);

  auto set = boost::make_shared<CGSvrPk_AccWndSet>(atResponse);
  SetHeader(*set, "host-set", ErrGridAccessWindowExists);
  set->m_GridName = "window_of_set";
  SetWindow(*set);
  all.push_back(set);

  auto make = boost::make_shared<CGSvrPk_AccWndMake>(atRequest);
  SetHeader(*make, "host-make", ErrNone);
  SetWindow(*make);
  make->m_ColCount = 479;
  all.push_back(make);

  return all;
}

// The packet's own class. (typeid of *ptr itself would evaluate the smart
// pointer's operator*, which clang warns about.)
inline const std::type_info& ClassOf(const CGSvrPacket& packet) { return typeid(packet); }

// Empty when a and b are the same class with equal fields; otherwise the
// name of the first difference.
inline std::string PacketDifference(const CGSvrPacket& a, const CGSvrPacket& b) {
  using namespace grd_svr;
  if (typeid(a) != typeid(b)) return std::string("class ") + typeid(b).name();
  if (a.GetSignature() != b.GetSignature()) return "m_Signature";
  if (a.GetClientHost() != b.GetClientHost()) return "m_ClientHost";
  if (a.GetActionID() != b.GetActionID()) return "m_ActionID";
  if (a.GetActionType() != b.GetActionType()) return "m_ActionType";
  if (a.GetErrorCode() != b.GetErrorCode()) return "m_ErrorCode";
#define MIRL_SAME(field) \
  if (!(x.field == y.field)) return #field
  if (auto* x0 = dynamic_cast<const CGSvrPk_GridDescribe*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_GridDescribe&>(b);
    MIRL_SAME(m_GridName);
    MIRL_SAME(m_CellType);
    MIRL_SAME(m_RowCount);
    MIRL_SAME(m_ColCount);
    MIRL_SAME(m_XLowerLeft);
    MIRL_SAME(m_YLowerLeft);
    MIRL_SAME(m_CellSize);
    MIRL_SAME(m_StatMin);
    MIRL_SAME(m_StatMax);
    MIRL_SAME(m_StatMean);
    MIRL_SAME(m_StatStdDev);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_GridOp*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_GridOp&>(b);
    MIRL_SAME(m_MissingINT);
    MIRL_SAME(m_MissingFLT);
    MIRL_SAME(m_GrdDataINT);
    MIRL_SAME(m_GrdDataFLT);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_BlockOp*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_BlockOp&>(b);
    MIRL_SAME(m_GridName);
    MIRL_SAME(m_CellType);
    MIRL_SAME(m_RowCount);
    MIRL_SAME(m_ColCount);
    MIRL_SAME(m_XLowerLeft);
    MIRL_SAME(m_YLowerLeft);
    MIRL_SAME(m_CellSize);
    MIRL_SAME(m_BlkStartRow);
    MIRL_SAME(m_BlkStartCol);
    MIRL_SAME(m_MissingINT);
    MIRL_SAME(m_MissingFLT);
    MIRL_SAME(m_Transparency);
    MIRL_SAME(m_BlkDataINT);
    MIRL_SAME(m_BlkDataFLT);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_GridCreate*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_GridCreate&>(b);
    MIRL_SAME(m_GridName);
    MIRL_SAME(m_CellType);
    MIRL_SAME(m_RowCount);
    MIRL_SAME(m_ColCount);
    MIRL_SAME(m_XLowerLeft);
    MIRL_SAME(m_YLowerLeft);
    MIRL_SAME(m_CellSize);
    MIRL_SAME(m_BlockOnly);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_GridCopy*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_GridCopy&>(b);
    MIRL_SAME(m_SourceGridName);
    MIRL_SAME(m_DestinationGridName);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_GridList*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_GridList&>(b);
    MIRL_SAME(m_Root);
    MIRL_SAME(m_GridNames);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_AccWndSet*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_AccWndSet&>(b);
    MIRL_SAME(m_GridName);
    MIRL_SAME(m_RowCount);
    MIRL_SAME(m_ColCount);
    MIRL_SAME(m_XLowerLeft);
    MIRL_SAME(m_YLowerLeft);
    MIRL_SAME(m_CellSize);
    MIRL_SAME(m_BlockOnly);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_AccWndGet*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_AccWndGet&>(b);
    MIRL_SAME(m_GridName);
    MIRL_SAME(m_RowCount);
    MIRL_SAME(m_ColCount);
    MIRL_SAME(m_XLowerLeft);
    MIRL_SAME(m_YLowerLeft);
    MIRL_SAME(m_CellSize);
    MIRL_SAME(m_BlockOnly);
  }
  if (auto* x0 = dynamic_cast<const CGSvrPk_AccWndMake*>(&a)) {
    const auto& x = *x0;
    const auto& y = dynamic_cast<const CGSvrPk_AccWndMake&>(b);
    MIRL_SAME(m_RowCount);
    MIRL_SAME(m_ColCount);
    MIRL_SAME(m_XLowerLeft);
    MIRL_SAME(m_YLowerLeft);
    MIRL_SAME(m_CellSize);
    MIRL_SAME(m_BlockOnly);
  }
#undef MIRL_SAME
  return "";
}

}  // namespace grd_svr_test

#endif  // MIRL_TESTS_PROTOCOL_PACKET_SAMPLES_H_
