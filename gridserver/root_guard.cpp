#include "root_guard.h"

#include "server/grid_names.h"

namespace grid_server {

void NameRepliesRelativeToRoot(grd_svr::CGSvrPacket& reply, const std::string& root) {
  std::string prefix = root;
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  grd_svr::ForEachPacketName(reply, [&prefix](std::string& name, grd_svr::NameRole) {
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
