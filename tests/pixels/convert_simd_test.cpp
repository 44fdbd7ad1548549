// Every SIMD pixel kernel against its scalar reference through the checkasm harness: random
// planes, every surface type the kernel serves, both dither phases, odd and even starts, spans
// of any length, and the bytes around each output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pixels/convert.h"
#include "tests/pixels/checkasm_pixels.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t kTrials = 4000;

std::vector<CheckasmCandidate> Candidates() {
  std::vector<CheckasmCandidate> all(CheckasmPixelsCandidates(nullptr, 0));
  CheckasmPixelsCandidates(all.data(), uint32_t(all.size()));
  return all;
}

TEST(PixelSimd, EveryKernelMatchesTheScalarReference) {
  const std::vector<CheckasmCandidate> all = Candidates();
  if (PixelKernelsSse2() == nullptr) GTEST_SKIP() << "no SSE2 kernels on this processor";
  // SSE2: nine row converters and five post-steps; AVX2: five colour converters and Pack24.
  ASSERT_EQ(all.size(), PixelKernelsAvx2() != nullptr ? 20u : 14u);
  for (const CheckasmCandidate& c : all) {
    for (uint64_t seed : {1u, 2u}) {
      char why[400] = "";
      EXPECT_TRUE(CheckasmVerify(&c, kTrials, seed, why, sizeof why))
          << c.Kind->Name << " " << c.Version << ": " << why;
    }
  }
}

// The colour arithmetic of every (Y, U, V) triple: one row per chroma pair with luma 0..255,
// through the 32-bit layouts, a dithered 16-bit layout with alpha and the palette index, in both
// dither phases.
TEST(PixelSimd, EveryYuvTripleConvertsAsInTheReference) {
  std::vector<const PixelKernels*> tables;
  for (const PixelKernels* t : {PixelKernelsSse2(), PixelKernelsAvx2()}) {
    if (t != nullptr) tables.push_back(t);
  }
  if (tables.empty()) GTEST_SKIP() << "no SIMD kernels on this processor";
  std::vector<uint8_t> luma(256), alpha(256), u(128), v(128), expected(1024), got(1024);
  for (uint32_t i = 0; i < 256; ++i) luma[i] = uint8_t(i), alpha[i] = uint8_t(255 - i);
  for (uint32_t type : {uint32_t(SurfaceBGRX32), uint32_t(SurfaceRGBA32), uint32_t(Surface4444),
                        uint32_t(Surface565), uint32_t(SurfaceP8)}) {
    PixelSelection ref;
    ASSERT_EQ(PixelSelect(type, 1, PixelKernelsScalar(), &ref), 1);
    for (uint32_t chroma = 0; chroma < 65536; ++chroma) {
      std::fill(u.begin(), u.end(), uint8_t(chroma));
      std::fill(v.begin(), v.end(), uint8_t(chroma >> 8));
      const uint32_t phase = chroma & 1;
      PixelSpan span{luma.data(), u.data(), v.data(), alpha.data(), expected.data(), 256, 0, phase};
      ref.Row(&span, &ref.K);
      for (const PixelKernels* t : tables) {
        PixelSelection fast;
        PixelSelect(type, 1, t, &fast);
        span.Dest = got.data();
        fast.Row(&span, &fast.K);
        ASSERT_EQ(expected, got) << t->Name << " type " << type << " U " << (chroma & 255)
                                 << " V " << (chroma >> 8);
      }
    }
  }
}

TEST(PixelSimd, HarnessSeesADifferenceOfOneByte) {
  // A candidate that differs from the reference must be reported, or the test above proves
  // nothing: the YUY2 converter posing as UYVY differs in every byte.
  const std::vector<CheckasmCandidate> all = Candidates();
  if (all.empty()) GTEST_SKIP() << "no SSE2 kernels on this processor";
  CheckasmCandidate wrong = all[0];
  for (const CheckasmCandidate& c : all) {
    if (std::string(c.Kind->Name) == "PixelUyvy") wrong = c;
  }
  wrong.Function = reinterpret_cast<CheckasmFunction>(PixelKernelsScalar()->Yuy2);
  char why[400] = "";
  EXPECT_FALSE(CheckasmVerify(&wrong, 50, 1, why, sizeof why));
  EXPECT_NE(std::string(why), "");
}

TEST(PixelKernelChoice, BestIsSimdWhereAvailable) {
  const PixelKernels* best = PixelKernelsBest();
  ASSERT_NE(best, nullptr);
  const PixelKernels* expected = PixelKernelsAvx2() != nullptr   ? PixelKernelsAvx2()
                                 : PixelKernelsSse2() != nullptr ? PixelKernelsSse2()
                                                                 : PixelKernelsScalar();
  EXPECT_EQ(best, expected);
}

}  // namespace
