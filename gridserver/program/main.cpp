// grid_server: the remote grid server that mirl_lib reaches in io mode 1.
// See grid_server --help.
#include <boost/filesystem.hpp>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "grid_server.h"
#include "server_options.h"
#include "service_setup.h"

namespace {

constexpr int kExitStartFailure = 1;
constexpr int kExitUsage = 2;

// Written under a temporary name and renamed, so a reader that polls for the
// file never sees it half written.
void WritePortFile(const std::string& file, unsigned short port) {
  const std::string partial = file + ".partial";
  {
    std::ofstream out(partial, std::ios::out | std::ios::trunc);
    out << port << "\n";
    if (!out.flush()) throw grid_server::StartError("cannot write the port file " + file);
  }
  boost::system::error_code error;
  boost::filesystem::rename(partial, file, error);
  if (error) throw grid_server::StartError("cannot write the port file " + file);
}

}  // namespace

int main(int argc, char** argv) {
  const grid_server::ParsedOptions parsed =
      grid_server::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.outcome == grid_server::ParsedOptions::kHelp) {
    std::cout << grid_server::HelpText();
    return 0;
  }
  if (parsed.outcome == grid_server::ParsedOptions::kError) {
    std::cerr << "grid_server: " << parsed.error << "\n"
              << "try grid_server --help\n";
    return kExitUsage;
  }
  try {
    grid_server::GridServer server(parsed.options);
    if (!parsed.options.port_file.empty()) WritePortFile(parsed.options.port_file, server.port());
    std::cout << "grid_server: listening on " << server.address() << ":" << server.port()
              << ", root " << server.root() << std::endl;
    const grid_server::StopReason reason = server.Run();
    std::cout << "grid_server: "
              << (reason == grid_server::StopReason::kRetired ? "retired" : "stopped") << std::endl;
    return 0;
  } catch (const grid_server::StartError& error) {
    std::cerr << "grid_server: " << error.what() << "\n";
    return kExitStartFailure;
  } catch (const std::exception& error) {
    std::cerr << "grid_server: " << error.what() << "\n";
    return kExitStartFailure;
  }
}
