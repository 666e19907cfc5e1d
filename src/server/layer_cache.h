// The layer cache of the in-process grid server: the memory grids it has
// opened, keyed by the layer name as requested with surrounding white space
// trimmed (case kept), ordered by plain byte-wise comparison. A full cache
// evicts the entry with the fewest hits (the first in key order among equals)
// before it adds a layer. The memory strategy (strategy.h) decides whether
// new grids are Solid or Hollow and sets the capacity; the window set-up
// (window_setup.h) empties the cache.
//
// Lifetime: process-wide, created on first use and never destroyed; it
// survives sessions (clean_up leaves it alone). A grid that the cache drops
// lives on while a request still holds it.
// Thread safety: every function here is called under critical section A
// (server/gio_lock.h) and nowhere else.
#ifndef MIRL_SERVER_LAYER_CACHE_H_
#define MIRL_SERVER_LAYER_CACHE_H_

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <map>
#include <string>

#include "server/memgrid.h"

namespace grd_svr {

class IGSvrLog;

// Memory mode of the grids the cache creates.
constexpr std::int32_t kMemoryModeSolid = 1;
constexpr std::int32_t kMemoryModeHollow = 2;

struct LayerCacheState {
  std::map<std::string, boost::shared_ptr<CGSvrMemGrid>> layers;
  /// kMemoryModeHollow: Hollow grids are created; anything else Solid.
  /// 0 before the first strategy run.
  std::int32_t memory_mode = 0;
  /// The size at which adding a layer first evicts one; 0 before the first
  /// strategy run.
  std::uint32_t capacity = 0;
};

// The one instance.
LayerCacheState& CacheState();

// The cache key of a layer name: white space (of the default locale) removed
// from both ends.
std::string LayerKey(const std::string& name);

// The cached grid for name, or a new one. No valid access window: status
// ErrGridNoAccessWindow. Found: ErrNone and its hits raised by 2 in all.
// Otherwise, with add set, one layer is evicted when the cache is full; the
// trimmed name is resolved against the workspace and a grid of the memory
// mode created; with load set it is opened and a failed open (its status
// returned) discards it; with add set the grid is then stored under its key.
// Exceptions give ErrGridMemAlloc. error_text is passed along, not used.
boost::shared_ptr<CGSvrMemGrid> GetLayer(const std::string& name, std::int32_t& status,
                                         std::string& error_text, bool load, bool add);

// The grid stored under key with its hits raised by one, or empty.
boost::shared_ptr<CGSvrMemGrid> FindLayer(const std::string& key);

// A new, unopened grid of the memory mode named path, with the process-wide
// logger.
boost::shared_ptr<CGSvrMemGrid> CreateLayer(const std::string& path);

// Evicts the entry with the fewest hits when the cache is not empty and
// either holds at least capacity entries or force is set.
void DumpLayer(bool force);

// Removes key if present.
void EraseLayer(const std::string& key);

// Removes every entry whose grid is bound to path (its resolved name), so
// that a layer cached under another spelling of its name goes as well.
void EraseLayersOfPath(const std::string& path);

// Removes every entry.
void ClearCache();

// Clears the logger of every cached grid that still points at log, for a
// logger about to be destroyed while the cache outlives it.
void DetachLogger(const IGSvrLog* log);

}  // namespace grd_svr

#endif  // MIRL_SERVER_LAYER_CACHE_H_
