// The bit reader, the 29-bit float fields and the run-length coefficient reader.
#include <gtest/gtest.h>

#include <vector>

#include "audio/audio_block.h"
#include "audio/audio_tables.h"
#include "tests/audio/audio_test_util.h"

namespace {

TEST(AudioBitReader, FieldsComeLeastSignificantBitFirstAcrossWords) {
  const std::vector<uint8_t> bytes = {0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89};
  AudioBitReader r;
  AudioBitReaderInit(&r, bytes.data(), bytes.data() + bytes.size());
  uint32_t v;
  ASSERT_TRUE(AudioReadBits(&r, 4, &v));
  EXPECT_EQ(v, 0x8u);
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 4u);
  ASSERT_TRUE(AudioReadBits(&r, 24, &v));
  EXPECT_EQ(v, 0x234567u);
  ASSERT_TRUE(AudioReadBits(&r, 8, &v));  // four bits from each word
  EXPECT_EQ(v, 0xF1u);
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 8u);
  ASSERT_TRUE(AudioReadBits(&r, 28, &v));
  EXPECT_EQ(v, 0x89ABCDEu);
  EXPECT_FALSE(AudioReadBits(&r, 1, &v));
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 8u);
}

// A word is fetched only when the bits in hand run out.
TEST(AudioBitReader, FetchesNoWordBeforeItIsNeeded) {
  const std::vector<uint8_t> bytes(8, 0xFF);
  AudioBitReader r;
  AudioBitReaderInit(&r, bytes.data(), bytes.data() + bytes.size());
  uint32_t v;
  for (int i = 0; i < 32; ++i) ASSERT_TRUE(AudioReadBits(&r, 1, &v));
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 4u);
  ASSERT_TRUE(AudioReadBits(&r, 1, &v));
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 8u);
}

// A word that starts before the end is read up to the end, the rest counting as zero bits;
// once a field fails, the reader stays failed even for fields the bits in hand could serve.
TEST(AudioBitReader, PartialLastWordAndStickyFailure) {
  const std::vector<uint8_t> bytes = {0xFF, 0xFF, 0xAA, 0xAA};
  AudioBitReader r;
  AudioBitReaderInit(&r, bytes.data(), bytes.data() + 2);
  uint32_t v;
  ASSERT_TRUE(AudioReadBits(&r, 20, &v));
  EXPECT_EQ(v, 0xFFFFu);
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 4u);
  EXPECT_FALSE(AudioReadBits(&r, 13, &v));
  EXPECT_FALSE(AudioReadBits(&r, 1, &v));

  AudioBitReaderInit(&r, bytes.data(), bytes.data());
  EXPECT_FALSE(AudioReadBits(&r, 1, &v));
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 0u);
}

float ReadFloat(uint32_t mantissa, uint32_t exponent, bool negative) {
  TestBitWriter w;
  w.PutFloat(mantissa, exponent, negative);
  const std::vector<uint8_t> bytes = w.Finish();
  AudioBitReader r;
  AudioBitReaderInit(&r, bytes.data(), bytes.data() + bytes.size());
  float value = 0;
  EXPECT_TRUE(AudioReadFloatField(&r, &value));
  return value;
}

TEST(AudioFloatField, PowerOfTwoExponents) {
  EXPECT_EQ(ReadFloat(1, 0, false), 0x1p-23f);
  EXPECT_EQ(ReadFloat(0x7FFFFF, 23, false), 8388607.0f);
  EXPECT_EQ(ReadFloat(3, 22, true), -1.5f);
  EXPECT_EQ(ReadFloat(0, 23, true), 0.0f);
}

// Exponents 24..31 scale by the first eight quantiser steps, not by powers of two.
TEST(AudioFloatField, HighExponentsTakeQuantiserSteps) {
  const float steps[8] = {1.0f,       1.1651987f, 1.3576881f, 1.5819764f,
                          1.8433169f, 2.1478305f, 2.5026493f, 2.9160838f};
  for (uint32_t e = 24; e < 32; ++e) {
    EXPECT_EQ(ReadFloat(1000, e, false), 1000.0f * steps[e - 24]) << e;
    EXPECT_EQ(ReadFloat(1000, e, true), -1000.0f * steps[e - 24]) << e;
  }
}

TEST(AudioTables, QuantiserSteps) {
  EXPECT_EQ(QuantiserTable[0], 1.0f);
  EXPECT_EQ(QuantiserTable[1], 1.1651987f);
  EXPECT_EQ(QuantiserTable[95], 2032357.0f);
  for (uint32_t i = 0; i < AudioQuantiserCount; ++i) {
    EXPECT_EQ(QuantiserTable[i], static_cast<float>(std::pow(10.0, 0.0664 * i))) << i;
  }
  for (uint32_t e = 0; e < 24; ++e) EXPECT_EQ(ExponentScaleTable[e], std::ldexp(1.0f, int(e) - 23));
  for (uint32_t e = 24; e < 32; ++e) EXPECT_EQ(ExponentScaleTable[e], QuantiserTable[e - 24]);
}

// Coefficient reading over a small spectrum: n = 64, bands starting at coefficients 2, 10, 24
// and 40 (edges 1, 5, 12, 20; 32 = n/2 closes the last band).
struct CoefficientCase {
  static constexpr uint32_t N = 64;
  const uint32_t Edges[5] = {1, 5, 12, 20, 32};
  const float Quantisers[4] = {1.0f, 10.0f, 100.0f, 1000.0f};
  std::vector<float> Coefficients = std::vector<float>(N, 0.0f);

  int Read(const std::vector<uint8_t>& bytes) {
    AudioBitReader r;
    AudioBitReaderInit(&r, bytes.data(), bytes.data() + bytes.size());
    return AudioReadCoefficients(Coefficients.data(), N, &r, Quantisers, Edges, 4);
  }
};

// Values of width 3 through the whole spectrum: each takes its own band's quantiser.
TEST(AudioCoefficients, EachBandUsesItsQuantiser) {
  TestBitWriter w;
  for (uint32_t k = 2; k < CoefficientCase::N;) {
    w.PutShortRun(3);
    for (uint32_t i = 0; i < 8 && k < CoefficientCase::N; ++i, ++k) {
      w.PutValue((k % 2 == 0 ? 1 : -1) * static_cast<int32_t>(k % 8), 3);
    }
  }
  CoefficientCase c;
  ASSERT_TRUE(c.Read(w.Finish()));
  for (uint32_t k = 2; k < CoefficientCase::N; ++k) {
    const float step = k < 10 ? 1.0f : k < 24 ? 10.0f : k < 40 ? 100.0f : 1000.0f;
    const float magnitude = static_cast<float>(k % 8) * step;
    EXPECT_EQ(c.Coefficients[k], k % 2 == 0 ? magnitude : -magnitude) << k;
  }
}

// A run whose end passes n is cut there: the reader stops at n, though more bits follow.
TEST(AudioCoefficients, RunIsCutAtLength) {
  TestBitWriter w;
  w.PutLongRun(15, 0);  // 512 coefficients of nothing from 2: cut at 64
  w.Put(0xFFFFFFFF, 32);
  const std::vector<uint8_t> bytes = w.Finish();
  CoefficientCase c;
  AudioBitReader r;
  AudioBitReaderInit(&r, bytes.data(), bytes.data() + bytes.size());
  ASSERT_TRUE(AudioReadCoefficients(c.Coefficients.data(), CoefficientCase::N, &r, c.Quantisers,
                                    c.Edges, 4));
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 4u);
  EXPECT_EQ(r.Count, 32u - 9u);

  TestBitWriter values;
  for (int i = 0; i < 7; ++i) values.PutShortRun(0);  // 2..57
  values.PutShortRun(1);                               // 58..65, cut: six values
  for (int i = 0; i < 6; ++i) values.PutValue(1, 1);
  values.Put(0xFFFFFFFF, 32);
  const std::vector<uint8_t> valueBytes = values.Finish();
  CoefficientCase d;
  AudioBitReaderInit(&r, valueBytes.data(), valueBytes.data() + valueBytes.size());
  ASSERT_TRUE(AudioReadCoefficients(d.Coefficients.data(), CoefficientCase::N, &r, d.Quantisers,
                                    d.Edges, 4));
  EXPECT_EQ(AudioBitReaderUsedBytes(&r), 8u);
  EXPECT_EQ(r.Count, 64u - 52u);
  for (uint32_t k = 0; k < CoefficientCase::N; ++k) {
    EXPECT_EQ(d.Coefficients[k], k >= 58 ? 1000.0f : 0.0f) << k;
  }
}

// An empty run that crosses several band edges leaves the last crossed band in force.
TEST(AudioCoefficients, EmptyRunWalksThroughBands) {
  TestBitWriter w;
  w.PutLongRun(3, 0);  // 40 coefficients, 2..41: crosses edges at 10, 24 and 40
  w.PutShortRun(2);    // 42..49 in the last band
  for (int i = 0; i < 8; ++i) w.PutValue(i % 2 == 0 ? 3 : -1, 2);
  w.PutShortRun(0);
  w.PutShortRun(0);  // up to 65, cut at 64
  CoefficientCase c;
  ASSERT_TRUE(c.Read(w.Finish()));
  for (uint32_t k = 0; k < 42; ++k) EXPECT_EQ(c.Coefficients[k], 0.0f) << k;
  for (uint32_t k = 42; k < 50; ++k) {
    EXPECT_EQ(c.Coefficients[k], k % 2 == 0 ? 3000.0f : -1000.0f) << k;
  }
}

// An empty run that ends exactly on an edge does not cross it: the next value switches there.
TEST(AudioCoefficients, EmptyRunEndingOnAnEdge) {
  TestBitWriter w;
  w.PutShortRun(0);  // 2..9; band 1 starts at 10
  w.PutShortRun(4);  // 10..17
  for (int i = 0; i < 8; ++i) w.PutValue(5, 4);
  TestPutSilence(&w, 18, CoefficientCase::N);
  CoefficientCase c;
  ASSERT_TRUE(c.Read(w.Finish()));
  for (uint32_t k = 10; k < 18; ++k) EXPECT_EQ(c.Coefficients[k], 50.0f) << k;
}

TEST(AudioCoefficients, ZeroMagnitudeHasNoSignBit) {
  TestBitWriter w;
  w.PutShortRun(1);
  for (int i = 0; i < 8; ++i) w.PutValue(i % 3 == 0 ? 1 : 0, 1);
  TestPutSilence(&w, 10, CoefficientCase::N);
  CoefficientCase c;
  ASSERT_TRUE(c.Read(w.Finish()));
  for (uint32_t k = 2; k < 10; ++k) EXPECT_EQ(c.Coefficients[k], (k - 2) % 3 == 0 ? 1.0f : 0.0f);
}

// Input that ends inside a run: what was read stays, the rest keeps the caller's zeros.
TEST(AudioCoefficients, InputEndingEarlyFails) {
  TestBitWriter w;
  w.PutShortRun(15);
  for (int i = 0; i < 4; ++i) w.PutValue(1000 + i, 15);
  std::vector<uint8_t> bytes = w.Finish();
  bytes.resize(4);  // holds the header and the first value
  CoefficientCase c;
  EXPECT_FALSE(c.Read(bytes));
  EXPECT_EQ(c.Coefficients[2], 1000.0f);
  EXPECT_EQ(c.Coefficients[3], 0.0f);
}

}  // namespace
