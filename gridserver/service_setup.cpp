#include "service_setup.h"

#include <boost/filesystem.hpp>
#include <fstream>

#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "server/gio_holder.h"
#include "server/gio_lock.h"
#include "server/gio_state.h"
#include "logging/multi_log.h"

namespace grid_server {
namespace {

namespace fs = boost::filesystem;

bool HoldsGridLibrary(const fs::path& dir) {
  boost::system::error_code error;
  for (const char* stem : {"avgridio", "aigridio"}) {
    if (fs::is_regular_file(dir / (std::string(stem) + mirl::platform::kLibrarySuffix), error))
      return true;
  }
  return false;
}

}  // namespace

std::string ServedRoot(const std::string& root) {
  boost::system::error_code error;
  const fs::path path = fs::canonical(fs::path(root), error);
  if (error) throw StartError("cannot use --root " + root + ": " + error.message());
  if (!fs::is_directory(path, error)) throw StartError("--root " + root + " is not a directory");
  return path.string();
}

std::string GridLibraryDirectory(const std::string& gridio_dir) {
  if (!gridio_dir.empty()) return gridio_dir;
  const fs::path program_dir(mirl::platform::ModuleDirectory());
  const fs::path lib_dir = (program_dir / ".." / "lib").lexically_normal();
  if (HoldsGridLibrary(lib_dir)) return lib_dir.string();
  return program_dir.string();
}

boost::shared_ptr<grd_svr::IGIO> LoadGridLibrary(const std::string& directory) {
  boost::shared_ptr<grd_svr::IGIO> holder(new grd_svr::CGIO_Holder(directory));
  if (holder->IsReady()) return holder;
  std::string report;
  {
    grd_svr::CriticalGuardA guard;
    report = grd_svr::GioState().load_report;
  }
  throw StartError("cannot load the grid library from " + directory +
                   (report.empty() ? std::string() : " (" + report + ")"));
}

boost::shared_ptr<grd_svr::IGSvrLog> OpenServerLog(const std::string& file) {
  if (file.empty()) return boost::shared_ptr<grd_svr::IGSvrLog>();
  {
    // CMultiLog would fall back to "log.txt" in the current directory; a
    // server should rather say that the file asked for cannot be written.
    std::ofstream probe(file, std::ios::out | std::ios::app);
    if (!probe.is_open()) throw StartError("cannot open the log file " + file);
  }
  boost::shared_ptr<grd_svr::IGSvrLog> log = grd_svr::make_server_log(false, true, file);
  if (!log) throw StartError("cannot open the log file " + file);
  return log;
}

}  // namespace grid_server
