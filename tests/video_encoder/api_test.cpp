// The encoder's interface: refused configurations and pictures, what the frames carry for each
// plane set, and the trade of size for fidelity.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "encoder/video_encoder.h"
#include "tests/video_encoder/synthetic_video.h"

namespace {

TEST(VideoEncoderApi, RefusesConfigurationsItCannotEncode) {
  const VideoEncoderConfig refused[] = {{'e', 64, 48},
                                        {'i', 0, 48},
                                        {'i', 64, 0},
                                        {'i', 32768, 8},
                                        {'i', 64, 48, 0, 101},
                                        {'i', 64, 48, 0x1},
                                        {'i', 64, 48, 0, 75, 250, 10}};
  for (const VideoEncoderConfig& c : refused) {
    SCOPED_TRACE(testing::Message()
                 << c.Version << " " << c.Width << "x" << c.Height << " flags " << c.Flags);
    VideoEncoder e;
    EXPECT_EQ(VideoEncoderInit(&e, &c), 0);
    EXPECT_FALSE(e.Error.empty());
    VideoEncodedFrame frame;
    SyntheticPicture p;
    SyntheticMakePicture(&p, 16, 16, 0, 1);
    EXPECT_EQ(VideoEncodeFrame(&e, &p.Picture, &frame), 0);  // nor does it encode afterwards
  }
  VideoEncoder e;
  EXPECT_EQ(VideoEncoderInit(&e, nullptr), 0);
  const VideoEncoderConfig widest = {'i', 32767, 8};
  EXPECT_EQ(VideoEncoderInit(&e, &widest), 1);
}

// A refused picture changes nothing: the next frame is still the first, a key frame.
TEST(VideoEncoderApi, RefusesMissingPlanesAndShortPitches) {
  const VideoEncoderConfig c = {'i', 40, 24, VideoEncoderAlpha};
  VideoEncoder e;
  ASSERT_EQ(VideoEncoderInit(&e, &c), 1);
  SyntheticPicture p;
  SyntheticMakePicture(&p, 40, 24, 0, 1);
  VideoEncodedFrame frame;
  VideoEncoderPicture noAlpha = p.Picture, shortPitch = p.Picture;
  noAlpha.Planes[VideoEncoderPlaneA] = nullptr;
  shortPitch.Pitches[VideoEncoderPlaneU] = 19;  // chroma is 20 wide
  const VideoEncoderPicture* refused[] = {&noAlpha, &shortPitch, nullptr};
  for (const VideoEncoderPicture* bad : refused) {
    EXPECT_EQ(VideoEncodeFrame(&e, bad, &frame), 0);
    EXPECT_FALSE(e.Error.empty());
  }
  EXPECT_EQ(VideoEncodeFrame(&e, &p.Picture, nullptr), 0);
  ASSERT_EQ(VideoEncodeFrame(&e, &p.Picture, &frame), 1);
  EXPECT_TRUE(frame.IsKey);
}

// A grey-scale movie needs no chroma input and writes none; alpha comes first with its length.
TEST(VideoEncoderApi, PlaneSetsOfTheMovieFlags) {
  SyntheticPicture p;
  SyntheticMakePicture(&p, 48, 32, 0, 1);
  const VideoEncoderConfig c = {'i', 48, 32, VideoEncoderGrayscale | VideoEncoderAlpha};
  VideoEncoder e;
  ASSERT_EQ(VideoEncoderInit(&e, &c), 1);
  VideoEncoderPicture picture = p.Picture;
  picture.Planes[VideoEncoderPlaneU] = picture.Planes[VideoEncoderPlaneV] = nullptr;
  VideoEncodedFrame frame;
  ASSERT_EQ(VideoEncodeFrame(&e, &picture, &frame), 1);
  EXPECT_EQ(frame.PlaneBytes[VideoEncoderPlaneU] + frame.PlaneBytes[VideoEncoderPlaneV], 0u);
  const uint32_t alpha = frame.PlaneBytes[VideoEncoderPlaneA],
                 luma = frame.PlaneBytes[VideoEncoderPlaneY];
  ASSERT_EQ(frame.Data.size(), 4 + alpha + 4 + luma);
  EXPECT_EQ(frame.Data[0] | frame.Data[1] << 8, int(alpha + 4));
  EXPECT_EQ(frame.Data[4 + alpha] | frame.Data[5 + alpha] << 8, int(luma + 4));
  uint32_t w, h, pitch;
  EXPECT_EQ(VideoEncoderReconstruction(&e, VideoEncoderPlaneU, &w, &h, &pitch), nullptr);
  EXPECT_NE(VideoEncoderReconstruction(&e, VideoEncoderPlaneA, &w, &h, &pitch), nullptr);
  EXPECT_EQ(VideoEncoderVideoFlags(&c), VideoEncoderGrayscale | VideoEncoderAlpha);
}

// Mean bytes and luma PSNR of three frames of the moving sequence at a quality; the second
// encode repeats the last picture.
TEST(VideoEncoderApi, HigherQualityCostsBytesAndGainsFidelity) {
  double bytes[3] = {}, psnr[3] = {};
  const uint32_t qualities[3] = {20, 60, 95};
  for (uint32_t q = 0; q < 3; ++q) {
    const VideoEncoderConfig c = {'i', 96, 64, 0, qualities[q]};
    VideoEncoder e;
    VideoEncoderInit(&e, &c);
    SyntheticPicture p;
    VideoEncodedFrame frame;
    size_t first = 0;
    for (uint32_t f = 0; f < 3; ++f) {
      SyntheticMakePicture(&p, 96, 64, f, 2);
      VideoEncodeFrame(&e, &p.Picture, &frame);
      first = first ? first : frame.Data.size();
      bytes[q] += double(frame.Data.size());
      psnr[q] += frame.Psnr[VideoEncoderPlaneY] / 3;
    }
    // An unchanged picture costs almost nothing beside a key frame (a small one at quality 20)
    // and loses nothing.
    VideoEncodedFrame again;
    VideoEncodeFrame(&e, &p.Picture, &again);
    EXPECT_LT(again.Data.size() * (q ? 10 : 3), first) << qualities[q];
    EXPECT_GE(again.Psnr[0], frame.Psnr[0] - 0.5) << qualities[q];
  }
  EXPECT_LT(bytes[0], bytes[1]);
  EXPECT_LT(bytes[1], bytes[2]);
  EXPECT_LT(psnr[0], psnr[1]);
  EXPECT_LT(psnr[1], psnr[2]);
  EXPECT_GT(psnr[0], 25.0);
  EXPECT_GT(psnr[2], 45.0);
}

// Flat pictures are exact at any quality; before 'i' a colour of 0 cannot be written, the
// nearest, 1, is shown instead.
TEST(VideoEncoderApi, FlatPictureIsExact) {
  std::vector<uint8_t> y(50 * 30, 90), u(25 * 15, 0), v(25 * 15, 255);
  for (char version : {'h', 'i'}) {
    const VideoEncoderConfig c = {version, 50, 30, 0, 10};
    VideoEncoder e;
    VideoEncoderInit(&e, &c);
    const VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr}, {50, 25, 25, 0}};
    VideoEncodedFrame frame;
    VideoEncodeFrame(&e, &picture, &frame);
    EXPECT_TRUE(std::isinf(frame.Psnr[VideoEncoderPlaneY]));
    EXPECT_TRUE(std::isinf(frame.Psnr[VideoEncoderPlaneV]));
    if (version == 'i') {
      EXPECT_TRUE(std::isinf(frame.Psnr[VideoEncoderPlaneU]));
    }
    if (version == 'h') {
      EXPECT_NEAR(frame.Psnr[VideoEncoderPlaneU], 48.13, 0.01);
    }
    EXPECT_LT(frame.Data.size(), 200u);
  }
}

}  // namespace
