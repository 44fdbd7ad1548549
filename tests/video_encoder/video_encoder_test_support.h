// Round trips for the video encoder tests: encode a picture, decode the frame's video data with
// the decoder, and compare the decoder's planes with the encoder's reconstruction.
#pragma once

#include <string>

#include "encoder/video_encoder.h"
#include "tests/video/video_test_support.h"
#include "tests/video_encoder/synthetic_video.h"

struct EncoderRoundTrip {
  VideoEncoder Encoder;
  TestPlanes Decoded;
  uint32_t FrameFlags = 0;  // what a movie open makes of the version and flags
  uint32_t VideoFlags = 0;
};

// Prepares the encoder and decoder planes; fails the test when the configuration is refused.
void EncoderRoundTripInit(EncoderRoundTrip* rt, const VideoEncoderConfig& config);
// Encodes the picture and decodes the result. Returns an empty string when every plane the
// decoder wrote equals the encoder's reconstruction, else where they differ.
std::string EncoderRoundTripFrame(EncoderRoundTrip* rt, const VideoEncoderPicture* picture,
                                  VideoEncodedFrame* frame);
