#include <boost/filesystem.hpp>

#include "protocol/catalog_packets.h"
#include "protocol/checked_packet_cast.h"
#include "protocol/grid_packets.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/gsvr_io.h"
#include "server/layer_cache.h"
#include "server/memgrid_layer.h"

namespace grd_svr {
namespace {

bool Exists(const std::string& path) { return CGIO::GridExists(path) > 0; }

}  // namespace

CGSvrIO::Packet CGSvrIO::OnGridKill(const Packet& request, std::string& error_text) {
  CGSvrPk_GridKill* packet = checked_packet_cast<CGSvrPk_GridKill>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  std::int32_t code = ErrGridCannotFind;
  try {
    // The name is resolved as received: a kill deletes the grid it names
    // and no other (" g" is not "g", whatever a cache key trims). Every
    // cached copy bound to that path goes, under any spelling.
    EraseLayer(packet->m_GridName);
    const std::string path = CGIO::ResolvePath(m_SourceName, packet->m_GridName);
    EraseLayersOfPath(path);
    if (Exists(path)) {
      packet->m_GridName = path;
      // A layer that is still there after the delete was not deleted.
      code = CGIO::CellLyrDelete(path) < 0 && Exists(path) ? ErrGridIOException : ErrNone;
    }
  } catch (...) {
    code = ErrGridIOException;
  }
  return Reply(request, code);
}

CGSvrIO::Packet CGSvrIO::OnGridDescribe(const Packet& request, std::string& error_text) {
  CGSvrPk_GridDescribe* packet =
      checked_packet_cast<CGSvrPk_GridDescribe>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  const std::string path = CGIO::ResolvePath(m_SourceName, packet->m_GridName);
  GridDescription description;
  if (!Exists(path) || !CGIO::DescribeGrid(path, description))
    return Reply(request, ErrGridCannotFind);
  const AccessWindow& window = description.m_Window;
  packet->m_GridName = path;
  packet->m_RowCount = window.m_Rows;
  packet->m_ColCount = window.m_Columns;
  packet->m_YLowerLeft = window.m_Box[kBoxYMin];
  packet->m_XLowerLeft = window.m_Box[kBoxXMin];
  packet->m_CellSize = window.m_CellSize;
  packet->m_CellType = description.m_DataType;
  packet->m_StatMin = description.m_Stats[kStatMin];
  packet->m_StatMax = description.m_Stats[kStatMax];
  packet->m_StatMean = description.m_Stats[kStatMean];
  packet->m_StatStdDev = description.m_Stats[kStatStdDev];
  return Reply(request, ErrNone);
}

CGSvrIO::Packet CGSvrIO::OnGridCreate(const Packet& request, std::string& error_text) {
  CGSvrPk_GridCreate* packet =
      checked_packet_cast<CGSvrPk_GridCreate>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  const GIOState& state = GioState();
  if (!state.window.IsValid()) return Reply(request, ErrGridNoAccessWindow);
  std::int32_t code = ErrNone;
  try {
    const std::string path = CGIO::ResolvePath(state.workspace, packet->m_GridName);
    if (Exists(path)) {
      code = ErrGridAlreadyExists;
    } else {
      if (CGIO::IsDirectory(path)) CGIO::RemoveLeftoverDirectory(path);
      LayerHandle layer(CGIO::CellLayerCreate(path, 2, 1, packet->m_CellType,
                                              state.window.m_CellSize, state.window.m_Box));
      // The library commits a new layer when it is closed.
      if (!layer.valid() || layer.Close() < 0) {
        code = ErrGridCannotCreate;
      } else {
        packet->m_GridName = path;
      }
    }
  } catch (...) {
    code = ErrGridIOException;
  }
  return Reply(request, code);
}

CGSvrIO::Packet CGSvrIO::OnGridList(const Packet& request, std::string& error_text) {
  CGSvrPk_GridList* packet = checked_packet_cast<CGSvrPk_GridList>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  // A relative root lies below the source name, as every other name does,
  // not below wherever the process happens to run.
  const std::string root =
      packet->m_Root.empty() ? m_SourceName : CGIO::ResolvePath(m_SourceName, packet->m_Root);
  if (!CGIO::IsDirectory(root)) return Reply(request, ErrGridCannotFind);
  namespace fs = boost::filesystem;
  std::int32_t code = ErrNone;
  // A list is of this root only, whatever the request brought along.
  packet->m_GridNames.clear();
  try {
    for (fs::directory_iterator it{fs::path(root)}, end; it != end; ++it) {
      if (fs::is_directory(it->status()) && Exists(it->path().string()))
        packet->m_GridNames.push_back(it->path().filename().string());
    }
  } catch (...) {
    code = ErrGridIOException;
  }
  return Reply(request, code);
}

CGSvrIO::Packet CGSvrIO::OnGridCopy(const Packet& request, std::string& error_text) {
  CGSvrPk_GridCopy* packet = checked_packet_cast<CGSvrPk_GridCopy>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  std::int32_t code = ErrNone;
  try {
    const std::string source = CGIO::ResolvePath(m_SourceName, packet->m_SourceGridName);
    const std::string destination = CGIO::ResolvePath(m_SourceName, packet->m_DestinationGridName);
    packet->m_SourceGridName = source;
    packet->m_DestinationGridName = destination;
    if (Exists(destination)) {
      code = ErrGridAlreadyExists;
    } else {
      if (CGIO::IsDirectory(destination)) CGIO::RemoveLeftoverDirectory(destination);
      if (!Exists(source))
        code = ErrGridCannotFind;
      else if (CGIO::GridCopy(source, destination) < 0)
        code = ErrGridCannotCopy;
    }
  } catch (...) {
    code = ErrGridIOException;
  }
  return Reply(request, code);
}

}  // namespace grd_svr
