#include "tests/video_encoder/video_encoder_test_support.h"

#include <gtest/gtest.h>

#include "vexa/movie.h"

void EncoderRoundTripInit(EncoderRoundTrip* rt, const VideoEncoderConfig& config) {
  ASSERT_TRUE(VideoEncoderInit(&rt->Encoder, &config)) << rt->Encoder.Error;
  const bool alpha = (config.Flags & VideoEncoderAlpha) != 0;
  TestAllocatePlanes(&rt->Decoded, config.Width, config.Height, 2, alpha);
  rt->VideoFlags = VideoEncoderVideoFlags(&config);
  rt->FrameFlags = 0;
  if (config.Version != 'i') rt->FrameFlags |= MovieFlagPreI;
  if (config.Version == 'f' || config.Version == 'g') rt->FrameFlags |= MovieFlagSwapUV;
  if (alpha) rt->FrameFlags |= OpenAlpha;
  if (config.Flags & VideoEncoderGrayscale) rt->FrameFlags |= OpenGrayscale;
}

// The decoder's plane (set Current) holding input plane `plane` (Y, U, V, A).
static const VideoPlane* EncoderDecodedPlane(const EncoderRoundTrip* rt, uint32_t plane) {
  const bool swapped = rt->Encoder.Config.Version == 'f' || rt->Encoder.Config.Version == 'g';
  int index = PlaneY;
  if (plane == VideoEncoderPlaneA) index = PlaneA;
  if (plane == VideoEncoderPlaneV) index = swapped ? PlaneChroma2 : PlaneChroma1;
  if (plane == VideoEncoderPlaneU) index = swapped ? PlaneChroma1 : PlaneChroma2;
  return &rt->Decoded.Planes.Sets[rt->Decoded.Planes.Current][index];
}

std::string EncoderRoundTripFrame(EncoderRoundTrip* rt, const VideoEncoderPicture* picture,
                                  VideoEncodedFrame* frame) {
  if (!VideoEncodeFrame(&rt->Encoder, picture, frame)) return "encode failed: " + rt->Encoder.Error;
  TestDecodeFrame(&rt->Decoded, frame->Data, rt->FrameFlags, rt->VideoFlags);
  for (uint32_t plane = 0; plane < VideoEncoderPlaneCount; ++plane) {
    uint32_t w, h, pitch;
    const uint8_t* recon = VideoEncoderReconstruction(&rt->Encoder, plane, &w, &h, &pitch);
    if (!recon) continue;
    const VideoPlane* decoded = EncoderDecodedPlane(rt, plane);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t want = recon[size_t(y) * pitch + x];
        const uint8_t got = decoded->Pixels[size_t(y) * decoded->Pitch + x];
        if (want != got) {
          return "plane " + std::to_string(plane) + " differs at (" + std::to_string(x) + ", " +
                 std::to_string(y) + "): encoder " + std::to_string(want) + ", decoder " +
                 std::to_string(got);
        }
      }
    }
  }
  return "";
}
