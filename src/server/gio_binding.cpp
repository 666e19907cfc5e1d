#include <boost/filesystem/path.hpp>

#include "platform/debug_output.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "server/gio.h"
#include "server/gio_state.h"

namespace grd_svr {
namespace {

const char* const kLibraryBaseNames[] = {"avgridio", "aigridio"};

// Holds critical section A without the request trace lines: loading and
// unloading are not requests, but must not race one.
class StateLock {
 public:
  StateLock() { GioState().critical_a.Enter(); }
  ~StateLock() { GioState().critical_a.Leave(); }
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;
};

std::string LibraryPath(const std::string& library_dir, const std::string& file_name) {
  if (library_dir.empty()) return file_name;
  return (boost::filesystem::path(library_dir) / file_name).string();
}

// Pointers into a library that is about to go must not outlive it: the guard
// then reports kGioNotBound instead of calling into unmapped code.
void ForgetLibrary(GIOState& state) {
  mirl::platform::UnloadDynamicLibrary(state.module);
  state.module = nullptr;
  state.loaded = false;
  state.library_ready = false;
  for (void*& function : state.functions) function = nullptr;
  state.clean_workspace = nullptr;
}

}  // namespace

CGIO::CGIO() : CGIO(mirl::platform::ModuleDirectory()) {}

CGIO::CGIO(const std::string& library_dir) {
  mirl::platform::DebugOutput("Constructing CGIO");
  StateLock lock;
  GIOState& state = GioState();
  ++state.binding_count;
  if (state.loaded) return;
  Load(library_dir);
}

CGIO::~CGIO() {
  mirl::platform::DebugOutput("Destructing CGIO");
  StateLock lock;
  GIOState& state = GioState();
  --state.binding_count;
  // Another live binding still relies on the library's functions.
  if (state.binding_count > 0) return;
  if (state.loaded) {
    Unload();
  } else if (state.module != nullptr) {
    // Mapped, but its set-up call refused: nothing to exit, only to release.
    ForgetLibrary(state);
  }
}

bool CGIO::IsReady() const {
  StateLock lock;
  return GioState().library_ready;
}

void CGIO::Load(const std::string& library_dir) {
  GIOState& state = GioState();
  // A library whose set-up call refused stays mapped; let go of it before
  // mapping one again so that no reference leaks.
  if (state.module != nullptr) ForgetLibrary(state);

  mirl::platform::LibraryHandle module = nullptr;
  for (const char* base : kLibraryBaseNames) {
    const std::string file_name = std::string(base) + mirl::platform::kLibrarySuffix;
    module = mirl::platform::LoadDynamicLibrary(LibraryPath(library_dir, file_name));
    if (module != nullptr) {
      state.load_report += file_name + " loaded;";
      break;
    }
  }
  if (module == nullptr) {
    state.load_report += "ESRI grid libraries not found;";
    return;
  }
  state.module = module;

  void* setup = mirl::platform::FindLibrarySymbol(module, kGioFunctionNames[kGridIOSetup]);
  if (setup == nullptr) {
    ForgetLibrary(state);
    return;
  }
  state.functions[kGridIOSetup] = setup;
  if (reinterpret_cast<GridIOSetupFn>(setup)() == 0) return;

  int failed = 0;
  for (int f = kGridIOSetup + 1; f < kGioFunctionCount; ++f) {
    state.functions[f] = mirl::platform::FindLibrarySymbol(module, kGioFunctionNames[f]);
    if (state.functions[f] == nullptr) ++failed;
  }
  if (failed > 0) {
    ForgetLibrary(state);
    return;
  }
  state.clean_workspace = mirl::platform::FindLibrarySymbol(module, kCleanWorkspaceName);
  state.loaded = true;
  state.library_ready = true;
  reinterpret_cast<GetMissingFloatFn>(state.functions[kGetMissingFloat])(&state.missing_float);
  state.missing_int = kGioMissingInt;
}

void CGIO::Unload() {
  GIOState& state = GioState();
  if (state.functions[kGridIOExit] != nullptr)
    reinterpret_cast<GridIOExitFn>(state.functions[kGridIOExit])();
  ForgetLibrary(state);
  state.load_report.clear();
}

}  // namespace grd_svr
