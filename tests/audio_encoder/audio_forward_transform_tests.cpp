// The encoder's forward transforms: against their definitions, and undone by the decoder's
// inverse ones.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "encoder/audio_forward_transform.h"

namespace {

struct Tables {
  AudioTransformWork Work{};
  std::vector<float> Table;
  explicit Tables(uint32_t n) : Table(AudioInverseDctTableFloats(n)) {}
};

std::vector<float> RandomSignal(uint32_t n) {
  std::mt19937 rng(n);
  std::uniform_real_distribution<float> value(-32768.0f, 32767.0f);
  std::vector<float> x(n);
  for (float& v : x) v = value(rng);
  return x;
}

double Norm(const std::vector<float>& x) {
  double energy = 0;
  for (float v : x) energy += static_cast<double>(v) * v;
  return std::sqrt(energy);
}

// Single-precision rounding over log2(n) butterfly levels, relative to the input's size.
double Bound(const std::vector<float>& x) {
  return 8.0 * std::ldexp(1.0, -24) * std::log2(static_cast<double>(x.size())) * Norm(x);
}

TEST(AudioForwardTransform, RealDftMatchesDefinition) {
  for (uint32_t n = 4; n <= 4096; n *= 2) {
    const std::vector<float> x = RandomSignal(n);
    std::vector<float> a = x;
    Tables t(n);
    ASSERT_EQ(ForwardRealDft(n, a.data(), &t.Work, t.Table.data()), 1);
    double worst = 0, nyquist = 0;
    for (uint32_t j = 0; j < n; ++j) nyquist += (j % 2 == 0 ? 1.0 : -1.0) * x[j];
    worst = std::fabs(nyquist - a[1]);
    for (uint32_t k = 0; k < n / 2; ++k) {
      double re = 0, im = 0;
      for (uint32_t j = 0; j < n; ++j) {
        const double angle = 2 * M_PI * static_cast<double>((j * k) % n) / n;
        re += x[j] * std::cos(angle);
        im += x[j] * std::sin(angle);
      }
      worst = std::max(worst, std::fabs(re - a[2 * k]));
      if (k > 0) worst = std::max(worst, std::fabs(im - a[2 * k + 1]));
    }
    EXPECT_LE(worst, Bound(x)) << "n = " << n;
  }
}

TEST(AudioForwardTransform, DctMatchesDefinition) {
  for (uint32_t n = 4; n <= 2048; n *= 2) {
    const std::vector<float> x = RandomSignal(n);
    std::vector<float> a = x;
    Tables t(n);
    ASSERT_EQ(ForwardDct(n, a.data(), &t.Work, t.Table.data()), 1);
    double worst = 0;
    for (uint32_t k = 0; k < n; ++k) {
      double sum = 0;
      for (uint32_t j = 0; j < n; ++j) sum += x[j] * std::cos(M_PI * (j + 0.5) * k / n);
      worst = std::max(worst, std::fabs(sum - a[k]));
    }
    EXPECT_LE(worst, Bound(x)) << "n = " << n;
  }
}

TEST(AudioForwardTransform, InverseTransformsUndoThem) {
  for (uint32_t n = 4; n <= 4096; n *= 2) {
    const std::vector<float> x = RandomSignal(n);
    Tables t(n);
    std::vector<float> real = x, dct = x;
    ForwardRealDft(n, real.data(), &t.Work, t.Table.data());
    AudioInverseRealDft(n, real.data(), &t.Work, t.Table.data());
    Tables u(n);
    ForwardDct(n, dct.data(), &u.Work, u.Table.data());
    dct[0] *= 0.5f;
    AudioInverseDct(n, dct.data(), &u.Work, u.Table.data());
    // Both passes round; the spectrum in between is sqrt(n/2) times the size of x.
    const double half = n / 2.0, tolerance = 2 * Bound(x) / std::sqrt(half);
    for (uint32_t j = 0; j < n; ++j) {
      ASSERT_NEAR(real[j] / half, x[j], tolerance) << "n = " << n << ", " << j;
      ASSERT_NEAR(dct[j] / half, x[j], tolerance) << "n = " << n << ", " << j;
    }
  }
}

TEST(AudioForwardTransform, RefusesBadLengths) {
  Tables t(16);
  std::vector<float> a(16, 3.0f);
  EXPECT_EQ(ForwardRealDft(12, a.data(), &t.Work, t.Table.data()), 0);
  EXPECT_EQ(ForwardDct(2, a.data(), &t.Work, t.Table.data()), 0);
  EXPECT_EQ(a, std::vector<float>(16, 3.0f));
}

}  // namespace
