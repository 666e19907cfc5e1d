#include "server/window_setup.h"

#include "protocol/cell_pool.h"
#include "protocol/packet.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/layer_cache.h"
#include "server/strategy.h"
#include "logging/multi_log.h"

namespace grd_svr {
namespace {

void ReplaceWorkspace(const std::string& workspace) {
  GioState().workspace = workspace;
  ClearCache();
  // The cleared grids' storage went to the cell pool, still resident; where
  // it could make the strategy see less memory than the budget, it goes.
  const std::uint64_t pooled_mb = PooledCellBytes() / 1048576u;
  if (pooled_mb > 0 && AvailableRamMB() < kStrategyBudgetMB + pooled_mb) ReleasePooledCells();
}

// Every failed set-up leaves no valid window, as a refused apply does, so
// that the old window does not go on serving the new workspace.
std::int32_t NoWindow() {
  GioState().window.Clear();
  return ErrGridNoAccessWindow;
}

}  // namespace

std::int32_t MakeWindow(const std::string& workspace, std::int32_t rows, std::int32_t columns,
                        double y_ll, double x_ll, double cell_size, bool force) {
  if (GioState().window.IsValid() && !force) return ErrNone;
  ReplaceWorkspace(workspace);
  AccessWindow window;
  window.m_CellSize = cell_size;
  window.m_Box[kBoxXMin] = x_ll;
  window.m_Box[kBoxYMin] = y_ll;
  window.m_Box[kBoxXMax] = x_ll + columns * cell_size;
  window.m_Box[kBoxYMax] = y_ll + rows * cell_size;
  if (!CGIO::ApplyWindow(window)) return ErrGridNoAccessWindow;
  return RunStrategy();
}

std::int32_t SetWindowFromGrid(const std::string& workspace, const std::string& grid_name,
                               bool force) {
  if (GioState().window.IsValid() && !force) return ErrGridAccessWindowExists;
  ReplaceWorkspace(workspace);
  const std::string path = CGIO::ResolvePath(workspace, grid_name);
  if (CGIO::GridExists(path) <= 0) {
    IGSvrLog* log = GioState().log;
    if (log != nullptr) log->Log("Access window setup error: cannot find grid " + path, true, true);
    return NoWindow();
  }
  GridDescription description;
  if (!CGIO::DescribeGrid(path, description)) return NoWindow();
  AccessWindow window;
  window.m_CellSize = description.m_Window.m_CellSize;
  for (int edge = 0; edge < 4; ++edge) window.m_Box[edge] = description.m_Window.m_Box[edge];
  if (!CGIO::ApplyWindow(window)) return ErrGridNoAccessWindow;
  return RunStrategy();
}

}  // namespace grd_svr
