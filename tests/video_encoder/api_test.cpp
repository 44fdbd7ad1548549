// The encoder's interface: refused configurations and pictures, key flags, what the frames carry
// for each plane set, and the trade of size for fidelity.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "encoder/video_encoder.h"
#include "tests/video_encoder/synthetic_video.h"

namespace {

VideoEncoderConfig Config(uint32_t w, uint32_t h) {
  VideoEncoderConfig c;
  c.Width = w;
  c.Height = h;
  return c;
}

void ExpectRefused(const VideoEncoderConfig& c) {
  VideoEncoder e;
  EXPECT_EQ(VideoEncoderInit(&e, &c), 0);
  EXPECT_FALSE(e.Error.empty());
}

TEST(VideoEncoderApi, RefusesConfigurationsItCannotEncode) {
  VideoEncoderConfig c = Config(64, 48);
  c.Version = 'e';
  ExpectRefused(c);
  ExpectRefused(Config(0, 48));
  ExpectRefused(Config(64, 0));
  ExpectRefused(Config(32768, 8));
  c = Config(64, 48);
  c.Quality = 101;
  ExpectRefused(c);
  c = Config(64, 48);
  c.Flags = 0x1;
  ExpectRefused(c);
  c = Config(64, 48);
  c.OnlyBlockType = 10;
  ExpectRefused(c);
  VideoEncoder e;
  const VideoEncoderConfig widest = Config(32767, 8);
  EXPECT_EQ(VideoEncoderInit(&e, &widest), 1);
  VideoEncoderFree(&e);
}

TEST(VideoEncoderApi, RefusesFramesWithoutAWorkingEncoder) {
  SyntheticPicture p;
  SyntheticMakePicture(&p, 16, 16, 0, 1);
  VideoEncodedFrame frame;
  VideoEncoder fresh;  // never set up
  EXPECT_EQ(VideoEncodeFrame(&fresh, &p.Picture, &frame), 0);
  EXPECT_FALSE(fresh.Error.empty());
  VideoEncoderConfig c = Config(16, 16);
  c.Version = 'j';
  VideoEncoder refused;
  ASSERT_EQ(VideoEncoderInit(&refused, &c), 0);
  EXPECT_EQ(VideoEncodeFrame(&refused, &p.Picture, &frame), 0);
  uint32_t w, h, pitch;
  EXPECT_EQ(VideoEncoderReconstruction(&refused, VideoEncoderPlaneY, &w, &h, &pitch), nullptr);
  EXPECT_EQ(VideoEncoderInit(&refused, nullptr), 0);
  VideoEncoder e;
  const VideoEncoderConfig small = Config(16, 16);
  ASSERT_EQ(VideoEncoderInit(&e, &small), 1);
  EXPECT_EQ(VideoEncodeFrame(&e, nullptr, &frame), 0);
  EXPECT_EQ(VideoEncodeFrame(&e, &p.Picture, nullptr), 0);
  VideoEncoderFree(&e);
}

TEST(VideoEncoderApi, RefusesMissingPlanesAndShortPitches) {
  VideoEncoderConfig c = Config(40, 24);
  c.Flags = VideoEncoderAlpha;
  VideoEncoder e;
  ASSERT_EQ(VideoEncoderInit(&e, &c), 1);
  SyntheticPicture p;
  SyntheticMakePicture(&p, 40, 24, 0, 1);
  VideoEncodedFrame frame;
  VideoEncoderPicture picture = p.Picture;
  picture.Planes[VideoEncoderPlaneA] = nullptr;
  EXPECT_EQ(VideoEncodeFrame(&e, &picture, &frame), 0);
  EXPECT_FALSE(e.Error.empty());
  picture = p.Picture;
  picture.Pitches[VideoEncoderPlaneU] = 19;  // chroma is 20 wide
  EXPECT_EQ(VideoEncodeFrame(&e, &picture, &frame), 0);
  // A refused picture changes nothing: the next frame is still the first, a key frame.
  ASSERT_EQ(VideoEncodeFrame(&e, &p.Picture, &frame), 1);
  EXPECT_TRUE(frame.IsKey);
  VideoEncoderFree(&e);
}

// A grey-scale movie needs no chroma input and writes none; alpha comes first with its length.
TEST(VideoEncoderApi, PlaneSetsOfTheMovieFlags) {
  SyntheticPicture p;
  SyntheticMakePicture(&p, 48, 32, 0, 1);
  VideoEncoderConfig c = Config(48, 32);
  c.Flags = VideoEncoderGrayscale | VideoEncoderAlpha;
  VideoEncoder e;
  ASSERT_EQ(VideoEncoderInit(&e, &c), 1);
  VideoEncoderPicture picture = p.Picture;
  picture.Planes[VideoEncoderPlaneU] = picture.Planes[VideoEncoderPlaneV] = nullptr;
  VideoEncodedFrame frame;
  ASSERT_EQ(VideoEncodeFrame(&e, &picture, &frame), 1);
  EXPECT_EQ(frame.PlaneBytes[VideoEncoderPlaneU], 0u);
  EXPECT_EQ(frame.PlaneBytes[VideoEncoderPlaneV], 0u);
  EXPECT_EQ(frame.Psnr[VideoEncoderPlaneU], 0.0);
  const uint32_t alpha = frame.PlaneBytes[VideoEncoderPlaneA];
  const uint32_t luma = frame.PlaneBytes[VideoEncoderPlaneY];
  ASSERT_EQ(frame.Data.size(), 4 + alpha + 4 + luma);
  EXPECT_EQ(frame.Data[0] | frame.Data[1] << 8, int(alpha + 4));
  EXPECT_EQ(frame.Data[4 + alpha] | frame.Data[5 + alpha] << 8, int(luma + 4));
  uint32_t w, h, pitch;
  EXPECT_EQ(VideoEncoderReconstruction(&e, VideoEncoderPlaneU, &w, &h, &pitch), nullptr);
  EXPECT_NE(VideoEncoderReconstruction(&e, VideoEncoderPlaneA, &w, &h, &pitch), nullptr);
  EXPECT_EQ(VideoEncoderVideoFlags(&c), VideoEncoderGrayscale | VideoEncoderAlpha);
  VideoEncoderFree(&e);
}

struct Encoded {
  double Bytes = 0, Psnr[3] = {};
};

Encoded EncodeSequence(uint32_t quality, uint32_t frames) {
  VideoEncoderConfig c = Config(96, 64);
  c.Quality = quality;
  VideoEncoder e;
  VideoEncoderInit(&e, &c);
  SyntheticPicture p;
  Encoded out;
  for (uint32_t f = 0; f < frames; ++f) {
    SyntheticMakePicture(&p, 96, 64, f, 2);
    VideoEncodedFrame frame;
    VideoEncodeFrame(&e, &p.Picture, &frame);
    out.Bytes += double(frame.Data.size());
    for (uint32_t i = 0; i < 3; ++i) out.Psnr[i] += frame.Psnr[i] / frames;
  }
  VideoEncoderFree(&e);
  return out;
}

TEST(VideoEncoderApi, HigherQualityCostsBytesAndGainsFidelity) {
  const Encoded low = EncodeSequence(20, 3), mid = EncodeSequence(60, 3),
                high = EncodeSequence(95, 3);
  EXPECT_LT(low.Bytes, mid.Bytes);
  EXPECT_LT(mid.Bytes, high.Bytes);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_LT(low.Psnr[i], mid.Psnr[i]) << i;
    EXPECT_LT(mid.Psnr[i], high.Psnr[i]) << i;
  }
  EXPECT_GT(low.Psnr[0], 25.0);
  EXPECT_GT(high.Psnr[0], 45.0);
}

// A picture that does not change costs almost nothing after the key frame.
TEST(VideoEncoderApi, UnchangedPicturesAreSkipped) {
  VideoEncoderConfig c = Config(128, 96);
  VideoEncoder e;
  VideoEncoderInit(&e, &c);
  SyntheticPicture p;
  SyntheticMakePicture(&p, 128, 96, 0, 1);
  VideoEncodedFrame first, second;
  VideoEncodeFrame(&e, &p.Picture, &first);
  VideoEncodeFrame(&e, &p.Picture, &second);
  EXPECT_LT(second.Data.size() * 10, first.Data.size());
  EXPECT_GT(second.BlockTypes[VideoBlockSkip], 0u);
  EXPECT_GE(second.Psnr[0], first.Psnr[0] - 0.5);
  VideoEncoderFree(&e);
}

// Flat pictures are exact at any quality: fills cost little and show the colour exactly.
TEST(VideoEncoderApi, FlatPictureIsExact) {
  std::vector<uint8_t> y(50 * 30, 90), u(25 * 15, 0), v(25 * 15, 255);
  for (char version : {'h', 'i'}) {
    VideoEncoderConfig c = Config(50, 30);
    c.Version = version;
    c.Quality = 10;
    VideoEncoder e;
    VideoEncoderInit(&e, &c);
    const VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr}, {50, 25, 25, 0}};
    VideoEncodedFrame frame;
    VideoEncodeFrame(&e, &picture, &frame);
    EXPECT_TRUE(std::isinf(frame.Psnr[VideoEncoderPlaneY]));
    EXPECT_TRUE(std::isinf(frame.Psnr[VideoEncoderPlaneV]));
    // Before 'i' a colour of 0 cannot be written: the nearest, 1, is shown instead.
    if (version == 'i') {
      EXPECT_TRUE(std::isinf(frame.Psnr[VideoEncoderPlaneU]));
    } else {
      EXPECT_NEAR(frame.Psnr[VideoEncoderPlaneU], 48.13, 0.01);
    }
    EXPECT_LT(frame.Data.size(), 200u);
    VideoEncoderFree(&e);
  }
}

}  // namespace
