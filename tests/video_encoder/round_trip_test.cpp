// Whole frames through the encoder and back through the decoder: the decoder's planes must equal
// the encoder's reconstruction byte for byte, for every block type, size, version and plane set.
#include <gtest/gtest.h>

#include <vector>

#include "tests/video_encoder/video_encoder_test_support.h"

namespace {

constexpr int32_t kReferenceTypes[] = {VideoBlockSkip, VideoBlockMotion, VideoBlockResidue,
                                       VideoBlockInter};

struct RoundTripCase {
  uint32_t Width, Height;
  char Version;
  uint32_t Flags = 0, Quality = 75, KeyInterval = 250, Frames = 3;
  int32_t OnlyType = -1, OnlySubType = -1;
};

// Encodes the moving test sequence, checking each round trip and that a frame flagged key uses
// no reference block; returns the frames.
std::vector<VideoEncodedFrame> RoundTrips(const RoundTripCase& c) {
  VideoEncoderConfig config;
  config.Width = c.Width;
  config.Height = c.Height;
  config.Version = c.Version;
  config.Flags = c.Flags;
  config.Quality = c.Quality;
  config.KeyInterval = c.KeyInterval;
  config.OnlyBlockType = c.OnlyType;
  config.OnlySubType = c.OnlySubType;
  EncoderRoundTrip rt;
  EncoderRoundTripInit(&rt, config);
  SyntheticPicture picture;
  std::vector<VideoEncodedFrame> frames(c.Frames);
  for (uint32_t f = 0; f < c.Frames; ++f) {
    SyntheticMakePicture(&picture, c.Width, c.Height, f, 1);
    EXPECT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frames[f]), "") << "frame " << f;
    for (int32_t type : kReferenceTypes) {
      if (frames[f].IsKey) {
        EXPECT_EQ(frames[f].BlockTypes[type], 0u) << "frame " << f;
      }
    }
  }
  return frames;
}

TEST(VideoEncoderRoundTrip, VersionsSizesPlaneSetsAndQualities) {
  const RoundTripCase cases[] = {{96, 64, 'f', 0, 75, 250, 4},
                                 {96, 64, 'g', 0, 75, 250, 4},
                                 {96, 64, 'h', 0, 75, 250, 4},
                                 {96, 64, 'i', 0, 75, 250, 4},
                                 {1, 1, 'i'},
                                 {7, 9, 'i'},
                                 {17, 33, 'i'},
                                 {33, 17, 'i'},
                                 {100, 60, 'i'},
                                 {130, 26, 'i'},
                                 {72, 40, 'h', VideoEncoderAlpha},
                                 {72, 40, 'i', VideoEncoderGrayscale},
                                 {72, 40, 'h', VideoEncoderAlpha | VideoEncoderGrayscale},
                                 {80, 48, 'i', 0, 0},
                                 {80, 48, 'i', 0, 100},
                                 {160, 96, 'i', 0, 60, 250, 10}};
  for (const RoundTripCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " " << c.Version << " flags "
                                    << c.Flags << " quality " << c.Quality);
    RoundTrips(c);
  }
}

// Each type on its own: the frames after the key frame use it and nothing else (scaled areas
// fill only where they fit); each scaled sub-type on its own in a picture with a last column and
// a last band that cannot scale.
TEST(VideoEncoderRoundTrip, EveryBlockTypeAndScaledSubTypeForcedOnItsOwn) {
  for (int32_t type = 0; type <= 9; ++type) {
    for (char version : {'h', 'i'}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " version " << version);
      const std::vector<VideoEncodedFrame> frames =
          RoundTrips({64, 48, version, 0, 75, 250, 3, type});
      EXPECT_GT(frames[1].BlockTypes[type] + frames[2].BlockTypes[type], 0u);
      uint32_t all = 0;
      for (uint32_t t = 0; t < 10; ++t) all += frames[2].BlockTypes[t];
      if (type != VideoBlockScaled) {
        EXPECT_EQ(frames[2].BlockTypes[type], all);
      }
    }
  }
  for (int32_t sub : {3, 5, 6, 8, 9}) {
    SCOPED_TRACE(testing::Message() << "sub-type " << sub);
    const std::vector<VideoEncodedFrame> frames =
        RoundTrips({72, 56, 'i', 0, 75, 250, 3, VideoBlockScaled, sub});
    EXPECT_GT(frames[0].ScaledSubTypes[sub], 0u);
    EXPECT_EQ(frames[0].BlockTypes[VideoBlockScaled], frames[0].ScaledSubTypes[sub]);
  }
}

TEST(VideoEncoderRoundTrip, KeyFramesFollowTheIntervalAndDecodeOverAnyPreviousFrame) {
  const std::vector<VideoEncodedFrame> frames = RoundTrips({40, 24, 'i', 0, 75, 3, 7});
  uint32_t reference = 0;
  for (uint32_t f = 0; f < frames.size(); ++f) {
    EXPECT_EQ(frames[f].IsKey, f % 3 == 0) << f;
    for (int32_t type : kReferenceTypes) reference += frames[f].BlockTypes[type];
    if (!frames[f].IsKey) continue;
    TestPlanes fresh, black;
    for (TestPlanes* p : {&fresh, &black}) TestAllocatePlanes(p, 40, 24, 2, false);
    for (int plane = 0; plane < 3; ++plane) TestFillPlane(&fresh, 0, plane, 77);
    TestDecodeFrame(&fresh, frames[f].Data, 0, 0);
    TestDecodeFrame(&black, frames[f].Data, 0, 0);
    EXPECT_EQ(fresh.Buffers[1][PlaneY], black.Buffers[1][PlaneY]) << f;
  }
  EXPECT_GT(reference, 0u);
}

// Noise at the finest quality makes raw blocks (64 colours each); a luma row of 525 blocks has
// room for only 32767 / 64 = 511 of them in one refill, so some blocks must choose otherwise.
TEST(VideoEncoderRoundTrip, VeryWideRowsStayWithinOneRefill) {
  const uint32_t w = 4200, h = 16;
  EncoderRoundTrip rt;
  EncoderRoundTripInit(&rt, {'i', w, h, 0, 100});
  std::vector<uint8_t> planes[3];
  uint32_t seed = 1;
  for (uint32_t i = 0; i < 3; ++i) {
    planes[i].resize(i ? size_t(w / 2) * (h / 2) : size_t(w) * h);
    for (uint8_t& v : planes[i]) v = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  }
  const VideoEncoderPicture picture = {
      {planes[0].data(), planes[1].data(), planes[2].data(), nullptr}, {w, w / 2, w / 2, 0}};
  VideoEncodedFrame frame;
  EXPECT_EQ(EncoderRoundTripFrame(&rt, &picture, &frame), "");
  EXPECT_GT(frame.BlockTypes[VideoBlockRaw], 1000u);
  EXPECT_LE(frame.BlockTypes[VideoBlockRaw], 2 * 511u + 2 * 263u);
}

// Random sizes, versions, plane sets, qualities, forced types and pictures (the moving sequence,
// noise and flat stripes mixed): every frame must still round-trip.
TEST(VideoEncoderRoundTrip, RandomConfigurationsAndPictures) {
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) { return ((seed = seed * 1664525u + 1013904223u) >> 8) % n; };
  for (int round = 0; round < 150; ++round) {
    VideoEncoderConfig c = {char('f' + next(4)), 1 + next(70), 1 + next(50)};
    c.Flags = (next(2) ? VideoEncoderAlpha : 0) | (next(4) == 0 ? VideoEncoderGrayscale : 0);
    c.Quality = next(101);
    c.KeyInterval = next(3);
    c.OnlyBlockType = next(3) == 0 ? int32_t(next(10)) : -1;
    c.OnlySubType = c.OnlyBlockType == VideoBlockScaled ? int32_t(next(10)) : -1;
    SCOPED_TRACE(testing::Message()
                 << "round " << round << ": " << c.Width << "x" << c.Height << " " << c.Version
                 << " flags " << c.Flags << " quality " << c.Quality << " type " << c.OnlyBlockType
                 << "/" << c.OnlySubType);
    EncoderRoundTrip rt;
    EncoderRoundTripInit(&rt, c);
    SyntheticPicture picture;
    for (uint32_t f = 0; f < 3; ++f) {
      SyntheticMakePicture(&picture, c.Width, c.Height, f * next(5), next(9));
      for (std::vector<uint8_t>& plane : picture.Planes) {
        const uint32_t style = next(3);  // keep, noise, or flat stripes
        for (size_t i = 0; i < plane.size() && style; ++i) {
          plane[i] = style == 1 ? uint8_t(next(256)) : uint8_t((i / 5) % 2 ? 255 : 0);
        }
      }
      VideoEncodedFrame frame;
      ASSERT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frame), "") << "frame " << f;
    }
  }
}

}  // namespace
