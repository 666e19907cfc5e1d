// Verbs for the tests of the memory grids, the layer cache and the request
// handler: a fixture that binds the real grid I/O library, pins the available
// memory, gives each test a fresh workspace and leaves the process-wide state
// as a fresh process has it; layers written and read straight through the
// library's row calls (the oracle for what is on disk); and a logger that
// records its lines.
#ifndef MIRL_TESTS_SERVER_SERVER_FIXTURE_H_
#define MIRL_TESTS_SERVER_SERVER_FIXTURE_H_

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gio_test_support.h"
#include "platform/memory_status.h"
#include "protocol/block_packet.h"
#include "protocol/packet.h"
#include "server/gio.h"
#include "server/gio_holder.h"
#include "server/gio_state.h"
#include "server/layer_cache.h"
#include "server/window_setup.h"
#include "logging/multi_log.h"
#include "support/temp_dir.h"

namespace server_test {

constexpr std::int32_t kMissingInt = -2147483647;

// One call to Log, as the logger received it.
struct LogCall {
  std::string text;
  bool stamp;
  bool newline;
};

class RecordingLog : public grd_svr::IGSvrLog {
 public:
  void Log(std::string text, bool stamp, bool newline) override {
    calls.push_back(LogCall{text, stamp, newline});
  }
  void LogConsole(std::string, bool, bool) override {}
  void LogFile(std::string, bool, bool) override {}
  void Flush() override { ++flushes; }

  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const LogCall& call : calls) out.push_back(call.text);
    return out;
  }
  bool Has(const std::string& text) const {
    for (const LogCall& call : calls)
      if (call.text == text) return true;
    return false;
  }

  std::vector<LogCall> calls;
  int flushes = 0;
};

inline std::uint64_t MB(std::uint64_t mb) { return mb * 1048576u; }

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MIRL_SKIP_WITHOUT_REAL_LIBRARY();
    ResetProcessState();
    mirl::platform::SetAvailablePhysicalMemoryOverride(MB(2000));
    holder_.reset(new grd_svr::CGIO_Holder(MIRL_BINARY_DIR "/lib"));
    ASSERT_TRUE(holder_->IsReady()) << grd_svr::GioState().load_report;
  }
  void TearDown() override {
    ResetProcessState();
    holder_.reset();
    mirl::platform::ClearAvailablePhysicalMemoryOverride();
  }
  static void ResetProcessState() {
    grd_svr::ClearCache();
    grd_svr::CacheState().memory_mode = 0;
    grd_svr::CacheState().capacity = 0;
    grd_svr::GIOState& state = grd_svr::GioState();
    state.window = grd_svr::AccessWindow();
    state.workspace.clear();
    state.log = nullptr;
  }

  std::string dir() const { return tmp_.str(); }
  std::string Path(const std::string& name) const { return tmp_.file(name); }

  // A forced window over the workspace; the result of the set-up.
  std::int32_t Window(std::int32_t rows, std::int32_t cols, double x_ll = 0.0, double y_ll = 0.0,
                      double cell_size = 1.0) {
    return grd_svr::MakeWindow(dir(), rows, cols, y_ll, x_ll, cell_size, true);
  }

  // Writes a layer of the current window's shape, cells row after row.
  void WriteIntLayer(const std::string& name, const std::vector<std::int32_t>& cells) {
    WriteLayer(name, 1, cells.data(), nullptr, cells.size());
  }
  void WriteFloatLayer(const std::string& name, const std::vector<float>& cells) {
    WriteLayer(name, 2, nullptr, cells.data(), cells.size());
  }

  // Every window row of the layer as the library reads it.
  std::vector<std::int32_t> ReadIntLayer(const std::string& name) {
    std::vector<std::int32_t> cells;
    ReadLayer(name, &cells, nullptr);
    return cells;
  }
  std::vector<float> ReadFloatLayer(const std::string& name) {
    std::vector<float> cells;
    ReadLayer(name, nullptr, &cells);
    return cells;
  }

  bool LayerExists(const std::string& name) { return grd_svr::CGIO::GridExists(Path(name)) > 0; }

  float MissingFloat() const { return grd_svr::GioState().missing_float; }

 private:
  void WriteLayer(const std::string& name, std::int32_t type, const std::int32_t* ints,
                  const float* floats, std::size_t count) {
    const grd_svr::AccessWindow& window = grd_svr::GioState().window;
    ASSERT_TRUE(window.IsValid());
    ASSERT_EQ(count, static_cast<std::size_t>(window.m_Rows) * window.m_Columns);
    const int handle =
        grd_svr::CGIO::CellLayerCreate(Path(name), 2, 1, type, window.m_CellSize, window.m_Box);
    ASSERT_GE(handle, 0);
    for (int r = 0; r < window.m_Rows; ++r) {
      const std::size_t first = static_cast<std::size_t>(r) * window.m_Columns;
      const int put = ints != nullptr ? grd_svr::CGIO::PutWindowRow(handle, r, ints + first)
                                      : grd_svr::CGIO::PutWindowRow(handle, r, floats + first);
      ASSERT_GE(put, 0);
    }
    ASSERT_GE(grd_svr::CGIO::CellLyrClose(handle), 0);
  }

  void ReadLayer(const std::string& name, std::vector<std::int32_t>* ints,
                 std::vector<float>* floats) {
    const grd_svr::AccessWindow& window = grd_svr::GioState().window;
    ASSERT_TRUE(window.IsValid());
    std::int32_t type = 0;
    double cell_size = 0.0;
    const int handle = grd_svr::CGIO::CellLayerOpen(Path(name), 1, 1, &type, &cell_size);
    ASSERT_GE(handle, 0) << name;
    const std::size_t cols = static_cast<std::size_t>(window.m_Columns);
    if (ints != nullptr) ints->assign(cols * window.m_Rows, 0);
    if (floats != nullptr) floats->assign(cols * window.m_Rows, 0.0f);
    for (int r = 0; r < window.m_Rows; ++r) {
      const int got = ints != nullptr
                          ? grd_svr::CGIO::GetWindowRowInt(handle, r, ints->data() + r * cols)
                          : grd_svr::CGIO::GetWindowRowFloat(handle, r, floats->data() + r * cols);
      ASSERT_GE(got, 0);
    }
    grd_svr::CGIO::CellLyrClose(handle);
  }

  mirl_test::TempDir tmp_;
  std::unique_ptr<grd_svr::CGIO_Holder> holder_;
};

// A 3 x 4 window over (0, 0)-(4, 3) with an integer layer "ints" (one
// missing cell) and a float layer "floats" (fractions of both signs and one
// missing cell), for the memory-grid tests.
class MemGridTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
    WriteIntLayer("ints", {0, 1, 2, 3, 10, kMissingInt, 12, 13, 20, 21, 22, 23});
    WriteFloatLayer("floats", {0.5f, 2.7f, -2.7f, MissingFloat(), 1, 2, 3, 4, 5, 6, 7, 8});
  }

  // A BlockLoad request for the 0-based block with the caller's missing
  // values -99 and -99.5.
  grd_svr::CGSvrPk_BlockOp Block(std::int32_t row, std::int32_t col, std::int32_t rows,
                                 std::int32_t cols, std::int32_t type) {
    grd_svr::CGSvrPk_BlockOp packet(grd_svr::atRequest, grd_svr::BlockLoad);
    packet.m_BlkStartRow = row;
    packet.m_BlkStartCol = col;
    packet.m_RowCount = rows;
    packet.m_ColCount = cols;
    packet.m_CellType = type;
    packet.m_MissingINT = -99;
    packet.m_MissingFLT = -99.5f;
    return packet;
  }
};

}  // namespace server_test

#endif  // MIRL_TESTS_SERVER_SERVER_FIXTURE_H_
