// The SIMD kernels against the scalar reference: random planes, every surface type with and
// without width doubling, both dither phases, odd and even starts, spans around the step sizes.
// Guard bytes around each output catch writes outside the span.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pixels/convert.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t kRowPixels = 300;
constexpr uint32_t kGuard = 32;
constexpr uint8_t kGuardByte = 0xA5;

struct RandomRow {
  std::vector<uint8_t> Y, U, V, A;
  explicit RandomRow(uint32_t seed) {
    std::mt19937 rng(seed);
    for (auto* plane : {&Y, &A}) plane->resize(kRowPixels);
    for (auto* plane : {&U, &V}) plane->resize(kRowPixels / 2 + 1);
    for (auto* plane : {&Y, &A, &U, &V}) {
      for (auto& b : *plane) b = uint8_t(rng());
    }
  }
};

// Output of one kernel call with guard bytes on both sides.
std::vector<uint8_t> RunRow(const PixelSelection& sel, const RandomRow& row, uint32_t start,
                            uint32_t count, uint32_t phase) {
  std::vector<uint8_t> out(2 * kGuard + size_t(count) * sel.RowBytes, kGuardByte);
  PixelSpan s{row.Y.data() + start, row.U.data() + start / 2, row.V.data() + start / 2,
              row.A.data() + start, out.data() + kGuard, count, start & 1, phase};
  sel.Row(&s, &sel.K);
  return out;
}

const uint32_t kStarts[] = {0, 1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 31};
const uint32_t kCounts[] = {0, 1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 23, 24, 25, 33, 64, 129, 255};

class PixelSimd : public ::testing::Test {
 protected:
  void SetUp() override {
    simd_ = PixelKernelsSse2();
    if (simd_ == nullptr) GTEST_SKIP() << "no SSE2 kernels on this processor";
  }
  const PixelKernels* simd_ = nullptr;
};

TEST_F(PixelSimd, RowConvertersMatchScalarForEveryTypeAndMode) {
  const RandomRow row(7);
  for (uint32_t type = 0; type < SurfacePlanar; ++type) {
    for (uint32_t mode : {0u, 3u}) {
      for (int alpha = 0; alpha <= 1; ++alpha) {
        const uint32_t flags = type | (mode << CopyScaleShift);
        PixelSelection ref, fast;
        ASSERT_EQ(PixelSelect(flags, alpha, PixelKernelsScalar(), &ref), 1);
        ASSERT_EQ(PixelSelect(flags, alpha, simd_, &fast), 1);
        for (uint32_t phase = 0; phase < 2; ++phase) {
          for (uint32_t start : kStarts) {
            for (uint32_t count : kCounts) {
              ASSERT_EQ(RunRow(ref, row, start, count, phase),
                        RunRow(fast, row, start, count, phase))
                  << "type " << type << " mode " << mode << " alpha " << alpha << " phase "
                  << phase << " start " << start << " count " << count;
            }
          }
        }
      }
    }
  }
}

TEST_F(PixelSimd, RowConvertersMatchScalarOnManyRandomRows) {
  std::mt19937 rng(99u);
  for (uint32_t seed = 0; seed < 40; ++seed) {
    const RandomRow row(1000 + seed);
    const uint32_t type = uint32_t(rng() % SurfacePlanar);
    PixelSelection ref, fast;
    ASSERT_EQ(PixelSelect(type, 1, PixelKernelsScalar(), &ref), 1);
    ASSERT_EQ(PixelSelect(type, 1, simd_, &fast), 1);
    const uint32_t start = uint32_t(rng() % 40);
    const uint32_t count = uint32_t(rng() % (kRowPixels - start));
    ASSERT_EQ(RunRow(ref, row, start, count, seed & 1), RunRow(fast, row, start, count, seed & 1))
        << "type " << type << " start " << start << " count " << count;
  }
}

TEST_F(PixelSimd, PostStepsMatchScalar) {
  std::mt19937 rng(3);
  std::vector<uint8_t> in(4 * 200);
  for (auto& b : in) b = uint8_t(rng());
  struct Step {
    PixelPostFunc PixelKernels::*Func;
    uint32_t OutBytes;
  };
  const Step steps[] = {{&PixelKernels::Pack24, 3},   {&PixelKernels::Pack24Double, 6},
                        {&PixelKernels::Double32, 8}, {&PixelKernels::Double16, 4},
                        {&PixelKernels::Double8, 2}};
  for (const Step& step : steps) {
    for (uint32_t count = 0; count <= 140; ++count) {
      std::vector<uint8_t> ref(2 * kGuard + count * step.OutBytes, kGuardByte);
      std::vector<uint8_t> fast = ref;
      (PixelKernelsScalar()->*step.Func)(in.data(), count, ref.data() + kGuard);
      (simd_->*step.Func)(in.data(), count, fast.data() + kGuard);
      ASSERT_EQ(ref, fast) << "out bytes " << step.OutBytes << " count " << count;
    }
  }
}

TEST(PixelKernelChoice, BestIsSimdWhereAvailable) {
  const PixelKernels* best = PixelKernelsBest();
  ASSERT_NE(best, nullptr);
  EXPECT_EQ(best, PixelKernelsSse2() != nullptr ? PixelKernelsSse2() : PixelKernelsScalar());
}

}  // namespace
