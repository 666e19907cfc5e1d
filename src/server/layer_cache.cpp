#include "server/layer_cache.h"

#include <boost/algorithm/string/trim.hpp>
#include <boost/filesystem/path.hpp>
#include <boost/format.hpp>
#include <boost/make_shared.hpp>

#include "protocol/packet.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/memgrid_hollow.h"
#include "server/memgrid_solid.h"
#include "server/strategy.h"
#include "logging/multi_log.h"

namespace grd_svr {
namespace {

// Prefix of every cache line: size, capacity and available memory now.
boost::format CacheLine(const char* rest) {
  boost::format line(std::string("Cache [size: %d, max: %d, RAM: %dMB] ") + rest);
  line % CacheState().layers.size() % CacheState().capacity % AvailableRamMB();
  return line;
}

}  // namespace

LayerCacheState& CacheState() {
  // Never destroyed, like the binding's state: the unload hook may reach it.
  static LayerCacheState* state = new LayerCacheState;
  return *state;
}

std::string LayerKey(const std::string& name) { return boost::algorithm::trim_copy(name); }

boost::shared_ptr<CGSvrMemGrid> FindLayer(const std::string& key) {
  auto& layers = CacheState().layers;
  const auto found = layers.find(key);
  if (found == layers.end()) return boost::shared_ptr<CGSvrMemGrid>();
  ++found->second->m_Hits;
  return found->second;
}

boost::shared_ptr<CGSvrMemGrid> CreateLayer(const std::string& path) {
  IGSvrLog* log = GioState().log;
  if (CacheState().memory_mode == kMemoryModeHollow)
    return boost::make_shared<CGSvrMemGrid_Hollow>(path, log);
  return boost::make_shared<CGSvrMemGrid_Solid>(path, log);
}

void DumpLayer(bool force) {
  LayerCacheState& cache = CacheState();
  if (cache.layers.empty()) return;
  if (cache.layers.size() < cache.capacity && !force) return;
  auto victim = cache.layers.begin();
  for (auto it = cache.layers.begin(); it != cache.layers.end(); ++it)
    if (it->second->m_Hits < victim->second->m_Hits) victim = it;
  const std::string key = victim->first;
  const std::int32_t hits = victim->second->m_Hits;
  IGSvrLog* log = GioState().log;
  if (log != nullptr)
    log->Log(boost::str(CacheLine("pre-dumping layer: %s [hits: %d]") % key % hits), true, true);
  cache.layers.erase(victim);
  if (log != nullptr)
    log->Log(boost::str(CacheLine("post-dumping layer: %s [hits: %d]") % key % hits), true, true);
}

boost::shared_ptr<CGSvrMemGrid> GetLayer(const std::string& name, std::int32_t& status,
                                         std::string&, bool load, bool add) {
  if (!GioState().window.IsValid()) {
    status = ErrGridNoAccessWindow;
    return boost::shared_ptr<CGSvrMemGrid>();
  }
  const std::string key = LayerKey(name);
  boost::shared_ptr<CGSvrMemGrid> grid = FindLayer(key);
  if (grid) {
    status = ErrNone;
    ++grid->m_Hits;
    return grid;
  }
  try {
    if (add) DumpLayer(false);
    grid = CreateLayer(CGIO::ResolvePath(GioState().workspace, key));
    status = load ? grid->Open(std::string()) : ErrNone;
    if (status != ErrNone) return boost::shared_ptr<CGSvrMemGrid>();
    if (add) {
      IGSvrLog* log = GioState().log;
      if (log != nullptr) {
        const bool hollow = CacheState().memory_mode == kMemoryModeHollow;
        log->Log(boost::str(CacheLine("adding layer: %s [hollow: %s]") % key %
                            (hollow ? "true" : "false")),
                 true, true);
        log->Flush();
      }
      CacheState().layers[key] = grid;
    }
    return grid;
  } catch (...) {
    status = ErrGridMemAlloc;
    return boost::shared_ptr<CGSvrMemGrid>();
  }
}

void EraseLayer(const std::string& key) { CacheState().layers.erase(key); }

void EraseLayersOfPath(const std::string& path) {
  // "ws/./g" and "ws/sub/../g" name the layer cached as "ws/g".
  const auto normal = [](const std::string& p) {
    std::string text = boost::filesystem::path(p).lexically_normal().string();
    for (;;) {
      if (text.size() > 2 && text.compare(text.size() - 2, 2, "/.") == 0)
        text.resize(text.size() - 2);
      else if (text.size() > 1 && text.back() == '/')
        text.pop_back();
      else
        break;
    }
    return text;
  };
  const std::string wanted = normal(path);
  auto& layers = CacheState().layers;
  for (auto it = layers.begin(); it != layers.end();) {
    if (normal(it->second->m_GrdName) == wanted)
      it = layers.erase(it);
    else
      ++it;
  }
}

void ClearCache() { CacheState().layers.clear(); }

void DetachLogger(const IGSvrLog* log) {
  for (auto& entry : CacheState().layers)
    if (entry.second->m_Log == log) entry.second->m_Log = nullptr;
}

}  // namespace grd_svr
