// Coefficients and residues written by the encoder, read back by the decoder's readers: the same
// values, and exactly the bits written consumed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "encoder/video_coefficient_writer.h"
#include "video/bit_reader.h"
#include "video/coefficients.h"

namespace {

std::vector<uint8_t> Bytes(const EncoderBlockBits& bits) {
  EncoderBitBuffer buffer;
  EncoderBitBufferAppend(&buffer, &bits);
  VideoBitWriter w;
  EncoderWriteBuffer(&w, &buffer);
  return EncoderFinishPlane(&w);
}

uint64_t BitsConsumed(const VideoBitReader& r) { return r.Pos * 8 - r.BitsLeft; }

void ExpectCoefficientsRoundTrip(const int16_t coefs[64]) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  EncoderWriteCoefficients(&bits, coefs);
  ASSERT_FALSE(bits.Overflow);
  const std::vector<uint8_t> bytes = Bytes(bits);
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  int16_t read[64];
  read[0] = 1234;  // the DC is the caller's; the reader leaves it
  VideoReadCoefficients(&r, read);
  EXPECT_EQ(read[0], 1234);
  for (uint32_t i = 1; i < 64; ++i) ASSERT_EQ(read[i], coefs[i]) << "position " << i;
  EXPECT_EQ(BitsConsumed(r), bits.Count);
}

TEST(VideoEncoderCoefficients, RandomBlocksReadBackExactly) {
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    int16_t coefs[64] = {};
    const uint32_t density = uint32_t(rng()) % 64;
    const int32_t largest =
        round % 10 == 0 ? EncoderMaxCoefficient : 1 + int32_t(uint32_t(rng()) % 200);
    for (uint32_t i = 1; i < 64; ++i) {
      if (uint32_t(rng()) % 64 >= density) continue;
      const int32_t v = 1 + int32_t(uint32_t(rng()) % uint32_t(largest));
      coefs[i] = int16_t(uint32_t(rng()) % 2 ? v : -v);
    }
    ExpectCoefficientsRoundTrip(coefs);
  }
}

// The deepest groups open two passes above their top bit: the largest magnitude there is the
// worst case for the pass count.
TEST(VideoEncoderCoefficients, LargestValuesInEveryPosition) {
  for (uint32_t i = 1; i < 64; ++i) {
    int16_t coefs[64] = {};
    coefs[i] = int16_t(i % 2 ? EncoderMaxCoefficient : -EncoderMaxCoefficient);
    ExpectCoefficientsRoundTrip(coefs);
  }
}

TEST(VideoEncoderCoefficients, NoCoefficientsIsFourBits) {
  const int16_t coefs[64] = {};
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  EncoderWriteCoefficients(&bits, coefs);
  EXPECT_EQ(bits.Count, 4u);
  ExpectCoefficientsRoundTrip(coefs);
}

// Writes a residue; returns 0 when the writer refuses it, else checks the decoder's reading.
int ResidueRoundTrip(const int8_t residue[64]) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  if (!EncoderWriteResidue(&bits, residue)) {
    EXPECT_EQ(bits.Count, 0u);
    return 0;
  }
  const std::vector<uint8_t> bytes = Bytes(bits);
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  int8_t read[64];
  VideoReadResidue(&r, read, VideoReadBits(&r, 7));
  for (uint32_t i = 0; i < 64; ++i) EXPECT_EQ(read[i], residue[i]) << "position " << i;
  EXPECT_EQ(BitsConsumed(r), bits.Count);
  return 1;
}

TEST(VideoEncoderResidue, RandomResiduesWithinTheBudgetReadBackExactly) {
  std::mt19937 rng(9);
  int written = 0;
  for (int round = 0; round < 2000; ++round) {
    int8_t residue[64] = {};
    const uint32_t count = uint32_t(rng()) % 24;
    const int32_t largest = 1 + int32_t(uint32_t(rng()) % (round % 4 ? 15 : 127));
    for (uint32_t n = 0; n < count; ++n) {
      const int32_t v = 1 + int32_t(uint32_t(rng()) % uint32_t(largest));
      residue[uint32_t(rng()) % 64] = int8_t(uint32_t(rng()) % 2 ? v : -v);
    }
    written += ResidueRoundTrip(residue);
  }
  EXPECT_GT(written, 1500);
}

TEST(VideoEncoderResidue, ZeroResidueAndMinus128) {
  int8_t residue[64] = {};
  EXPECT_EQ(ResidueRoundTrip(residue), 1);
  residue[0] = -128;
  EXPECT_EQ(ResidueRoundTrip(residue), 1);
}

TEST(VideoEncoderResidue, RefusesWhatTheStreamCannotCarry) {
  int8_t many[64];
  for (int8_t& v : many) v = 7;  // 3 changes each: 192 changes
  EXPECT_EQ(ResidueRoundTrip(many), 0);
  int8_t deep[64] = {};
  deep[4] = 127;  // transmission index 8: its group opens two passes above its top bit, 6
  EXPECT_EQ(ResidueRoundTrip(deep), 0);
  int8_t exactly[64] = {};
  for (uint32_t i = 0; i < 64; ++i) exactly[i] = int8_t(i < 32 ? 3 : 0);  // 64 changes
  EXPECT_EQ(ResidueRoundTrip(exactly), 1);
}

}  // namespace
