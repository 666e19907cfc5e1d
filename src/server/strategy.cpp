#include "server/strategy.h"

#include <boost/format.hpp>
#include <boost/make_shared.hpp>
#include <cmath>
#include <exception>
#include <limits>

#include "platform/memory_status.h"
#include "protocol/packet.h"
#include "server/gio_state.h"
#include "server/layer_cache.h"
#include "server/memgrid_solid.h"
#include "logging/multi_log.h"

namespace grd_svr {

std::uint32_t AvailableRamMB() {
  const std::uint64_t mb = mirl::platform::AvailablePhysicalMemory() / 1048576u;
  const std::uint64_t most = std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(mb < most ? mb : most);
}

std::uint32_t SolidGridMB(std::int32_t rows, std::int32_t columns) {
  const std::uint64_t cells = static_cast<std::uint64_t>(rows < 0 ? 0 : rows) *
                              static_cast<std::uint64_t>(columns < 0 ? 0 : columns);
  const std::uint64_t bytes = cells * 4u + kSolidGridOverhead;
  const double mb = std::ceil(static_cast<double>(bytes) / 1048576.0);
  const double most = std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(mb < most ? mb : most);
}

namespace {
const char kFillerPrefix[] = "f_i_l_l_e_r__g_r_i_d_";
}  // namespace

std::string FillerName(std::uint32_t i) {
  return boost::str(boost::format("%s%d") % kFillerPrefix % i);
}

bool IsFillerName(const std::string& key) {
  const std::size_t prefix = sizeof(kFillerPrefix) - 1;
  if (key.size() <= prefix || key.compare(0, prefix, kFillerPrefix) != 0) return false;
  return key.find_first_not_of("0123456789", prefix) == std::string::npos;
}

std::int32_t RunStrategy() {
  const AccessWindow& window = GioState().window;
  const std::uint32_t available_ram = AvailableRamMB();
  const std::uint32_t grid_size = SolidGridMB(window.m_Rows, window.m_Columns);
  const std::uint32_t usable_ram =
      available_ram < kStrategyBudgetMB ? available_ram : kStrategyBudgetMB;
  const std::uint32_t available_cap = usable_ram / grid_size;
  const std::uint32_t required_cap = kStrategyRequiredCap;
  IGSvrLog* log = GioState().log;
  if (log != nullptr) {
    log->Log(boost::str(boost::format("Strategy [available_ram: %d, grid_size: %d, usable_ram: "
                                      "%d, available_cap: %d, required_cap: %d]") %
                        available_ram % grid_size % usable_ram % available_cap % required_cap),
             true, true);
    log->Flush();
  }

  LayerCacheState& cache = CacheState();
  if (available_cap < required_cap) {
    cache.capacity = kHollowCapacity;
    cache.memory_mode = kMemoryModeHollow;
    return ErrNone;
  }
  cache.capacity = available_cap - kStrategyReserve;
  cache.memory_mode = kMemoryModeSolid;
  const std::size_t cells =
      static_cast<std::size_t>(window.m_Rows) * static_cast<std::size_t>(window.m_Columns);
  for (std::uint32_t i = 0; i < cache.capacity; ++i) {
    try {
      const std::string name = FillerName(i);
      cache.layers[name] = boost::make_shared<CGSvrMemGrid_Solid>(name, log, cells);
    } catch (const std::exception&) {
      return ErrGridMemAlloc;
    }
  }
  return ErrNone;
}

}  // namespace grd_svr
