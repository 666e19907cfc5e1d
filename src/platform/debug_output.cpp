#include "platform/debug_output.h"

#include <mutex>

#include "platform/debug_channel.h"

namespace mirl {
namespace platform {
namespace {

struct SinkSlot {
  std::mutex mutex;
  DebugSink sink = nullptr;
  void* context = nullptr;
};

// Never destroyed: trace lines may be written from static destructors and
// from the unload hook after ordinary statics are gone.
SinkSlot& Slot() {
  static SinkSlot* slot = new SinkSlot;
  return *slot;
}

}  // namespace

void DebugOutput(const std::string& text) {
  WriteDebugChannel(text);
  SinkSlot& slot = Slot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  if (slot.sink != nullptr) slot.sink(text, slot.context);
}

void SetDebugSink(DebugSink sink, void* context) {
  SinkSlot& slot = Slot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.sink = sink;
  slot.context = context;
}

}  // namespace platform
}  // namespace mirl
