// The kernel table: every SIMD version gives its reference's bytes (through the checkasm
// harness), and the table for this CPU is built from proven versions only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/checkasm/checkasm.h"
#include "video/kernels.h"

namespace {

std::vector<CheckasmCandidate> VideoCandidates() {
  std::vector<CheckasmCandidate> all(CheckasmVideoCandidates(nullptr, 0));
  CheckasmVideoCandidates(all.data(), uint32_t(all.size()));
  return all;
}

TEST(VideoKernels, EverySimdVersionMatchesTheReference) {
  uint32_t runnable = 0;
  for (const CheckasmCandidate& c : VideoCandidates()) {
    if (!c.Runnable) continue;
    ++runnable;
    char why[400] = "";
    EXPECT_TRUE(CheckasmVerify(&c, 20000, 7, why, sizeof why))
        << c.Kind->Name << " " << c.Version << ": " << why;
  }
#if VIDEO_HAVE_SSE2
  EXPECT_GE(runnable, 10u);  // every x86-64 CPU runs the SSE2 set
#endif
}

TEST(VideoKernels, TheHarnessCatchesAWrongVersion) {
  // A fill that writes one byte too many must be reported.
  const VideoFillFn wide = [](uint8_t* dst, uint32_t pitch, uint8_t value) {
    VideoFill8x8Reference(dst, pitch, value);
    dst[8] = value;
  };
  CheckasmCandidate c = VideoCandidates().front();
  for (const CheckasmCandidate& candidate : VideoCandidates()) {
    if (std::string(candidate.Kind->Name) == "Fill8x8") c = candidate;
  }
  c.Function = reinterpret_cast<CheckasmFunction>(wide);
  c.Reference = reinterpret_cast<CheckasmFunction>(&VideoFill8x8Reference);
  char why[400] = "";
  EXPECT_FALSE(CheckasmVerify(&c, 10, 1, why, sizeof why));
  EXPECT_NE(std::string(why).find("column 24"), std::string::npos) << why;
}

TEST(VideoKernels, TableInstallsOnlySetsTheCpuSupports) {
  VideoKernels k;
  VideoSelectKernels(&k, 0);
  const VideoKernels* reference = VideoReferenceKernels();
  EXPECT_EQ(k.IdctPut, reference->IdctPut);
  EXPECT_EQ(k.Pattern16x16, reference->Pattern16x16);
  uint32_t count;
  const VideoKernelSet* sets = VideoKernelSets(&count);
  for (uint32_t s = 0; s < count; ++s) {
    VideoSelectKernels(&k, sets[s].CpuFlags);
    if (sets[s].Kernels->IdctAdd) {
      EXPECT_EQ(k.IdctAdd, sets[s].Kernels->IdctAdd) << sets[s].Name;
    }
  }
  // The table in use agrees with a fresh selection for this CPU.
  VideoSelectKernels(&k, PlatformCpuFeatures());
  EXPECT_EQ(VideoGetKernels()->IdctPut, k.IdctPut);
  EXPECT_EQ(VideoGetKernels()->Copy8x8, k.Copy8x8);
}

}  // namespace
