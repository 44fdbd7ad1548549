// The scalar transform references, which the checkasm harness holds every SIMD version to, and
// the harness's own negative test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/checkasm/checkasm.h"
#include "video/idct.h"
#include "video/kernels.h"
#include "video/quant.h"

namespace {

TEST(VideoKernels, TheHarnessCatchesAWriteBesideTheBlock) {
  const VideoFillFn wide = [](uint8_t* dst, uint32_t pitch, uint8_t value) {
    VideoFill8x8Reference(dst, pitch, value);
    dst[8] = value;
  };
  std::vector<CheckasmCandidate> all(CheckasmVideoCandidates(nullptr, 0));
  CheckasmVideoCandidates(all.data(), uint32_t(all.size()));
  CheckasmCandidate c = {"video", nullptr, "wide",
                         reinterpret_cast<CheckasmFunction>(&VideoFill8x8Reference),
                         reinterpret_cast<CheckasmFunction>(wide), 1};
  for (const CheckasmCandidate& a : all) {
    if (std::string(a.Kind->Name) == "Fill8x8") c.Kind = a.Kind;
  }
  ASSERT_NE(c.Kind, nullptr);
  char why[400] = "";
  EXPECT_FALSE(CheckasmVerify(&c, 10, 1, why, sizeof why));
  EXPECT_NE(std::string(why).find("column 24"), std::string::npos) << why;
}

// A DC-only block is flat: (((dc * m) >> 11) + 127) >> 8, stored modulo 256.
TEST(VideoIdct, DcOnlyBlocksAreFlatRoundedAndWrapped) {
  const uint32_t *intra0 = VideoQuantIntra[0], *intra1 = VideoQuantIntra[1];
  const struct {
    int16_t Dc;
    const uint32_t* Quant;
    uint8_t Pixel;
  } cases[] = {{1024, intra0, 128}, {2047, intra0, 0}, {-1024, intra0, 128}, {-1, intra0, 0},
               {8, intra0, 1}, {1016, intra0, 127}, {12, VideoQuantIntra[2], 2}, {-8, intra1, 255},
               {16, VideoQuantInter[0], 2}, {-2043, VideoQuantInter[1], 171}};
  for (auto c : cases) {
    int16_t coefs[64] = {c.Dc};
    uint8_t block[64];
    VideoIdctPutReference(block, 8, coefs, c.Quant);
    EXPECT_EQ(std::vector<uint8_t>(block, block + 64), std::vector<uint8_t>(64, c.Pixel)) << c.Dc;
  }
}

// Put and doubled store the transform's low bytes and nothing beside. Add in place, one row below
// its source, reads each source row before writing it, so DC-only blocks accumulate down.
TEST(VideoIdct, OutputKernelsStoreLowBytesAndAddInPlace) {
  const int16_t coefs[64] = {300, 40, -7, 0, 0, 0, 0, 0, 90, 0, 0, 0, 0, 0, 0, 0, -3};
  const uint32_t* quant = VideoQuantInter[3];
  int32_t v[64];
  VideoIdctReference(coefs, quant, v);
  uint8_t put[8 * 12], doubled[16 * 20], plane[9 * 8];
  std::memset(put, 0xEE, sizeof put);
  std::memset(doubled, 0xEE, sizeof doubled);
  std::memset(plane, 250, sizeof plane);
  VideoIdctPutReference(put, 12, coefs, quant);
  VideoIdctPutDoubledReference(doubled, 20, coefs, quant);
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 20; ++c) {
      ASSERT_EQ(doubled[r * 20 + c], c < 16 ? uint8_t(v[r / 2 * 8 + c / 2]) : 0xEE) << r << c;
      ASSERT_TRUE(r >= 8 || c >= 12 || put[r * 12 + c] == (c < 8 ? uint8_t(v[r * 8 + c]) : 0xEE));
    }
  }
  const int16_t dc[64] = {8};  // every result 1
  VideoIdctAddReference(plane + 8, 8, dc, VideoQuantInter[0], plane, 8);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(plane[8 + r * 8 + 7], uint8_t(251 + r)) << r;
}

}  // namespace
