// The kernel table: a lowered CPU mask installs only the sets it allows, and the checkasm harness
// (which holds every SIMD version to its reference in ctest `checkasm`) catches a wrong version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/checkasm/checkasm.h"
#include "video/kernels.h"

namespace {

TEST(VideoKernels, TheMaskChoosesTheSetsInstalled) {
  VideoKernels k;
  VideoSelectKernels(&k, 0);
  EXPECT_EQ(k.IdctPut, VideoReferenceKernels()->IdctPut);
  EXPECT_EQ(k.Pattern16x16, VideoReferenceKernels()->Pattern16x16);
  uint32_t count;
  const VideoKernelSet* sets = VideoKernelSets(&count);
  for (uint32_t s = 0; s < count; ++s) {
    VideoSelectKernels(&k, sets[s].CpuFlags);
    if (sets[s].Kernels->IdctAdd) {
      EXPECT_EQ(k.IdctAdd, sets[s].Kernels->IdctAdd) << sets[s].Name;
    }
  }
  VideoSelectKernels(&k, PlatformCpuFeatures());
  EXPECT_EQ(VideoGetKernels()->IdctPut, k.IdctPut);
  EXPECT_EQ(VideoGetKernels()->Copy8x8, k.Copy8x8);
}

TEST(VideoKernels, TheHarnessCatchesAWrongVersion) {
  // A fill that writes one byte too many must be reported.
  const VideoFillFn wide = [](uint8_t* dst, uint32_t pitch, uint8_t value) {
    VideoFill8x8Reference(dst, pitch, value);
    dst[8] = value;
  };
  std::vector<CheckasmCandidate> all(CheckasmVideoCandidates(nullptr, 0));
  CheckasmVideoCandidates(all.data(), uint32_t(all.size()));
  ASSERT_FALSE(all.empty());
  CheckasmCandidate c = all.front();
  for (const CheckasmCandidate& candidate : all) {
    if (std::string(candidate.Kind->Name) == "Fill8x8") c = candidate;
  }
  ASSERT_STREQ(c.Kind->Name, "Fill8x8");
  c.Function = reinterpret_cast<CheckasmFunction>(wide);
  c.Reference = reinterpret_cast<CheckasmFunction>(&VideoFill8x8Reference);
  char why[400] = "";
  EXPECT_FALSE(CheckasmVerify(&c, 10, 1, why, sizeof why));
  EXPECT_NE(std::string(why).find("column 24"), std::string::npos) << why;
}

}  // namespace
