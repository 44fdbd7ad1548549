// The encoder's bit writers against the decoder's bit reader: the same bits in the same order,
// and the plane ending exactly where the reader's last loaded word ends.
#include <gtest/gtest.h>

#include <random>

#include "encoder/video_bit_writer.h"
#include "video/bit_reader.h"
#include "video/code_tables.h"

namespace {

struct BitOp {
  bool Code;       // a prefix code (peeks the table's longest length) or plain bits
  uint32_t Table;  // for codes
  uint32_t Value;  // code index, or the bits
  uint32_t Width;  // for plain bits
};

std::vector<BitOp> RandomOps(std::mt19937* rng, uint32_t count) {
  std::vector<BitOp> ops;
  for (uint32_t i = 0; i < count; ++i) {
    BitOp op{};
    op.Code = uint32_t((*rng)()) % 2 == 0;
    if (op.Code) {
      op.Table = uint32_t((*rng)()) % 16;
      op.Value = uint32_t((*rng)()) % 16;
    } else {
      op.Width = 1 + uint32_t((*rng)()) % 32;
      op.Value = uint32_t((*rng)()) & (op.Width == 32 ? ~0u : (1u << op.Width) - 1);
    }
    ops.push_back(op);
  }
  return ops;
}

TEST(VideoEncoderBitWriter, ReaderSeesTheSameValuesAndEndsAtThePlaneEnd) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    const std::vector<BitOp> ops = RandomOps(&rng, 1 + uint32_t(rng()) % 60);
    VideoBitWriter w;
    for (const BitOp& op : ops) {
      if (op.Code) {
        EncoderWriteCode(&w, op.Table, op.Value);
      } else {
        EncoderWriteBits(&w, op.Value, op.Width);
      }
    }
    const std::vector<uint8_t> bytes = EncoderFinishPlane(&w);
    ASSERT_EQ(bytes.size() % 4, 0u);
    VideoBitReader r;
    VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
    VideoCodeTree tree{};
    for (uint32_t i = 0; i < 16; ++i) tree.Symbols[i] = uint8_t(i);
    for (const BitOp& op : ops) {
      if (op.Code) {
        tree.Table = op.Table;
        ASSERT_EQ(VideoReadSymbol(&r, &tree), op.Value);
      } else {
        ASSERT_EQ(VideoReadBits(&r, op.Width), op.Value);
      }
    }
    // The next plane starts after the last word the reader loaded: the plane's exact length.
    EXPECT_EQ(r.Pos, bytes.size()) << "round " << round;
  }
}

// A short code read near the end of a word still loads the next word (the reader peeks the
// table's longest code), so the plane takes that word too.
TEST(VideoEncoderBitWriter, CodePeekAtAWordEndTakesTheNextWord) {
  VideoBitWriter w;
  EncoderWriteBits(&w, 0, 30);
  EncoderWriteCode(&w, 13, 0);  // one bit long, but table 13 peeks seven
  EXPECT_EQ(w.Bits.Count, 31u);
  EXPECT_EQ(EncoderFinishPlane(&w).size(), 8u);
}

TEST(VideoEncoderBitWriter, BlockBitsReportOverflowInsteadOfWritingPastTheirEnd) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  for (uint32_t i = 0; i < EncoderBlockBits::CapacityWords * 2; ++i)
    EncoderBlockBitsPut(&bits, 7, 32);
  EXPECT_FALSE(bits.Overflow);
  EncoderBlockBitsPut(&bits, 1, 1);
  EXPECT_TRUE(bits.Overflow);
  EXPECT_EQ(bits.Count, EncoderBlockBits::CapacityWords * 64);
}

}  // namespace
