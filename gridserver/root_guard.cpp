#include "root_guard.h"

#include <boost/algorithm/string/trim.hpp>
#include <boost/filesystem/path.hpp>

#include "protocol/packets.h"

namespace grid_server {
namespace {

namespace fs = boost::filesystem;

bool SpellingStaysInRoot(const std::string& name) {
  const fs::path path(name);
  if (path.has_root_name() || path.has_root_directory()) return false;
  int depth = 0;
  for (const fs::path& part : path) {
    const std::string text = part.string();
    if (text == "..") {
      if (--depth < 0) return false;
    } else if (!text.empty() && text != ".") {
      ++depth;
    }
  }
  return true;
}

}  // namespace

bool NameStaysInRoot(const std::string& name) {
  if (name.find('\0') != std::string::npos) return false;
  return SpellingStaysInRoot(name) && SpellingStaysInRoot(boost::algorithm::trim_copy(name));
}

bool PacketStaysInRoot(const grd_svr::CGSvrPacket& packet) {
  using namespace grd_svr;
  // CGSvrPk_GridOp and CGSvrPk_GridKill derive from CGSvrPk_GridDescribe.
  if (auto p = dynamic_cast<const CGSvrPk_GridDescribe*>(&packet))
    return NameStaysInRoot(p->m_GridName);
  if (auto p = dynamic_cast<const CGSvrPk_BlockOp*>(&packet)) return NameStaysInRoot(p->m_GridName);
  if (auto p = dynamic_cast<const CGSvrPk_GridCreate*>(&packet))
    return NameStaysInRoot(p->m_GridName);
  if (auto p = dynamic_cast<const CGSvrPk_GridCopy*>(&packet))
    return NameStaysInRoot(p->m_SourceGridName) && NameStaysInRoot(p->m_DestinationGridName);
  if (auto p = dynamic_cast<const CGSvrPk_GridList*>(&packet)) return NameStaysInRoot(p->m_Root);
  if (auto p = dynamic_cast<const CGSvrPk_AccWndSet*>(&packet))
    return NameStaysInRoot(p->m_GridName);
  if (auto p = dynamic_cast<const CGSvrPk_AccWndGet*>(&packet))
    return NameStaysInRoot(p->m_GridName);
  return true;
}

}  // namespace grid_server
