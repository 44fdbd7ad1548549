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

uint64_t BitsConsumed(const VideoBitReader& r) {
  return r.Pos * 8 - r.BitsLeft;
}

// Writes the block, reads it back; returns the bits written.
uint64_t ExpectCoefficientsRoundTrip(const int16_t coefs[64]) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  EncoderWriteCoefficients(&bits, coefs);
  EXPECT_FALSE(bits.Overflow);
  const std::vector<uint8_t> bytes = Bytes(bits);
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  int16_t read[64];
  read[0] = 1234;  // the DC is the caller's; the reader leaves it
  VideoReadCoefficients(&r, read);
  EXPECT_EQ(read[0], 1234);
  for (uint32_t i = 1; i < 64; ++i) EXPECT_EQ(read[i], coefs[i]) << "position " << i;
  EXPECT_EQ(BitsConsumed(r), bits.Count);
  return bits.Count;
}

// Random blocks; then the largest magnitude in every position (the deepest groups open two
// passes above their top bit: the worst case for the pass count); no coefficients is 4 bits.
TEST(VideoEncoderCoefficients, BlocksReadBackExactly) {
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    int16_t coefs[64] = {};
    const uint32_t density = uint32_t(rng()) % 64;
    const int32_t largest = round % 10 == 0 ? EncoderMaxCoefficient : 1 + int32_t(rng() % 200);
    for (uint32_t i = 1; i < 64; ++i) {
      const int32_t v = 1 + int32_t(uint32_t(rng()) % uint32_t(largest));
      if (uint32_t(rng()) % 64 < density) coefs[i] = int16_t(rng() % 2 ? v : -v);
    }
    ExpectCoefficientsRoundTrip(coefs);
  }
  for (uint32_t i = 1; i < 64; ++i) {
    int16_t coefs[64] = {};
    coefs[i] = int16_t(i % 2 ? EncoderMaxCoefficient : -EncoderMaxCoefficient);
    ExpectCoefficientsRoundTrip(coefs);
  }
  const int16_t none[64] = {};
  EXPECT_EQ(ExpectCoefficientsRoundTrip(none), 4u);
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

// Zero, -128, 64 changes (accepted); 192 changes, or 127 at transmission index 8 whose group
// opens two passes above its top bit (refused).
TEST(VideoEncoderResidue, AcceptsExactlyWhatTheStreamCanCarry) {
  const struct {
    int8_t Value;
    uint32_t From, To;
    int Written;
  } cases[] = {{0, 0, 0, 1}, {-128, 0, 1, 1}, {3, 0, 32, 1}, {7, 0, 64, 0}, {127, 4, 5, 0}};
  for (auto c : cases) {
    int8_t residue[64] = {};
    for (uint32_t i = c.From; i < c.To; ++i) residue[i] = c.Value;
    EXPECT_EQ(ResidueRoundTrip(residue), c.Written)
        << int(c.Value) << " at " << c.From << ".." << c.To;
  }
}

}  // namespace
