#include "server/gio_holder.h"

namespace grd_svr {

CGIO_Holder::CGIO_Holder() {}

CGIO_Holder::CGIO_Holder(const std::string& library_dir) : m_GIO(library_dir) {}

CGIO_Holder::~CGIO_Holder() {}

bool CGIO_Holder::IsReady() { return m_GIO.IsReady(); }

}  // namespace grd_svr
