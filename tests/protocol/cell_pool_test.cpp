// The cell pool: which blocks it keeps and hands out, and under random use
// that storage handed out is never storage a live vector still owns, while
// the kept bytes stay within their bound. Each live vector holds a pattern
// of its own, checked before it is given back, so that a block handed to two
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

constexpr std::size_t kLargeFloats = kPooledCellBytes / sizeof(float) * 2;  // 4 MiB

class CellPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { ReleasePooledCells(); }
  void TearDown() override { ReleasePooledCells(); }
};

TEST_F(CellPoolTest, GivenStorageIsTakenAgainByTheNextVectorOfItsSize) {
  std::vector<float> first;
  TakeCells(first, kLargeFloats);
  ASSERT_GE(first.capacity(), kLargeFloats);
  first.assign(kLargeFloats, 1.5f);
  const float* storage = first.data();
  GiveCells(first);
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(first.capacity(), 0u);
  EXPECT_EQ(PooledCellBytes(), kLargeFloats * sizeof(float));

  std::vector<float> second;
  TakeCells(second, kLargeFloats - 1000);
  EXPECT_EQ(second.data(), storage);
  EXPECT_TRUE(second.empty());
  EXPECT_EQ(PooledCellBytes(), 0u);
}

TEST_F(CellPoolTest, TypesSmallBlocksAndFarLargerBlocksAreNotMixedUp) {
  std::vector<float> floats;
  TakeCells(floats, kLargeFloats);
  const void* float_storage = floats.data();
  GiveCells(floats);

  // Another cell type does not get the float block.
  std::vector<std::int32_t> ints;
  TakeCells(ints, kLargeFloats);
  EXPECT_NE(static_cast<const void*>(ints.data()), float_storage);
  // A request of less than half the block's size does not tie it up.
  std::vector<float> small_grid;
  TakeCells(small_grid, kLargeFloats / 2 - 1);
  EXPECT_NE(static_cast<const void*>(small_grid.data()), float_storage);
  EXPECT_EQ(PooledCellBytes(), kLargeFloats * sizeof(float));

  // Small blocks are freed, not kept.
  std::vector<float> tiny(100);
  GiveCells(tiny);
  EXPECT_EQ(PooledCellBytes(), kLargeFloats * sizeof(float));
}

TEST_F(CellPoolTest, KeepsAtMostItsBlockCountDroppingTheSmallest) {
  std::vector<const float*> storage;
  std::vector<std::vector<float>> vectors(kPooledBlocks + 1);
  for (std::size_t i = 0; i < vectors.size(); ++i) {
    TakeCells(vectors[i], kLargeFloats + i * 1024);
    storage.push_back(vectors[i].data());
  }
  std::size_t expected = 0;
  for (std::size_t i = 0; i < vectors.size(); ++i) {
    expected += vectors[i].capacity() * sizeof(float);
    GiveCells(vectors[i]);
  }
  expected -= kLargeFloats * sizeof(float);  // the smallest, given first, went
  EXPECT_EQ(PooledCellBytes(), expected);
  std::vector<float> again;
  TakeCells(again, kLargeFloats);
  EXPECT_NE(again.data(), storage[0]);
  EXPECT_EQ(again.data(), storage[1]);
}

TEST_F(CellPoolTest, ASmallBlockDoesNotDisplaceTheGridBlocksOfAFullPool) {
  const std::size_t grid = kPooledBytes / kPooledBlocks / sizeof(float) / 2;
  std::vector<std::vector<float>> grids(kPooledBlocks);
  for (auto& g : grids) TakeCells(g, grid);
  for (auto& g : grids) GiveCells(g);
  ASSERT_EQ(PooledCellBytes(), kPooledBlocks * grid * sizeof(float));
  std::vector<float> block;
  TakeCells(block, kPooledCellBytes / sizeof(float));
  GiveCells(block);
  EXPECT_EQ(PooledCellBytes(), kPooledBlocks * grid * sizeof(float));
  // A larger block does replace the smallest.
  std::vector<float> larger;
  TakeCells(larger, grid + 1024);
  GiveCells(larger);
  EXPECT_EQ(PooledCellBytes(), (kPooledBlocks - 1) * grid * sizeof(float) +
                                   (grid + 1024) * sizeof(float));
}

TEST_F(CellPoolTest, ABlockBeyondTheByteLimitIsFreed) {
  std::vector<std::int32_t> huge;
  TakeCells(huge, kPooledBytes / sizeof(std::int32_t) + 1);
  GiveCells(huge);
  EXPECT_EQ(PooledCellBytes(), 0u);
}

TEST_F(CellPoolTest, ReleaseFreesEveryKeptBlock) {
  std::vector<float> a;
  std::vector<std::int32_t> b;
  TakeCells(a, kLargeFloats);
  TakeCells(b, kLargeFloats);
  GiveCells(a);
  GiveCells(b);
  EXPECT_GT(PooledCellBytes(), 0u);
  ReleasePooledCells();
  EXPECT_EQ(PooledCellBytes(), 0u);
}

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

class CellPoolUseTest : public ::testing::Test {
 protected:
  void SetUp() override { ReleasePooledCells(); }
  void TearDown() override { ReleasePooledCells(); }
};

TEST_F(CellPoolUseTest, RandomTakesAndGivesNeverShareStorage) {
  bool ok = true;
  Walk<float>(1, 400, 1000, &ok);
  EXPECT_TRUE(ok);
  Walk<std::int32_t>(2, 400, 5000, &ok);
  EXPECT_TRUE(ok);
}

TEST_F(CellPoolUseTest, ThreadsTakingAndGivingAtOnceNeverShareStorage) {
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

TEST_F(CellPoolUseTest, KeptBytesFollowTheBlocksKeptAndTaken) {
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
