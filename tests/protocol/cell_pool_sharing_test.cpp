// The cell pool under random use: storage handed out must never be storage
// that a live vector still owns, and the kept bytes stay within their bound
// and follow the blocks kept and taken. Each live vector holds a pattern of
// its own, checked before it is given back, so that a block handed to two
// owners shows up as a clobbered pattern even where addresses differ.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "protocol/cell_pool.h"

namespace {

using grd_svr::GiveCells;
using grd_svr::kPooledBlocks;
using grd_svr::kPooledBytes;
using grd_svr::kPooledCellBytes;
using grd_svr::PooledCellBytes;
using grd_svr::ReleasePooledCells;
using grd_svr::TakeCells;

template <class T>
struct Owned {
  std::vector<T> cells;
  std::int32_t tag = 0;
};

template <class T>
void Fill(Owned<T>& o) {
  for (std::size_t i = 0; i < o.cells.size(); ++i) o.cells[i] = static_cast<T>(o.tag + (i % 7));
}

template <class T>
bool Intact(const Owned<T>& o) {
  for (std::size_t i = 0; i < o.cells.size(); i += 997)
    if (o.cells[i] != static_cast<T>(o.tag + (i % 7))) return false;
  return o.cells.empty() || o.cells.back() == static_cast<T>(o.tag + ((o.cells.size() - 1) % 7));
}

template <class T>
bool Overlaps(const std::vector<T>& a, const std::vector<T>& b) {
  if (a.capacity() == 0 || b.capacity() == 0 || &a == &b) return false;
  const T* a0 = a.data();
  const T* b0 = b.data();
  return a0 < b0 + b.capacity() && b0 < a0 + a.capacity();
}

// One worker's random walk over its own live vectors of one cell type.
template <class T>
void Walk(unsigned seed, int steps, std::int32_t tag_base, bool* ok) {
  std::mt19937 rng(seed);
  const std::size_t unit = kPooledCellBytes / sizeof(T);
  std::uniform_int_distribution<std::size_t> count(unit / 4, unit * 3);
  std::vector<Owned<T>> live(4);
  std::int32_t next_tag = tag_base;
  for (int step = 0; step < steps; ++step) {
    Owned<T>& o = live[rng() % live.size()];
    if (!Intact(o)) {
      *ok = false;
      return;
    }
    if (rng() % 2 == 0) {
      GiveCells(o.cells);
      if (!o.cells.empty() || o.cells.capacity() != 0) {
        *ok = false;
        return;
      }
    } else {
      const std::size_t n = count(rng);
      TakeCells(o.cells, n);
      if (!o.cells.empty() || o.cells.capacity() < n) {
        *ok = false;
        return;
      }
      for (const Owned<T>& other : live)
        if (Overlaps(o.cells, other.cells)) {
          *ok = false;
          return;
        }
      o.cells.resize(n);
      o.tag = next_tag++;
      Fill(o);
    }
    if (PooledCellBytes() > kPooledBytes) {
      *ok = false;
      return;
    }
  }
  for (Owned<T>& o : live) {
    if (!Intact(o)) *ok = false;
    GiveCells(o.cells);
  }
}

class CellPoolSharingTest : public ::testing::Test {
 protected:
  void SetUp() override { ReleasePooledCells(); }
  void TearDown() override { ReleasePooledCells(); }
};

TEST_F(CellPoolSharingTest, RandomTakesAndGivesNeverShareStorage) {
  bool ok = true;
  Walk<float>(1, 400, 1000, &ok);
  EXPECT_TRUE(ok);
  Walk<std::int32_t>(2, 400, 5000, &ok);
  EXPECT_TRUE(ok);
}

TEST_F(CellPoolSharingTest, ThreadsTakingAndGivingAtOnceNeverShareStorage) {
  bool ok[4] = {true, true, true, true};
  std::thread a(Walk<float>, 11u, 200, 10000, &ok[0]);
  std::thread b(Walk<float>, 12u, 200, 20000, &ok[1]);
  std::thread c(Walk<std::int32_t>, 13u, 200, 30000, &ok[2]);
  std::thread d(Walk<std::int32_t>, 14u, 200, 40000, &ok[3]);
  a.join();
  b.join();
  c.join();
  d.join();
  for (bool each : ok) EXPECT_TRUE(each);
  EXPECT_LE(PooledCellBytes(), kPooledBytes);
}

TEST_F(CellPoolSharingTest, KeptBytesFollowTheBlocksKeptAndTaken) {
  // Given from small to large, so that each give beyond the block count
  // drops the smallest kept: the largest kPooledBlocks remain.
  const std::size_t unit = kPooledCellBytes / sizeof(float);
  std::vector<std::vector<float>> given(10);
  std::vector<std::size_t> bytes;
  for (std::size_t i = 0; i < given.size(); ++i) {
    TakeCells(given[i], unit * 3 + i * 4096);
    bytes.push_back(given[i].capacity() * sizeof(float));
  }
  for (auto& v : given) GiveCells(v);
  std::size_t kept = 0;
  for (std::size_t i = given.size() - kPooledBlocks; i < given.size(); ++i) kept += bytes[i];
  ASSERT_EQ(PooledCellBytes(), kept);
  // Each take of a kept size lowers the count by that block, down to none.
  for (std::size_t i = 0; i < kPooledBlocks; ++i) {
    std::vector<float> again;
    const std::size_t before = PooledCellBytes();
    TakeCells(again, unit * 3 + 6 * 4096);
    EXPECT_EQ(before - PooledCellBytes(), again.capacity() * sizeof(float)) << i;
    given[i].swap(again);
  }
  EXPECT_EQ(PooledCellBytes(), 0u);
}

}  // namespace
