// The one file that instantiates the packets' export: pointer serializers
// for CWireOArchive and CCheckedIArchive, registered under their keys.
// clang-format off
// First: it brings the archive headers in before export.hpp.
#include "protocol/packet_serialize.h"
// clang-format on

#include <boost/serialization/extended_type_info.hpp>

#include "platform/debug_output.h"
#include "protocol/export_keys.h"

BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPacket)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_GridDescribe)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_GridOp)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_PingServer)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_GridServerRetire)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_GridKill)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_BlockOp)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_GridCreate)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_GridCopy)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_GridList)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_AccWndGet)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_AccWndSet)
BOOST_CLASS_EXPORT_IMPLEMENT(grd_svr::CGSvrPk_AccWndMake)

namespace grd_svr {

const std::vector<std::string>& PacketExportKeys() {
  static const std::vector<std::string>* keys = new std::vector<std::string>{
      "grd_svr::CGSvrPacket",
      "grd_svr::CGSvrPk_GridDescribe",
      "grd_svr::CGSvrPk_GridOp",
      "grd_svr::CGSvrPk_PingServer",
      "grd_svr::CGSvrPk_GridServerRetire",
      "grd_svr::CGSvrPk_GridKill",
      "grd_svr::CGSvrPk_BlockOp",
      "grd_svr::CGSvrPk_GridCreate",
      "grd_svr::CGSvrPk_GridCopy",
      "grd_svr::CGSvrPk_GridList",
      "grd_svr::CGSvrPk_AccWndGet",
      "grd_svr::CGSvrPk_AccWndSet",
      "grd_svr::CGSvrPk_AccWndMake",
  };
  return *keys;
}

std::vector<std::string> UnregisteredExportKeys() {
  std::vector<std::string> missing;
  for (const std::string& key : PacketExportKeys()) {
    if (boost::serialization::extended_type_info::find(key.c_str()) == nullptr) {
      missing.push_back(key);
    }
  }
  return missing;
}

namespace {

// Defined after the registrations above, so it runs after them: a build that
// lost one shows it in the debugger output instead of as a failed decode.
struct ExportSelfCheck {
  ExportSelfCheck() {
    for (const std::string& key : UnregisteredExportKeys()) {
      mirl::platform::DebugOutput("mirl_lib: packet class not registered: " + key);
    }
  }
};
const ExportSelfCheck export_self_check;

}  // namespace
}  // namespace grd_svr
