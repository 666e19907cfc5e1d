#include <gtest/gtest.h>

#include <cstdint>
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

}  // namespace
