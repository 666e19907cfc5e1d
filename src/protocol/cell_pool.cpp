#include "protocol/cell_pool.h"

#include <cstddef>
#include <mutex>
#include <utility>

#include "protocol/large_block.h"

namespace grd_svr {
namespace {

// Kept blocks of one cell type.
template <class T>
struct Shelf {
  std::vector<std::vector<T>> blocks;
};

struct Pool {
  std::mutex mutex;
  Shelf<std::int32_t> ints;
  Shelf<float> floats;
  std::size_t bytes = 0;

  Shelf<std::int32_t>& ShelfOf(std::int32_t*) { return ints; }
  Shelf<float>& ShelfOf(float*) { return floats; }
};

// Never destroyed: vectors may be given back by objects that outlive the
// library's statics (a packet held by the host's last reference).
Pool& ThePool() {
  static Pool* pool = new Pool;
  return *pool;
}

template <class T>
std::size_t BytesOf(const std::vector<T>& block) {
  return block.capacity() * sizeof(T);
}

// The smallest kept block of either shelf: its shelf and place, or none.
struct Smallest {
  bool found = false;
  bool ints = false;
  std::size_t index = 0;
  std::size_t bytes = 0;
};

Smallest FindSmallest(const Pool& pool) {
  Smallest smallest;
  auto look = [&](const auto& blocks, bool ints) {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      if (!smallest.found || BytesOf(blocks[i]) < smallest.bytes)
        smallest = Smallest{true, ints, i, BytesOf(blocks[i])};
    }
  };
  look(pool.ints.blocks, true);
  look(pool.floats.blocks, false);
  return smallest;
}

void Drop(Pool& pool, const Smallest& block) {
  pool.bytes -= block.bytes;
  if (block.ints) {
    pool.ints.blocks.erase(pool.ints.blocks.begin() + static_cast<std::ptrdiff_t>(block.index));
  } else {
    pool.floats.blocks.erase(pool.floats.blocks.begin() +
                             static_cast<std::ptrdiff_t>(block.index));
  }
}

template <class T>
void Take(std::vector<T>& cells, std::size_t count) {
  cells.clear();
  if (cells.capacity() >= count) return;
  const std::size_t bytes = count * sizeof(T);
  if (count <= SIZE_MAX / sizeof(T) && bytes >= kPooledCellBytes) {
    Pool& pool = ThePool();
    std::vector<T> found;
    {
      std::lock_guard<std::mutex> lock(pool.mutex);
      auto& blocks = pool.ShelfOf(static_cast<T*>(nullptr)).blocks;
      auto best = blocks.end();
      for (auto b = blocks.begin(); b != blocks.end(); ++b) {
        const std::size_t held = b->capacity();
        if (held >= count && held / 2 <= count &&
            (best == blocks.end() || held < best->capacity())) {
          best = b;
        }
      }
      if (best != blocks.end()) {
        pool.bytes -= BytesOf(*best);
        found.swap(*best);
        blocks.erase(best);
      }
    }
    if (found.capacity() >= count) {
      // The old storage goes back in its turn.
      GiveCells(cells);
      cells.swap(found);
      return;
    }
  }
  GiveCells(cells);
  cells.reserve(count);
  AdviseLargeBlock(cells.data(), bytes);
}

template <class T>
void Give(std::vector<T>& cells) noexcept {
  std::vector<T> block;
  block.swap(cells);
  const std::size_t bytes = BytesOf(block);
  if (bytes < kPooledCellBytes || bytes > kPooledBytes) return;
  block.clear();
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  auto& blocks = pool.ShelfOf(static_cast<T*>(nullptr)).blocks;
  try {
    blocks.reserve(kPooledBlocks);
  } catch (...) {
    return;  // block is freed on the way out
  }
  // When full, a block no larger than every kept one is the one to go: a
  // stream of block replies must not push out whole grids.
  auto full = [&] { return pool.ints.blocks.size() + pool.floats.blocks.size() >= kPooledBlocks; };
  Smallest smallest = FindSmallest(pool);
  if (full() && bytes <= smallest.bytes) return;
  while (smallest.found && (full() || pool.bytes + bytes > kPooledBytes)) {
    Drop(pool, smallest);
    smallest = FindSmallest(pool);
  }
  pool.bytes += bytes;
  blocks.push_back(std::move(block));
}

}  // namespace

void TakeCells(std::vector<std::int32_t>& cells, std::size_t count) { Take(cells, count); }
void TakeCells(std::vector<float>& cells, std::size_t count) { Take(cells, count); }
void GiveCells(std::vector<std::int32_t>& cells) noexcept { Give(cells); }
void GiveCells(std::vector<float>& cells) noexcept { Give(cells); }

void ReleasePooledCells() noexcept {
  Pool& pool = ThePool();
  Shelf<std::int32_t> ints;
  Shelf<float> floats;
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    ints.blocks.swap(pool.ints.blocks);
    floats.blocks.swap(pool.floats.blocks);
    pool.bytes = 0;
  }
}

std::size_t PooledCellBytes() {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  return pool.bytes;
}

}  // namespace grd_svr
