#include "mirl_exports.h"

#include <stdexcept>

#include "platform/dynamic_library.h"

namespace grid_server_bench {
namespace {

template <class F>
void Find(mirl::platform::LibraryHandle library, const char* name, F& function) {
  function = reinterpret_cast<F>(mirl::platform::FindLibrarySymbol(library, name));
  if (function == nullptr) throw std::runtime_error(std::string("mirl_lib lacks ") + name);
}

}  // namespace

const MirlExports& LoadMirl(const std::string& build) {
  static MirlExports exports = [&build] {
    const std::string path = build + "/lib/mirl_lib" + mirl::platform::kLibrarySuffix;
    mirl::platform::LibraryHandle library = mirl::platform::LoadDynamicLibrary(path);
    if (library == nullptr) throw std::runtime_error("cannot load " + path);
    MirlExports e{};
    Find(library, "gridinit", e.gridinit);
    Find(library, "makewindow", e.makewindow);
    Find(library, "setwindow", e.setwindow);
    Find(library, "gridcreate", e.gridcreate);
    Find(library, "writegrid_dbl", e.writegrid_dbl);
    Find(library, "readgrid_dbl", e.readgrid_dbl);
    Find(library, "clean_up", e.clean_up);
    return e;
  }();
  return exports;
}

}  // namespace grid_server_bench
