// A layer handle of the grid library that is closed on every way out of the
// scope that opened it, exceptions included. Close() closes it early and
// reports the library's result: a layer written through the handle is only
// committed by its close, so writers check it.
//
// Used under critical section A only, like every library call.
#ifndef MIRL_SERVER_MEMGRID_LAYER_H_
#define MIRL_SERVER_MEMGRID_LAYER_H_

#include "server/gio.h"

namespace grd_svr {

class LayerHandle {
 public:
  explicit LayerHandle(int handle) : m_Handle(handle) {}
  ~LayerHandle() {
    if (m_Handle >= 0) CGIO::CellLyrClose(m_Handle);
  }
  LayerHandle(const LayerHandle&) = delete;
  LayerHandle& operator=(const LayerHandle&) = delete;

  int get() const { return m_Handle; }
  bool valid() const { return m_Handle >= 0; }

  // The close's result (negative: the layer was not committed); 0 when the
  // handle was never valid or is closed already.
  int Close() {
    if (m_Handle < 0) return 0;
    const int handle = m_Handle;
    m_Handle = -1;
    return CGIO::CellLyrClose(handle);
  }

 private:
  int m_Handle;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_LAYER_H_
