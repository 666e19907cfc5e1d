// Writes the seed corpus: one framed message per packet class in each wire
// layout, plus the empty pointer in each, every file named after its class
// and layout.
// Usage: make_seed_corpus <directory>
#include <cstdio>
#include <fstream>
#include <string>
#include <typeinfo>

#include "protocol/framing.h"
#include "protocol/packet_samples.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  int written = 0;
  const struct {
    grd_svr::WireLayout layout;
    const char* suffix;
  } layouts[] = {{grd_svr::WireLayout::k64Bit, "_64"}, {grd_svr::WireLayout::k32Bit, "_32"}};
  for (const auto& l : layouts) {
    for (const grd_svr_test::PacketPtr& p : grd_svr_test::SamplePackets()) {
      const grd_svr::CGSvrPacket& packet = *p;
      std::string name = typeid(packet).name();
      name = name.substr(name.find("CGSvr"));
      if (!WriteFile(dir + "/" + name + l.suffix, grd_svr::EncodeFrame(p, l.layout))) return 1;
      ++written;
    }
    const std::string empty = grd_svr::EncodeFrame(grd_svr_test::PacketPtr(), l.layout);
    if (!WriteFile(dir + "/empty_pointer" + l.suffix, empty)) return 1;
    ++written;
  }
  std::printf("%d seed messages in %s\n", written, dir.c_str());
  return 0;
}
