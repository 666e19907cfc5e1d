#include "root_guard.h"

#include <boost/filesystem/path.hpp>
#include <type_traits>

#include "protocol/packets.h"
#include "server/layer_cache.h"
#include "server/strategy.h"

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

// Calls visit on every name or path field of the packet's own class until
// visit returns false; returns false when it did. Packet is CGSvrPacket,
// const or not.
template <class Packet, class Visit>
bool ForEachName(Packet& packet, Visit&& visit) {
  using namespace grd_svr;
  constexpr bool kConst = std::is_const<Packet>::value;
  // Keeps the packet's constness on the class it is cast to.
  auto as = [&packet](auto* tag) {
    using Target = std::remove_pointer_t<decltype(tag)>;
    using Cast = std::conditional_t<kConst, const Target, Target>;
    return dynamic_cast<Cast*>(&packet);
  };
  // CGSvrPk_GridOp and CGSvrPk_GridKill derive from CGSvrPk_GridDescribe.
  if (auto p = as(static_cast<CGSvrPk_GridDescribe*>(nullptr))) return visit(p->m_GridName);
  if (auto p = as(static_cast<CGSvrPk_BlockOp*>(nullptr))) return visit(p->m_GridName);
  if (auto p = as(static_cast<CGSvrPk_GridCreate*>(nullptr))) return visit(p->m_GridName);
  if (auto p = as(static_cast<CGSvrPk_GridCopy*>(nullptr)))
    return visit(p->m_SourceGridName) && visit(p->m_DestinationGridName);
  if (auto p = as(static_cast<CGSvrPk_GridList*>(nullptr))) return visit(p->m_Root);
  if (auto p = as(static_cast<CGSvrPk_AccWndSet*>(nullptr))) return visit(p->m_GridName);
  if (auto p = as(static_cast<CGSvrPk_AccWndGet*>(nullptr))) return visit(p->m_GridName);
  return true;
}

}  // namespace

bool NameStaysInRoot(const std::string& name) {
  if (name.find('\0') != std::string::npos) return false;
  const std::string key = grd_svr::LayerKey(name);
  if (grd_svr::IsFillerName(key)) return false;
  return SpellingStaysInRoot(name) && SpellingStaysInRoot(key);
}

bool PacketStaysInRoot(const grd_svr::CGSvrPacket& packet) {
  return ForEachName(packet, [](const std::string& name) { return NameStaysInRoot(name); });
}

void NameRepliesRelativeToRoot(grd_svr::CGSvrPacket& reply, const std::string& root) {
  std::string prefix = root;
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  ForEachName(reply, [&prefix](std::string& name) {
    if (name == prefix) {
      name = ".";
    } else if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
      // Past the root and the separators that follow it; "/srv/rootx" is
      // not below "/srv/root".
      std::size_t rest = prefix.size();
      if (prefix != "/" && name[rest] != '/') return true;
      while (rest < name.size() && name[rest] == '/') ++rest;
      name.erase(0, rest);
      if (name.empty()) name = ".";
    }
    return true;
  });
}

}  // namespace grid_server
