// The inverse transforms against double-precision evaluations of their definitions, and the
// tables they are built on.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "audio/audio_transform.h"
#include "tests/audio/audio_test_util.h"

namespace {

struct TransformState {
  AudioTransformWork Work{};
  std::vector<float> Table;
  explicit TransformState(uint32_t n) : Table(InverseDctTableFloats(n)) {}
};

std::vector<float> RandomCoefficients(uint32_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  std::vector<float> a(n);
  for (float& x : a) x = value(rng);
  return a;
}

// What single-precision rounding allows: a few units of 2^-24 per butterfly level, relative to
// the size of the input.
double RoundingBound(const std::vector<float>& a) {
  double energy = 0;
  for (float x : a) energy += static_cast<double>(x) * x;
  const double levels = std::log2(static_cast<double>(a.size()));
  return 8.0 * std::ldexp(1.0, -24) * levels * std::sqrt(energy);
}

double MaxError(const std::vector<float>& got, const std::vector<double>& want) {
  double worst = 0;
  for (size_t k = 0; k < got.size(); ++k) worst = std::max(worst, std::fabs(got[k] - want[k]));
  return worst;
}

// Every power of two from 4 up to the longest length the decoder uses.
std::vector<uint32_t> TransformLengths() {
  std::vector<uint32_t> lengths;
  for (uint32_t n = 4; n <= 4096; n *= 2) lengths.push_back(n);
  return lengths;
}

TEST(AudioTransform, InverseRealDftMatchesDefinitionForEveryLength) {
  for (uint32_t n : TransformLengths()) {
    const std::vector<float> a = RandomCoefficients(n, n);
    std::vector<float> x = a;
    TransformState state(n);
    ASSERT_EQ(InverseRealDft(n, x.data(), &state.Work, state.Table.data()), 1);
    EXPECT_LE(MaxError(x, TestReferenceInverseRealDft(a)), RoundingBound(a)) << "n = " << n;
  }
}

TEST(AudioTransform, InverseDctMatchesDefinitionForEveryLength) {
  for (uint32_t n : TransformLengths()) {
    const std::vector<float> a = RandomCoefficients(n, n + 1);
    std::vector<float> y = a;
    TransformState state(n);
    ASSERT_EQ(InverseDct(n, y.data(), &state.Work, state.Table.data()), 1);
    EXPECT_LE(MaxError(y, TestReferenceInverseDct(a)), RoundingBound(a)) << "n = " << n;
  }
}

// A decoder keeps the tables of its longest length; shorter transforms use their tail levels.
TEST(AudioTransform, TablesBuiltForALongerLengthServeShorterOnes) {
  TransformState real(4096), dct(4096);
  std::vector<float> warm(4096, 0.0f);
  InverseRealDft(4096, warm.data(), &real.Work, real.Table.data());
  InverseDct(4096, warm.data(), &dct.Work, dct.Table.data());
  for (uint32_t n = 4; n <= 2048; n *= 2) {
    const std::vector<float> a = RandomCoefficients(n, 3 * n);
    std::vector<float> x = a, y = a;
    InverseRealDft(n, x.data(), &real.Work, real.Table.data());
    InverseDct(n, y.data(), &dct.Work, dct.Table.data());
    EXPECT_EQ(real.Work.TwiddleCount, 1024u);
    EXPECT_EQ(dct.Work.CosineCount, 4096u);
    EXPECT_LE(MaxError(x, TestReferenceInverseRealDft(a)), RoundingBound(a)) << "n = " << n;
    EXPECT_LE(MaxError(y, TestReferenceInverseDct(a)), RoundingBound(a)) << "n = " << n;
  }
}

TEST(AudioTransform, ConstantAndNyquistInputs) {
  for (uint32_t n : {4u, 512u, 4096u}) {
    TransformState state(n);
    std::vector<float> dc(n, 0.0f);
    dc[0] = 1.0f;
    std::vector<float> dct = dc;
    InverseDct(n, dct.data(), &state.Work, state.Table.data());
    for (float y : dct) ASSERT_EQ(y, 1.0f) << "n = " << n;

    TransformState realState(n);
    std::vector<float> real = dc;
    InverseRealDft(n, real.data(), &realState.Work, realState.Table.data());
    for (float x : real) ASSERT_EQ(x, 0.5f) << "n = " << n;

    std::vector<float> nyquist(n, 0.0f);
    nyquist[1] = 1.0f;
    InverseRealDft(n, nyquist.data(), &realState.Work, realState.Table.data());
    for (uint32_t k = 0; k < n; ++k) ASSERT_EQ(nyquist[k], k % 2 == 0 ? 0.5f : -0.5f) << k;
  }
}

TEST(AudioTransform, RefusesLengthsItCannotDo) {
  TransformState state(8);
  std::vector<float> a(8, 1.0f);
  for (uint32_t n : {0u, 1u, 2u, 6u, 12u, 2 * AudioTransformMaxLength}) {
    EXPECT_EQ(AudioTransformLengthValid(n), 0) << n;
    EXPECT_EQ(InverseRealDft(n, a.data(), &state.Work, state.Table.data()), 0) << n;
    EXPECT_EQ(InverseDct(n, a.data(), &state.Work, state.Table.data()), 0) << n;
  }
  EXPECT_EQ(a, std::vector<float>(8, 1.0f));
  EXPECT_EQ(state.Work.TwiddleCount, 0u);
}

// The forward and backward complex FFTs undo each other up to the factor n/2 (n floats), and
// the forward one puts a single tone in its bin.
TEST(AudioTransform, ComplexFftDirections) {
  for (uint32_t n = 4; n <= 4096; n *= 2) {
    TransformState state(n);
    FftMakeTwiddles(n / 4, &state.Work, state.Table.data());
    const uint32_t points = n / 2, bin = points / 4 + 1 < points ? points / 4 + 1 : 1;
    std::vector<float> tone(n);
    for (uint32_t p = 0; p < points; ++p) {
      const double angle = -2 * M_PI * static_cast<double>((p * bin) % points) / points;
      tone[2 * p] = static_cast<float>(std::cos(angle));
      tone[2 * p + 1] = static_cast<float>(std::sin(angle));
    }
    std::vector<float> spectrum = tone;
    ComplexFftForward(n, spectrum.data(), state.Work.BitReverse, n / 4, state.Table.data());
    for (uint32_t p = 0; p < points; ++p) {
      const double want = p == bin ? points : 0.0;
      ASSERT_NEAR(spectrum[2 * p], want, 1e-5 * points) << "n = " << n << ", bin " << p;
      ASSERT_NEAR(spectrum[2 * p + 1], 0.0, 1e-5 * points) << "n = " << n << ", bin " << p;
    }
    ComplexFftBackward(n, spectrum.data(), state.Work.BitReverse, n / 4, state.Table.data());
    for (uint32_t j = 0; j < n; ++j) {
      ASSERT_NEAR(spectrum[j] / static_cast<float>(points), tone[j], 1e-5) << "n = " << n;
    }
  }
}

// The twiddle table: every level against the angles it stands for.
TEST(AudioTransform, TwiddleTableLevels) {
  const uint32_t nw = 1024;  // the table of a 4096-float transform
  AudioTransformWork work{};
  std::vector<float> w(nw, -9.0f);
  work.CosineCount = 77;
  FftMakeTwiddles(nw, &work, w.data());
  EXPECT_EQ(work.TwiddleCount, nw);
  EXPECT_EQ(work.CosineCount, 1u);  // the cosines must be rebuilt after the twiddles
  for (uint32_t m = 4 * nw; m >= 16; m /= 2) {
    const float* level = w.data() + nw - m / 4;
    const double step = 4 * M_PI / m;
    EXPECT_NEAR(level[0], 1.0, 1e-7) << m;
    EXPECT_NEAR(level[1], std::cos(M_PI / 4), 1e-7) << m;
    if (m >= 32) {
      EXPECT_NEAR(level[2], 0.5 / std::cos(step), 1e-6) << m;
      EXPECT_NEAR(level[3], 0.5 / std::cos(3 * step), 1e-6) << m;
    }
    for (uint32_t t = 1; 4 * t < m / 8; ++t) {
      EXPECT_NEAR(level[4 * t], std::cos(2 * t * step), 2e-7) << m << " " << t;
      EXPECT_NEAR(level[4 * t + 1], std::sin(2 * t * step), 2e-7) << m << " " << t;
      EXPECT_NEAR(level[4 * t + 2], std::cos(6 * t * step), 2e-7) << m << " " << t;
      EXPECT_NEAR(level[4 * t + 3], std::sin(6 * t * step), 2e-7) << m << " " << t;
    }
  }
}

TEST(AudioTransform, CosineTable) {
  const uint32_t nc = 2048;
  AudioTransformWork work{};
  std::vector<float> c(nc);
  FftMakeCosines(nc, &work, c.data());
  EXPECT_EQ(work.CosineCount, nc);
  EXPECT_EQ(c[0], std::cos(0.7853982f));
  EXPECT_EQ(c[nc / 2], 0.5f * c[0]);
  for (uint32_t j = 1; j < nc / 2; ++j) {
    const double angle = M_PI * j / (2 * nc);
    ASSERT_NEAR(c[j], 0.5 * std::cos(angle), 1e-7) << j;
    ASSERT_NEAR(c[nc - j], 0.5 * std::sin(angle), 1e-7) << j;
  }
}

// Tables are rebuilt only for a longer length; a rebuilt twiddle table forces new cosines.
TEST(AudioTransform, TablesRebuiltOnlyWhenTooSmall) {
  TransformState state(2048);
  std::vector<float> a(2048, 0.0f);
  InverseDct(512, a.data(), &state.Work, state.Table.data());
  EXPECT_EQ(state.Work.TwiddleCount, 128u);
  EXPECT_EQ(state.Work.CosineCount, 512u);
  state.Table[5] = 42.0f;  // marks the built table
  InverseDct(512, a.data(), &state.Work, state.Table.data());
  InverseDct(256, a.data(), &state.Work, state.Table.data());
  EXPECT_EQ(state.Table[5], 42.0f);
  InverseDct(2048, a.data(), &state.Work, state.Table.data());
  EXPECT_EQ(state.Work.TwiddleCount, 512u);
  EXPECT_EQ(state.Work.CosineCount, 2048u);
  EXPECT_NE(state.Table[5], 42.0f);
}

}  // namespace
