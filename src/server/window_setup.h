// The window set-up of the in-process grid server: the two ways a window
// request installs the process-wide access window. Both replace the
// workspace and empty the layer cache before they apply the window (even
// when the apply then fails), and on success return the memory strategy's
// result (strategy.h).
//
// Thread safety: under critical section A only (server/gio_lock.h).
#ifndef MIRL_SERVER_WINDOW_SETUP_H_
#define MIRL_SERVER_WINDOW_SETUP_H_

#include <cstdint>
#include <string>

namespace grd_svr {

// A window of rows x columns cells of cell_size whose lower-left corner is
// (x_ll, y_ll). A valid window is kept (ErrNone, nothing changed) unless
// force is set. ErrGridNoAccessWindow when the library refuses it.
std::int32_t MakeWindow(const std::string& workspace, std::int32_t rows, std::int32_t columns,
                        double y_ll, double x_ll, double cell_size, bool force);

// The window of the grid grid_name (resolved against workspace): its cell
// size and box. A valid window is kept (ErrGridAccessWindowExists) unless
// force is set. ErrGridNoAccessWindow when the grid is missing, cannot be
// described or its window is refused.
std::int32_t SetWindowFromGrid(const std::string& workspace, const std::string& grid_name,
                               bool force);

}  // namespace grd_svr

#endif  // MIRL_SERVER_WINDOW_SETUP_H_
