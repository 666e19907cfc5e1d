// What the grid server needs before it can listen: the served root as an
// absolute directory, the grid library loaded, and the server log opened.
// Each step throws StartError with a message meant for the person who
// started the program.
#ifndef MIRL_GRIDSERVER_SERVICE_SETUP_H_
#define MIRL_GRIDSERVER_SERVICE_SETUP_H_

#include <boost/shared_ptr.hpp>
#include <stdexcept>
#include <string>

namespace grd_svr {
class IGIO;
class IGSvrLog;
}  // namespace grd_svr

namespace grid_server {

class StartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// root made absolute with links and dots resolved; it must be a directory.
std::string ServedRoot(const std::string& root);

// The directory to load the grid library from: gridio_dir when given, else
// ../lib beside the program when a grid library is there, else the
// program's own directory.
std::string GridLibraryDirectory(const std::string& gridio_dir);

// The grid library loaded from directory and ready; the holder keeps it
// loaded for as long as it lives.
boost::shared_ptr<grd_svr::IGIO> LoadGridLibrary(const std::string& directory);

// The server log appending to file; empty for an empty file name. The file
// must be writable (no fallback to another file).
boost::shared_ptr<grd_svr::IGSvrLog> OpenServerLog(const std::string& file);

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_SERVICE_SETUP_H_
