// Every SIMD pixel kernel against its scalar reference through the checkasm harness: random
// planes, every surface type the kernel serves, both dither phases, odd and even starts, spans
// of any length, and the bytes around each output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixels/convert.h"
#include "tests/pixels/checkasm_pixels.h"

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
