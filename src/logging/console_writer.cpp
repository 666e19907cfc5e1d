#include "logging/console_writer.h"

#ifndef MIRL_CONSOLE_THROUGH_HOST
#include <iostream>
#endif

namespace {
mirl_console_writer g_writer = nullptr;
}  // namespace

extern "C" void mirl_set_console_writer(mirl_console_writer writer) { g_writer = writer; }

namespace grd_svr {

void WriteConsole(const std::string& text) {
  if (g_writer != nullptr) {
    g_writer(text.c_str());
    return;
  }
#ifndef MIRL_CONSOLE_THROUGH_HOST
  std::cout << text;
#endif
}

}  // namespace grd_svr
