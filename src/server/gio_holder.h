// The session's handle on the grid library binding: holds one CGIO, so the
// library stays loaded for as long as a holder lives.
//
// Ownership: the session record keeps the holder through a shared pointer to
// IGIO from the first io-mode-2 gridinit until the library is unloaded.
#ifndef MIRL_SERVER_GIO_HOLDER_H_
#define MIRL_SERVER_GIO_HOLDER_H_

#include <string>

#include "server/gio.h"

namespace grd_svr {

class CGIO_Holder : public IGIO {
 public:
  // Loads from the directory of mirl_lib.
  CGIO_Holder();
  // Loads from library_dir instead.
  explicit CGIO_Holder(const std::string& library_dir);
  ~CGIO_Holder() override;

  /// The library-ready flag of the binding.
  bool IsReady() override;

 private:
  CGIO m_GIO;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_GIO_HOLDER_H_
