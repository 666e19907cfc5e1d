// The CRS a host names for the access window (beyond the 56 entry points:
// the grid server's packets carry no CRS, a host that made the window from
// a raster of its own knows one).
#include <string>

#include "avgridio.h"
#include "entry_frame.h"
#include "layer_crs.h"
#include "library_state.h"

using namespace gridio;

GIO_API int AccessWindowCrsSet(const char* crs) {
  return RunRowEntry([&]() -> int {
    RequireSetUp();
    RequireWindow();
    const std::string wkt = crs == nullptr ? std::string() : std::string(crs);
    if (!wkt.empty() && !ReadableCrs(wkt)) Fail(GIO_ERR_ARGUMENT);
    NoteWindowCrs(wkt);
    return GIO_OK;
  });
}
