// The two one-row buffers of a Hollow grid operation: a window row of
// integers and one of floats, each starting at the library's missing marker,
// read and written through the layer's cell type.
//
// Internal to the memory grids; used under critical section A.
#ifndef MIRL_SERVER_MEMGRID_ROW_BUFFERS_H_
#define MIRL_SERVER_MEMGRID_ROW_BUFFERS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "server/gio.h"
#include "server/gio_state.h"

namespace grd_svr {

struct RowBuffers {
  explicit RowBuffers(std::int32_t columns)
      : ints(static_cast<std::size_t>(columns), GioState().missing_int),
        floats(static_cast<std::size_t>(columns), GioState().missing_float) {}

  // Reads window row into the buffer of cell_type (integer for 1, float
  // otherwise); the library's result.
  int Read(int handle, std::int32_t cell_type, int row) {
    return cell_type == 1 ? CGIO::GetWindowRowInt(handle, row, ints.data())
                          : CGIO::GetWindowRowFloat(handle, row, floats.data());
  }
  int Write(int handle, std::int32_t cell_type, int row) const {
    return cell_type == 1 ? CGIO::PutWindowRow(handle, row, ints.data())
                          : CGIO::PutWindowRow(handle, row, floats.data());
  }

  std::vector<std::int32_t> ints;
  std::vector<float> floats;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_ROW_BUFFERS_H_
