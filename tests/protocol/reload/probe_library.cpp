// Entry points of the probe library: what a reloaded library must still do
// with its packet classes.
#include "protocol/export_keys.h"
#include "protocol/framing.h"
#include "protocol/packet_samples.h"

#define PROBE_API extern "C" __attribute__((visibility("default")))

// How many sample packets round-trip through the framed encoding intact.
PROBE_API int mirl_probe_round_trips() {
  int intact = 0;
  for (const grd_svr_test::PacketPtr& p : grd_svr_test::SamplePackets()) {
    try {
      const std::string frame = grd_svr::EncodeFrame(p);
      grd_svr_test::PacketPtr back;
      if (grd_svr::DecodeFrame(frame.data(), frame.size(), back)) continue;
      if (back && grd_svr_test::PacketDifference(*p, *back).empty()) ++intact;
    } catch (...) {
    }
  }
  return intact;
}

// How many export keys Boost does not know.
PROBE_API int mirl_probe_unregistered() {
  return static_cast<int>(grd_svr::UnregisteredExportKeys().size());
}
