// The library shares the process's GDAL with the host (R's terra): it must
// leave the host's per-thread settings and error handling as it found them.
#include <cpl_conv.h>
#include <cpl_error.h>

#include <fstream>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

class GridioHostSettingsTest : public GridioTest {};

TEST_F(GridioHostSettingsTest, CallsLeaveTheThreadsGdalSettingsAsTheyWere) {
  WriteLayer("g", 1, 1, 0, 0, 1, std::vector<float>{1});
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "YES");
  EXPECT_EQ(GridExists(Path("g").c_str()), 1);
  EXPECT_STREQ(CPLGetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr), "YES");
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
  EXPECT_EQ(CellLayerOpen(Path("missing").c_str(), 1, 1, nullptr, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CPLGetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr), nullptr);
}

int g_host_errors = 0;
void CountingHandler(CPLErr, CPLErrorNum, const char*) { ++g_host_errors; }

TEST_F(GridioHostSettingsTest, GdalErrorsInsideTheLibraryDoNotReachTheHostsHandler) {
  fs::create_directory(Path("bad"));
  std::ofstream(Path("bad/layer.tif")) << "not a tiff";
  g_host_errors = 0;
  CPLPushErrorHandler(CountingHandler);
  int32_t type;
  double size;
  EXPECT_EQ(CellLayerOpen(Path("bad").c_str(), GIO_READ, 1, &type, &size), GIO_ERR_OPEN);
  EXPECT_EQ(g_host_errors, 0);
  CPLError(CE_Warning, CPLE_AppDefined, "the host's own warning");
  EXPECT_EQ(g_host_errors, 1) << "the host's handler is in place again";
  CPLPopErrorHandler();
}

}  // namespace
