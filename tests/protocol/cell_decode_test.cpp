#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/cell_reader.h"
#include "protocol/framing.h"
#include "protocol/memory_buffers.h"
#include "protocol/packets.h"

namespace grd_svr {
namespace {

// Cells are decoded straight from the message, by a block copy where they
// sit aligned and cell by cell where they do not; both roads must give the
// very bits that were sent.

std::uint32_t Bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float FromBits(std::uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

TEST(CellReaderTest, ReadsLittleEndianCellsFromAnOddOffset) {
  // 1.0f is 0x3f800000 and -2.0f is 0xc0000000, least significant byte first.
  const unsigned char bytes[] = {0xee, 0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0xc0};
  const char* at = reinterpret_cast<const char*>(bytes) + 1;
  std::vector<float> cells(wire::CellReader<float>(at), wire::CellReader<float>(at + 8));
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0], 1.0f);
  EXPECT_EQ(cells[1], -2.0f);
}

TEST(CellReaderTest, DistanceAndIndexingCountCellsNotBytes) {
  const char bytes[12] = {};
  wire::CellReader<std::int32_t> first(bytes), last(bytes + 12);
  EXPECT_EQ(last - first, 3);
  EXPECT_EQ(first + 3, last);
  EXPECT_EQ(first[2], 0);
}

TEST(MemoryInputBufferTest, TakeConsumesExactlyTheBytesAsked) {
  const char bytes[] = "abcdef";
  CMemoryInputBuffer source(bytes, 6);
  EXPECT_EQ(source.Take(2), bytes);
  EXPECT_EQ(source.remaining(), 4u);
  EXPECT_EQ(source.sgetc(), 'c');
}

class CellDecodeTest : public ::testing::Test {
 protected:
  // A grid whose float cells include a NaN payload, a negative zero and a
  // subnormal, which a conversion or a zero-filled gap would not keep.
  boost::shared_ptr<CGSvrPk_GridOp> Grid(const std::string& name, std::size_t cells) {
    auto grid = boost::make_shared<CGSvrPk_GridOp>(atRequest, GridLoad);
    grid->m_GridName = name;
    grid->m_CellType = 2;
    grid->m_RowCount = 1;
    grid->m_ColCount = static_cast<std::int32_t>(cells);
    for (std::size_t i = 0; i < cells; ++i) {
      grid->m_GrdDataFLT.push_back(static_cast<float>(i) * 0.5f - 3.0f);
      grid->m_GrdDataINT.push_back(static_cast<std::int32_t>((i * 7919u) % 1000003u) - 40000);
    }
    if (cells > 0) grid->m_GrdDataFLT[0] = FromBits(0x7fc01234u);
    if (cells > 1) grid->m_GrdDataFLT[1] = -0.0f;
    if (cells > 2) grid->m_GrdDataFLT[2] = FromBits(0x00000001u);
    return grid;
  }

  // Decodes the payload placed offset bytes into an aligned buffer, so that
  // the cells land both on and off a 4-byte boundary.
  boost::shared_ptr<CGSvrPk_GridOp> DecodeAt(const std::string& payload, std::size_t offset) {
    std::vector<std::uint32_t> storage(payload.size() / 4 + 2);
    char* at = reinterpret_cast<char*>(storage.data()) + offset;
    std::memcpy(at, payload.data(), payload.size());
    boost::shared_ptr<CGSvrPacket> back;
    EXPECT_FALSE(DecodePacket(at, payload.size(), back));
    return boost::dynamic_pointer_cast<CGSvrPk_GridOp>(back);
  }

  void ExpectSameBits(const CGSvrPk_GridOp& sent, const CGSvrPk_GridOp& got) {
    ASSERT_EQ(got.m_GrdDataFLT.size(), sent.m_GrdDataFLT.size());
    ASSERT_EQ(got.m_GrdDataINT, sent.m_GrdDataINT);
    for (std::size_t i = 0; i < sent.m_GrdDataFLT.size(); ++i) {
      ASSERT_EQ(Bits(got.m_GrdDataFLT[i]), Bits(sent.m_GrdDataFLT[i])) << "cell " << i;
    }
  }
};

TEST_F(CellDecodeTest, EveryAlignmentOfTheCellsGivesTheSentBits) {
  const auto grid = Grid("g", 5);
  const std::string payload = EncodePacket(grid);
  for (std::size_t offset = 0; offset < 4; ++offset) {
    SCOPED_TRACE(offset);
    const auto back = DecodeAt(payload, offset);
    ASSERT_TRUE(back);
    ExpectSameBits(*grid, *back);
  }
}

TEST_F(CellDecodeTest, GridLargerThanALargePageBlockKeepsFirstAndLastCells) {
  // 1.5 M cells: 6 MB a vector, so both vectors take the large-block road.
  const auto grid = Grid("big", 1500000);
  const std::string payload = EncodePacket(grid);
  for (std::size_t offset : {0u, 3u}) {
    SCOPED_TRACE(offset);
    const auto back = DecodeAt(payload, offset);
    ASSERT_TRUE(back);
    ExpectSameBits(*grid, *back);
  }
}

TEST_F(CellDecodeTest, CellsCutShortByOneByteAreRefusedAtEveryAlignment) {
  const std::string payload = EncodePacket(Grid("g", 4));
  const std::string cut = payload.substr(0, payload.size() - 1);
  for (std::size_t offset = 0; offset < 4; ++offset) {
    std::vector<std::uint32_t> storage(cut.size() / 4 + 2);
    char* at = reinterpret_cast<char*>(storage.data()) + offset;
    std::memcpy(at, cut.data(), cut.size());
    boost::shared_ptr<CGSvrPacket> back;
    EXPECT_EQ(DecodePacket(at, cut.size(), back), FrameError()) << offset;
    EXPECT_FALSE(back);
  }
}

TEST_F(CellDecodeTest, EmptyCellVectorsStayEmpty) {
  const auto grid = Grid("none", 0);
  const auto back = DecodeAt(EncodePacket(grid), 1);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->m_GrdDataFLT.empty());
  EXPECT_TRUE(back->m_GrdDataINT.empty());
}

TEST_F(CellDecodeTest, EncodingIntoAUsedStringGivesTheSameBytesAsAFreshOne) {
  const auto small = Grid("s", 3);
  const std::string expected = EncodePacket(small);
  // Leftovers longer and shorter than the payload, and storage too small.
  std::string longer(expected.size() + 100, 'x');
  std::string shorter(5, 'y');
  shorter.shrink_to_fit();
  EncodePacketInto(small, longer);
  EncodePacketInto(small, shorter);
  EXPECT_TRUE(longer == expected);
  EXPECT_TRUE(shorter == expected);
}

}  // namespace
}  // namespace grd_svr
