#include "server/grid_names.h"

#include <boost/filesystem/path.hpp>
#include <cstdio>

#include "protocol/packets.h"
#include "server/layer_cache.h"
#include "server/strategy.h"

namespace grd_svr {
namespace {

namespace fs = boost::filesystem;

bool IsControl(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7f;
}

// How deep below its base a relative spelling ends; -1 when it is absolute
// or goes through "..". Even a ".." that seems to stay below the base is
// refused: the system resolves it after the links before it, so
// "link/../x" is the directory beside the link's target, wherever that is.
int Depth(const std::string& spelling) {
  const fs::path path(spelling);
  if (path.has_root_name() || path.has_root_directory()) return -1;
  int depth = 0;
  for (const fs::path& part : path) {
    const std::string text = part.string();
    if (text == "..") return -1;
    if (!text.empty() && text != ".") ++depth;
  }
  return depth;
}

std::string Quoted(const std::string& name) { return "'" + Printable(name) + "'"; }

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (IsControl(c)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string NameRefusal(const std::string& name, NameRole role) {
  for (char c : name)
    if (IsControl(c)) return "the name " + Quoted(name) + " holds a control character";
  const std::string key = LayerKey(name);
  if (fs::path(name).has_root_directory() || fs::path(name).has_root_name() ||
      fs::path(key).has_root_directory() || fs::path(key).has_root_name())
    return "the name " + Quoted(name) + " is absolute";
  const int depth = Depth(name);
  const int key_depth = Depth(key);
  if (depth < 0 || key_depth < 0)
    return "the name " + Quoted(name) + " goes through '..'";
  if (role == NameRole::kDirectory) return std::string();
  if (depth == 0 || key_depth == 0)
    return "the name " + Quoted(name) + " names the directory itself, not a grid in it";
  if (IsFillerName(key)) return "the name " + Quoted(name) + " is that of a filler grid";
  if (role == NameRole::kNew && name.find(' ') != std::string::npos)
    return "the name " + Quoted(name) +
           " holds a blank (the grid list separates names by blanks; a blank at either end "
           "would be trimmed by the cache but not by the file system)";
  return std::string();
}

bool ForEachPacketName(CGSvrPacket& packet,
                       const std::function<bool(std::string& name, NameRole role)>& visit) {
  // CGSvrPk_GridOp and CGSvrPk_GridKill derive from CGSvrPk_GridDescribe.
  if (auto p = dynamic_cast<CGSvrPk_GridDescribe*>(&packet)) {
    const bool makes = dynamic_cast<CGSvrPk_GridOp*>(&packet) != nullptr &&
                       packet.GetActionID() == GridWrite;
    return visit(p->m_GridName, makes ? NameRole::kNew : NameRole::kExisting);
  }
  if (auto p = dynamic_cast<CGSvrPk_BlockOp*>(&packet))
    return visit(p->m_GridName, NameRole::kExisting);
  if (auto p = dynamic_cast<CGSvrPk_GridCreate*>(&packet))
    return visit(p->m_GridName, NameRole::kNew);
  if (auto p = dynamic_cast<CGSvrPk_GridCopy*>(&packet))
    return visit(p->m_SourceGridName, NameRole::kExisting) &&
           visit(p->m_DestinationGridName, NameRole::kNew);
  if (auto p = dynamic_cast<CGSvrPk_GridList*>(&packet))
    return visit(p->m_Root, NameRole::kDirectory);
  if (auto p = dynamic_cast<CGSvrPk_AccWndSet*>(&packet))
    return visit(p->m_GridName, NameRole::kExisting);
  // The window request names no grid; its field only comes back filled.
  if (auto p = dynamic_cast<CGSvrPk_AccWndGet*>(&packet))
    return visit(p->m_GridName, NameRole::kDirectory);
  return true;
}

std::string PacketNameRefusal(const CGSvrPacket& packet) {
  std::string refusal;
  // The visit only reads the names.
  ForEachPacketName(const_cast<CGSvrPacket&>(packet), [&refusal](std::string& name, NameRole role) {
    refusal = NameRefusal(name, role);
    return refusal.empty();
  });
  return refusal;
}

}  // namespace grd_svr
