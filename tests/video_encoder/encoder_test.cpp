// The video encoder as a whole: what it refuses, the trade of size for fidelity, and frames the
// decoder turns into exactly the encoder's reconstruction.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/video/video_test_support.h"
#include "tests/video_encoder/synthetic_video.h"
#include "vexa/movie.h"

namespace {

TEST(VideoEncoderApi, RefusesConfigurationsAndPicturesItCannotEncode) {
  const VideoEncoderConfig refused[] = {{'e', 64, 48},   {'i', 0, 48},       {'i', 64, 0},
                                        {'i', 32768, 8}, {'i', 64, 48, 0x1}, {'i', 64, 48, 0, 101},
                                        {'i', 64, 48, 0, 75, 250, 10},
                                        {'i', 64, 48, 0, 75, 250, -1, -1, 8000, 0},
                                        {'i', 64, 48, 0, 75, 250, -1, -1, 0, 25, 1, 65}};
  SyntheticPicture p;
  SyntheticMakePicture(&p, 40, 24, 0, 1);
  VideoEncodedFrame frame;
  for (const VideoEncoderConfig& c : refused) {
    VideoEncoder e;
    EXPECT_TRUE(!VideoEncoderInit(&e, &c) && !e.Error.empty()) << c.Version << " " << c.Width;
    EXPECT_EQ(VideoEncodeFrame(&e, &p.Picture, &frame), 0);  // nor does it encode afterwards
  }
  VideoEncoder e, widest;
  const VideoEncoderConfig widestConfig = {'i', 32767, 8}, c = {'i', 40, 24, VideoEncoderAlpha};
  EXPECT_TRUE(!VideoEncoderInit(&e, nullptr) && VideoEncoderInit(&widest, &widestConfig));
  // A refused picture changes nothing: the next frame is still the first, a key frame.
  ASSERT_EQ(VideoEncoderInit(&e, &c), 1);
  VideoEncoderPicture noAlpha = p.Picture, shortPitch = p.Picture;
  noAlpha.Planes[VideoEncoderPlaneA] = nullptr;
  shortPitch.Pitches[VideoEncoderPlaneU] = 19;  // chroma is 20 wide
  for (const VideoEncoderPicture* bad : {&noAlpha, &shortPitch, (VideoEncoderPicture*)nullptr})
    EXPECT_EQ(VideoEncodeFrame(&e, bad, &frame), 0);
  EXPECT_EQ(VideoEncodeFrame(&e, &p.Picture, nullptr), 0);
  EXPECT_TRUE(VideoEncodeFrame(&e, &p.Picture, &frame) && frame.IsKey);
}

// Three frames of the moving sequence at a low and a high quality, then the last picture again:
// that costs almost nothing beside a key frame (a small one at quality 20) and loses nothing.
TEST(VideoEncoderApi, HigherQualityCostsBytesAndGainsFidelity) {
  double bytes[2] = {}, psnr[2] = {};
  for (uint32_t q = 0; q < 2; ++q) {
    const VideoEncoderConfig c = {'i', 96, 64, 0, q ? 95u : 20u};
    VideoEncoder e;
    SyntheticPicture p;
    VideoEncodedFrame frames[4];
    ASSERT_EQ(VideoEncoderInit(&e, &c), 1);
    for (uint32_t f = 0; f < 4; ++f) {
      SyntheticMakePicture(&p, 96, 64, std::min(f, 2u), 2);
      ASSERT_EQ(VideoEncodeFrame(&e, &p.Picture, &frames[f]), 1);
      bytes[q] += f < 3 ? double(frames[f].Data.size()) : 0;
      psnr[q] += f < 3 ? frames[f].Psnr[VideoEncoderPlaneY] / 3 : 0;
    }
    EXPECT_LT(frames[3].Data.size() * (q ? 10 : 3), frames[0].Data.size()) << c.Quality;
    EXPECT_GE(frames[3].Psnr[0], frames[2].Psnr[0] - 0.5) << c.Quality;
  }
  EXPECT_TRUE(bytes[0] < bytes[1] && 25 < psnr[0] && psnr[0] < psnr[1] && psnr[1] > 45);
}

struct RoundTrip {
  VideoEncoder Encoder;
  TestPlanes Decoded;
};

void RoundTripInit(RoundTrip* rt, const VideoEncoderConfig& c) {
  ASSERT_TRUE(VideoEncoderInit(&rt->Encoder, &c)) << rt->Encoder.Error;
  TestAllocatePlanes(&rt->Decoded, c.Width, c.Height, 2, c.Flags & VideoEncoderAlpha);
}

// Encodes (without chroma in grey scale) and decodes with the flags a movie open makes; empty
// when every plane the decoder wrote equals the encoder's reconstruction, else where they differ.
std::string RoundTripFrame(RoundTrip* rt, VideoEncoderPicture picture, VideoEncodedFrame* frame) {
  const VideoEncoderConfig& c = rt->Encoder.Config;
  const bool gray = c.Flags & VideoEncoderGrayscale, swapped = c.Version == 'f' || c.Version == 'g';
  if (gray) picture.Planes[1] = picture.Planes[2] = nullptr;
  if (!VideoEncodeFrame(&rt->Encoder, &picture, frame)) return "refused: " + rt->Encoder.Error;
  const uint32_t flags = (c.Version != 'i' ? MovieFlagPreI : 0) | (swapped ? MovieFlagSwapUV : 0) |
                         (c.Flags & VideoEncoderAlpha ? OpenAlpha : 0) | (gray ? OpenGrayscale : 0);
  TestDecodeFrame(&rt->Decoded, frame->Data, flags, VideoEncoderVideoFlags(&c));
  const int decoded[4] = {PlaneY, swapped ? PlaneChroma1 : PlaneChroma2,
                          swapped ? PlaneChroma2 : PlaneChroma1, PlaneA};
  for (uint32_t plane = 0; plane < VideoEncoderPlaneCount; ++plane) {
    uint32_t w, h, pitch;
    const uint8_t* recon = VideoEncoderReconstruction(&rt->Encoder, plane, &w, &h, &pitch);
    const VideoPlane& got = rt->Decoded.Planes.Sets[rt->Decoded.Planes.Current][decoded[plane]];
    for (uint32_t y = 0; recon && y < h; ++y) {
      if (std::memcmp(recon + size_t(y) * pitch, got.Pixels + size_t(y) * got.Pitch, w) != 0)
        return "plane " + std::to_string(plane) + " differs in row " + std::to_string(y);
    }
  }
  return "";
}

uint32_t Next(uint32_t* seed, uint32_t n) {
  return ((*seed = *seed * 1664525u + 1013904223u) >> 8) % n;
}

// Round trips with key frames where the interval asks, none using a reference block. With a seed
// the frames are picked at random and each plane kept, made noise or made flat stripes.
std::vector<VideoEncodedFrame> RoundTrips(const VideoEncoderConfig& c, uint32_t count = 3,
                                          uint32_t* seed = nullptr) {
  SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " " << c.Version << " flags "
                                  << c.Flags << " quality " << c.Quality << " key " << c.KeyInterval
                                  << " type " << c.OnlyBlockType << "/" << c.OnlySubType);
  RoundTrip rt;
  RoundTripInit(&rt, c);
  SyntheticPicture p;
  std::vector<VideoEncodedFrame> frames(count);
  for (uint32_t f = 0; f < count; ++f) {
    const uint32_t at = seed ? f * Next(seed, 5) : f;
    SyntheticMakePicture(&p, c.Width, c.Height, at, seed ? Next(seed, 9) : 1);
    for (std::vector<uint8_t>& plane : p.Planes) {
      const uint32_t style = seed ? Next(seed, 3) : 0;
      for (size_t i = 0; i < plane.size() && style; ++i)
        plane[i] = style == 1 ? uint8_t(Next(seed, 256)) : uint8_t((i / 5) % 2 ? 255 : 0);
    }
    EXPECT_EQ(RoundTripFrame(&rt, p.Picture, &frames[f]), "") << "frame " << f;
    const uint32_t* types = frames[f].BlockTypes;
    const uint32_t references = types[VideoBlockSkip] + types[VideoBlockMotion] +
                                types[VideoBlockResidue] + types[VideoBlockInter];
    EXPECT_TRUE(!frames[f].IsKey || references == 0) << "frame " << f;
    EXPECT_TRUE(frames[f].IsKey || (f && !(c.KeyInterval && f % c.KeyInterval == 0))) << f;
  }
  return frames;
}

// Fixed cases, then random sizes, versions, flags, qualities, key intervals, types and pictures.
TEST(VideoEncoderRoundTrip, FixedAndRandomConfigurations) {
  const VideoEncoderConfig fixed[] = {
      {'i', 1, 1}, {'i', 130, 26, 0, 0}, {'g', 96, 64, VideoEncoderAlpha, 100},
      {'h', 72, 40, VideoEncoderAlpha | VideoEncoderGrayscale}, {'f', 160, 96, 0, 60, 3}};
  for (const VideoEncoderConfig& c : fixed) RoundTrips(c, 7);
  uint32_t seed = 12345;
  for (int round = 0; round < 150; ++round) {
    VideoEncoderConfig c = {char('f' + Next(&seed, 4)), 1 + Next(&seed, 70), 1 + Next(&seed, 50)};
    c.Flags = Next(&seed, 2) ? VideoEncoderAlpha : 0;
    c.Flags |= Next(&seed, 4) ? 0 : VideoEncoderGrayscale;
    c.Quality = Next(&seed, 101);
    c.KeyInterval = Next(&seed, 3);
    c.OnlyBlockType = Next(&seed, 3) == 0 ? int32_t(Next(&seed, 10)) : -1;
    c.OnlySubType = c.OnlyBlockType == VideoBlockScaled ? int32_t(Next(&seed, 10)) : -1;
    c.Threads = 1 + Next(&seed, 3);
    RoundTrips(c, 3, &seed);
  }
}

// Each type forced: the frames after the key frame use it and nothing else (scaled areas only fit
// in places); each scaled sub-type forced, with a last column and band that cannot scale.
TEST(VideoEncoderRoundTrip, EveryBlockTypeAndScaledSubTypeForcedOnItsOwn) {
  for (int32_t type = 0; type <= 9; ++type) {
    for (char version : {'h', 'i'}) {
      const auto frames = RoundTrips({version, 64, 48, 0, 75, 250, type});
      uint32_t all = 0;
      for (uint32_t t = 0; t < 10; ++t) all += frames[2].BlockTypes[t];
      EXPECT_GT(frames[1].BlockTypes[type] + frames[2].BlockTypes[type], 0u) << type;
      EXPECT_TRUE(type == VideoBlockScaled || frames[2].BlockTypes[type] == all) << type;
    }
  }
  for (int32_t sub : {3, 5, 6, 8, 9}) {
    const VideoEncodedFrame key = RoundTrips({'i', 72, 56, 0, 75, 250, VideoBlockScaled, sub})[0];
    EXPECT_GT(key.ScaledSubTypes[sub], 0u) << sub;
    EXPECT_EQ(key.BlockTypes[VideoBlockScaled], key.ScaledSubTypes[sub]) << sub;
  }
}

// Rate control over two seconds of the moving sequence: the movie lands within 5 % of each bit
// rate, no frame passes twice the average, and every frame still decodes to the reconstruction.
TEST(VideoEncoderRoundTrip, BitRateIsKeptWithoutOversizedFrames) {
  for (uint32_t kbits : {30u, 45u, 60u}) {
    VideoEncoderConfig c = {'i', 128, 80};
    c.BitRate = kbits * 1000;
    c.FrameRate = 30;
    RoundTrip rt;
    RoundTripInit(&rt, c);
    SyntheticPicture p;
    VideoEncodedFrame frame;
    const uint32_t count = 60;
    const double average = kbits * 1000.0 / 30 / 8;
    double bytes = 0;
    for (uint32_t f = 0; f < count; ++f) {
      SyntheticMakePicture(&p, c.Width, c.Height, f < 30 ? f : 200 + f, f < 30 ? 3 : 4);  // a cut
      ASSERT_EQ(RoundTripFrame(&rt, p.Picture, &frame), "") << kbits << " frame " << f;
      EXPECT_LE(frame.Data.size(), 2 * average) << kbits << " frame " << f;
      bytes += double(frame.Data.size());
    }
    EXPECT_NEAR(bytes / count / average, 1.0, 0.05) << kbits;
  }
}

// Bands are decided on several threads at once; the movie is the same for any number of them.
TEST(VideoEncoderRoundTrip, SameMovieOnAnyNumberOfThreads) {
  std::vector<uint8_t> movies[3];
  for (uint32_t threads = 1; threads <= 3; ++threads) {
    VideoEncoderConfig c = {'i', 200, 120, VideoEncoderAlpha, 50};
    c.Threads = threads;
    for (const VideoEncodedFrame& f : RoundTrips(c, 5))
      movies[threads - 1].insert(movies[threads - 1].end(), f.Data.begin(), f.Data.end());
  }
  EXPECT_EQ(movies[0], movies[1]);
  EXPECT_EQ(movies[0], movies[2]);
}

// Noise at the finest quality makes raw blocks (64 colours each); a luma row of 525 blocks has
// room for only 32767 / 64 = 511 of them in one refill, so some blocks must choose otherwise.
TEST(VideoEncoderRoundTrip, VeryWideRowsStayWithinOneRefill) {
  RoundTrip rt;
  RoundTripInit(&rt, {'i', 4200, 16, 0, 100});
  SyntheticPicture p;
  SyntheticMakePicture(&p, 4200, 16, 0, 1);
  uint32_t seed = 1;
  for (std::vector<uint8_t>& plane : p.Planes)
    for (uint8_t& v : plane) v = uint8_t(Next(&seed, 256));
  VideoEncodedFrame frame;
  EXPECT_EQ(RoundTripFrame(&rt, p.Picture, &frame), "");
  EXPECT_GT(frame.BlockTypes[VideoBlockRaw], 1000u);
  EXPECT_LE(frame.BlockTypes[VideoBlockRaw], 2 * 511u + 2 * 263u);
}

}  // namespace
