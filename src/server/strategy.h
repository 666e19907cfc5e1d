// The memory strategy of the in-process grid server, run by the window
// set-up right after a window has been applied: from the available physical
// memory (at most a 400 MB budget) and the window's size it chooses Solid
// grids with a capacity of what fits less 4, filling the cache with filler
// grids that hold the memory until real layers displace them, or, when fewer
// than 7 layers would fit, Hollow grids with a capacity of 50.
//
// Thread safety: under critical section A only (server/gio_lock.h).
#ifndef MIRL_SERVER_STRATEGY_H_
#define MIRL_SERVER_STRATEGY_H_

#include <cstdint>
#include <string>

namespace grd_svr {

constexpr std::uint32_t kStrategyBudgetMB = 400;
constexpr std::uint32_t kStrategyRequiredCap = 7;
constexpr std::uint32_t kStrategyReserve = 4;
constexpr std::uint32_t kHollowCapacity = 50;
// Bytes a Solid grid costs beside its cells.
constexpr std::uint64_t kSolidGridOverhead = 88;

// Available physical memory in whole MB (platform/memory_status.h),
// saturated to 32 bits.
std::uint32_t AvailableRamMB();

// MB one Solid grid of rows x columns cells needs: ceil((cells x 4 + 88) /
// 1048576). Computed in 64 bits so that a large window cannot wrap around to
// a small figure.
std::uint32_t SolidGridMB(std::int32_t rows, std::int32_t columns);

// The name of filler grid i: "f_i_l_l_e_r__g_r_i_d_<i>".
std::string FillerName(std::uint32_t i);

// True when key has the form of a filler's name (the prefix, then decimal
// digits only), so that the cache may answer it with a filler.
bool IsFillerName(const std::string& key);

// Sets the memory mode and the capacity for the process-wide window and, for
// Solid, stores the fillers. ErrNone, or ErrGridMemAlloc when the fillers
// cannot all be allocated (those stored stay, as do mode and capacity).
std::int32_t RunStrategy();

}  // namespace grd_svr

#endif  // MIRL_SERVER_STRATEGY_H_
