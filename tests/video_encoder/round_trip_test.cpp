// Whole frames through the encoder and back through the decoder: the decoder's planes must equal
// the encoder's reconstruction byte for byte, for every block type, size, version and plane set.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/video_encoder/video_encoder_test_support.h"

namespace {

VideoEncoderConfig Config(uint32_t w, uint32_t h, char version = 'i') {
  VideoEncoderConfig c;
  c.Width = w;
  c.Height = h;
  c.Version = version;
  return c;
}

// Encodes `frames` frames of the moving test sequence, checking each round trip.
void ExpectRoundTrips(const VideoEncoderConfig& config, uint32_t frames,
                      std::vector<VideoEncodedFrame>* out = nullptr) {
  EncoderRoundTrip rt;
  EncoderRoundTripInit(&rt, config);
  SyntheticPicture picture;
  for (uint32_t f = 0; f < frames; ++f) {
    SyntheticMakePicture(&picture, config.Width, config.Height, f, 1);
    VideoEncodedFrame frame;
    EXPECT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frame), "")
        << "frame " << f << " of " << config.Width << "x" << config.Height << " version "
        << config.Version;
    if (out) out->push_back(frame);
  }
  EncoderRoundTripFree(&rt);
}

TEST(VideoEncoderRoundTrip, MixedContentAllVersions) {
  for (char version : {'f', 'g', 'h', 'i'}) ExpectRoundTrips(Config(96, 64, version), 4);
}

TEST(VideoEncoderRoundTrip, SizesThatAreNotMultiplesOfEightOrSixteen) {
  const uint32_t sizes[][2] = {{1, 1},   {7, 9},   {8, 8},    {17, 33},
                               {24, 40}, {33, 17}, {100, 60}, {130, 26}};
  for (const auto& s : sizes) ExpectRoundTrips(Config(s[0], s[1]), 3);
}

TEST(VideoEncoderRoundTrip, AlphaAndGreyScale) {
  for (char version : {'h', 'i'}) {
    for (uint32_t flags :
         {VideoEncoderAlpha, VideoEncoderGrayscale, VideoEncoderAlpha | VideoEncoderGrayscale}) {
      VideoEncoderConfig c = Config(72, 40, version);
      c.Flags = flags;
      ExpectRoundTrips(c, 3);
    }
  }
}

TEST(VideoEncoderRoundTrip, QualityRange) {
  for (uint32_t quality : {0u, 30u, 60u, 90u, 100u}) {
    VideoEncoderConfig c = Config(80, 48);
    c.Quality = quality;
    ExpectRoundTrips(c, 3);
  }
}

// Each type on its own: the frames after the key frame must use it, and still round-trip.
TEST(VideoEncoderRoundTrip, EveryBlockTypeForcedOnItsOwn) {
  for (int32_t type = 0; type <= 9; ++type) {
    for (char version : {'h', 'i'}) {
      VideoEncoderConfig c = Config(64, 48, version);
      c.OnlyBlockType = type;
      std::vector<VideoEncodedFrame> frames;
      ExpectRoundTrips(c, 3, &frames);
      EXPECT_GT(frames[1].BlockTypes[type] + frames[2].BlockTypes[type], 0u) << "type " << type;
      // Nothing else is used after the key frame (scaled areas fill only where they fit).
      if (type == VideoBlockScaled) continue;
      for (uint32_t f = 1; f < 3; ++f) {
        uint32_t all = 0;
        for (uint32_t t = 0; t < 10; ++t) all += frames[f].BlockTypes[t];
        EXPECT_EQ(frames[f].BlockTypes[type], all) << "type " << type << " frame " << f;
      }
    }
  }
}

TEST(VideoEncoderRoundTrip, EveryScaledSubTypeForcedOnItsOwn) {
  for (int32_t sub : {3, 5, 6, 8, 9}) {
    VideoEncoderConfig c = Config(72, 56);  // a last column and a last band that cannot scale
    c.OnlyBlockType = VideoBlockScaled;
    c.OnlySubType = sub;
    std::vector<VideoEncodedFrame> frames;
    ExpectRoundTrips(c, 3, &frames);
    EXPECT_GT(frames[0].ScaledSubTypes[sub], 0u) << "sub-type " << sub;
    EXPECT_EQ(frames[0].BlockTypes[VideoBlockScaled], frames[0].ScaledSubTypes[sub]);
  }
}

TEST(VideoEncoderRoundTrip, KeyFramesFollowTheIntervalAndUseNoReference) {
  VideoEncoderConfig c = Config(64, 48);
  c.KeyInterval = 3;
  std::vector<VideoEncodedFrame> frames;
  ExpectRoundTrips(c, 7, &frames);
  for (uint32_t f = 0; f < frames.size(); ++f) {
    EXPECT_EQ(frames[f].IsKey, f % 3 == 0) << f;
    if (!frames[f].IsKey) continue;
    for (int32_t type : {VideoBlockSkip, VideoBlockMotion, VideoBlockResidue, VideoBlockInter}) {
      EXPECT_EQ(frames[f].BlockTypes[type], 0u) << "frame " << f << " type " << type;
    }
  }
}

// A scene cut to noise at the finest quality is coded without the previous frame: it is flagged as
// a key frame although the interval did not ask for one.
TEST(VideoEncoderRoundTrip, SceneCutBecomesAKeyFrame) {
  VideoEncoderConfig c = Config(48, 32);
  c.Quality = 100;
  EncoderRoundTrip rt;
  EncoderRoundTripInit(&rt, c);
  SyntheticPicture picture;
  SyntheticMakePicture(&picture, 48, 32, 0, 1);
  VideoEncodedFrame frame;
  ASSERT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frame), "");
  ASSERT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frame), "");
  EXPECT_FALSE(frame.IsKey);  // the same picture again: skipped blocks
  uint32_t seed = 99;
  for (std::vector<uint8_t>& plane : picture.Planes) {
    for (uint8_t& v : plane) v = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  }
  ASSERT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frame), "");
  uint32_t reference = 0;
  for (int32_t type : {VideoBlockSkip, VideoBlockMotion, VideoBlockResidue, VideoBlockInter}) {
    reference += frame.BlockTypes[type];
  }
  EXPECT_EQ(frame.IsKey, reference == 0);
  EXPECT_TRUE(frame.IsKey);
  EncoderRoundTripFree(&rt);
}

// A key frame decodes to the same picture whatever the decoder's previous frame holds.
TEST(VideoEncoderRoundTrip, KeyFrameDecodesOverAnyPreviousFrame) {
  VideoEncoderConfig c = Config(40, 24);
  c.KeyInterval = 2;
  EncoderRoundTrip rt;
  EncoderRoundTripInit(&rt, c);
  SyntheticPicture picture;
  VideoEncodedFrame frame;
  for (uint32_t f = 0; f < 3; ++f) {
    SyntheticMakePicture(&picture, c.Width, c.Height, f, 3);
    ASSERT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frame), "");
  }
  ASSERT_TRUE(frame.IsKey);
  TestPlanes fresh;
  TestAllocatePlanes(&fresh, c.Width, c.Height, 2, false);
  for (int plane = 0; plane < 3; ++plane) TestFillPlane(&fresh, 0, plane, 77);
  TestDecodeFrame(&fresh, frame.Data, rt.FrameFlags, rt.VideoFlags);
  for (uint32_t y = 0; y < fresh.Planes.Height; ++y) {
    for (uint32_t x = 0; x < fresh.Planes.Width; ++x) {
      ASSERT_EQ(TestPixel(&fresh, fresh.Planes.Current, PlaneY, x, y),
                TestPixel(&rt.Decoded, rt.Decoded.Planes.Current, PlaneY, x, y));
    }
  }
  EncoderRoundTripFree(&rt);
}

TEST(VideoEncoderRoundTrip, LongerSequenceWithMotionUsesReferenceTypes) {
  std::vector<VideoEncodedFrame> frames;
  ExpectRoundTrips(Config(160, 96), 10, &frames);
  uint32_t reference = 0;
  for (uint32_t f = 1; f < frames.size(); ++f) {
    reference += frames[f].BlockTypes[VideoBlockSkip] + frames[f].BlockTypes[VideoBlockMotion] +
                 frames[f].BlockTypes[VideoBlockResidue] + frames[f].BlockTypes[VideoBlockInter];
  }
  EXPECT_GT(reference, 0u);
}

// Noise at the finest quality makes raw blocks (64 colours each); a row of 4200 pixels would
// take more colours than one refill's 15-bit count carries, so some blocks must choose otherwise.
TEST(VideoEncoderRoundTrip, VeryWideRowsStayWithinOneRefill) {
  const uint32_t w = 4200, h = 16;
  VideoEncoderConfig c = Config(w, h);
  c.Quality = 100;
  EncoderRoundTrip rt;
  EncoderRoundTripInit(&rt, c);
  std::vector<uint8_t> planes[3];
  uint32_t seed = 1;
  for (uint32_t i = 0; i < 3; ++i) {
    planes[i].resize(i ? size_t(w / 2) * (h / 2) : size_t(w) * h);
    for (uint8_t& v : planes[i]) {
      seed = seed * 1103515245u + 12345u;
      v = uint8_t(seed >> 24);
    }
  }
  const VideoEncoderPicture picture = {
      {planes[0].data(), planes[1].data(), planes[2].data(), nullptr}, {w, w / 2, w / 2, 0}};
  VideoEncodedFrame frame;
  EXPECT_EQ(EncoderRoundTripFrame(&rt, &picture, &frame), "");
  // Raw wins almost everywhere, but a luma row (525 blocks) has room for only 32767 / 64 = 511
  // raw blocks; the chroma rows (263 blocks of 2104 pixels) fit whole.
  EXPECT_GT(frame.BlockTypes[VideoBlockRaw], 1000u);
  EXPECT_LE(frame.BlockTypes[VideoBlockRaw], 2 * 511u + 2 * 263u);
  EncoderRoundTripFree(&rt);
}

// Screen-like content: flat areas, one-pixel lines and two-colour glyphs, moving a little;
// pattern, fill and run blocks win there without being forced.
TEST(VideoEncoderRoundTrip, ScreenContentUsesPatternsFillsAndRuns) {
  const uint32_t w = 96, h = 64;
  EncoderRoundTrip rt;
  EncoderRoundTripInit(&rt, Config(w, h));
  std::vector<uint8_t> y(w * h), u(w / 2 * h / 2, 128), v(w / 2 * h / 2, 128);
  uint32_t used[10] = {};
  for (uint32_t f = 0; f < 3; ++f) {
    for (uint32_t row = 0; row < h; ++row) {
      for (uint32_t col = 0; col < w; ++col) {
        const uint32_t x = col + f;  // scrolls left by one pixel a frame
        uint8_t value = x < 40 ? 30 : 220;
        if (row % 16 == 5 || x % 24 == 3) value = 0;
        if (row >= 40 && ((x * 7 + row * 3) % 11 < 4)) value = 255;  // glyph-like bits
        y[row * w + col] = value;
      }
    }
    const VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr},
                                         {w, w / 2, w / 2, 0}};
    VideoEncodedFrame frame;
    EXPECT_EQ(EncoderRoundTripFrame(&rt, &picture, &frame), "") << "frame " << f;
    for (uint32_t t = 0; t < 10; ++t) used[t] += frame.BlockTypes[t];
  }
  EXPECT_GT(used[VideoBlockPattern] + used[VideoBlockRun], 0u);
  EXPECT_GT(used[VideoBlockFill] + used[VideoBlockScaled], 0u);
  EncoderRoundTripFree(&rt);
}

// White strokes with soft edges on black, all intra blocks: their transform rings past 0 and 255,
// which the decoder would store wrapped; the encoder keeps the strokes.
TEST(VideoEncoderRoundTrip, IntraBlocksKeepBlackAndWhite) {
  const uint32_t w = 160, h = 64;
  std::vector<uint8_t> y(w * h), u(w / 2 * h / 2, 128), v(w / 2 * h / 2, 128);
  for (uint32_t row = 0; row < h; ++row) {
    for (uint32_t col = 0; col < w; ++col) {
      const double d = std::fabs(std::sin(col * 0.25) * 10 + 30 - double(row));
      const double cover = d < 3 ? 1 : (d < 5 ? (5 - d) / 2 : 0);
      y[row * w + col] = (col / 12) % 3 == 0 && row > 10 ? 255 : uint8_t(std::lround(255 * cover));
    }
  }
  for (uint32_t quality : {50u, 75u}) {
    VideoEncoderConfig c = Config(w, h);
    c.Quality = quality;
    c.OnlyBlockType = VideoBlockIntra;
    EncoderRoundTrip rt;
    EncoderRoundTripInit(&rt, c);
    const VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr},
                                         {w, w / 2, w / 2, 0}};
    VideoEncodedFrame frame;
    EXPECT_EQ(EncoderRoundTripFrame(&rt, &picture, &frame), "");
    EXPECT_EQ(frame.BlockTypes[VideoBlockIntra], (w / 8) * (h / 8) + 2 * (w / 16) * (h / 16));
    EXPECT_GT(frame.Psnr[VideoEncoderPlaneY], 30.0) << "quality " << quality;
    EncoderRoundTripFree(&rt);
  }
}

// Pictures that flip between black and white: residues write a change of 255 as -1 (the add
// wraps), and the free choice keeps the picture. (Forced inter blocks round-trip too, but their
// transform rings past 0 and 255 and wraps, so they cannot keep it.)
TEST(VideoEncoderRoundTrip, ExtremeValuesFlippingEveryFrame) {
  for (int32_t type : {-1, int32_t(VideoBlockResidue), int32_t(VideoBlockInter)}) {
    VideoEncoderConfig c = Config(40, 24);
    c.OnlyBlockType = type;
    EncoderRoundTrip rt;
    EncoderRoundTripInit(&rt, c);
    std::vector<uint8_t> planes[3];
    for (uint32_t f = 0; f < 4; ++f) {
      for (uint32_t i = 0; i < 3; ++i) {
        const uint32_t size = i ? 20 * 12 : 40 * 24;
        planes[i].resize(size);
        for (uint32_t k = 0; k < size; ++k) planes[i][k] = ((k / 3 + f) % 2) ? 255 : 0;
      }
      const VideoEncoderPicture picture = {
          {planes[0].data(), planes[1].data(), planes[2].data(), nullptr}, {40, 20, 20, 0}};
      VideoEncodedFrame frame;
      EXPECT_EQ(EncoderRoundTripFrame(&rt, &picture, &frame), "") << "type " << type;
      if (type != VideoBlockInter) {
        EXPECT_GT(frame.Psnr[VideoEncoderPlaneY], 30.0) << "type " << type << " frame " << f;
      }
    }
    EncoderRoundTripFree(&rt);
  }
}

// Random sizes, versions, plane sets, qualities, forced types and pictures (noise, flat areas and
// the moving sequence mixed): every frame must still round-trip.
TEST(VideoEncoderRoundTrip, RandomConfigurationsAndPictures) {
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 150; ++round) {
    VideoEncoderConfig c = Config(1 + next(70), 1 + next(50), char('f' + next(4)));
    c.Flags = next(2) ? VideoEncoderAlpha : 0;
    c.Flags |= next(4) == 0 ? VideoEncoderGrayscale : 0;
    c.Quality = next(101);
    c.KeyInterval = next(3);
    c.OnlyBlockType = next(3) == 0 ? int32_t(next(10)) : -1;
    c.OnlySubType = c.OnlyBlockType == VideoBlockScaled ? int32_t(next(10)) : -1;
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
      ASSERT_EQ(EncoderRoundTripFrame(&rt, &picture.Picture, &frame), "")
          << "round " << round << " frame " << f << ": " << c.Width << "x" << c.Height << " "
          << c.Version << " flags " << c.Flags << " quality " << c.Quality << " type "
          << c.OnlyBlockType << "/" << c.OnlySubType;
    }
    EncoderRoundTripFree(&rt);
  }
}

}  // namespace
