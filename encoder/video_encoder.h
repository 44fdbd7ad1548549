// The video encoder: planar YUV 4:2:0 frames (plus an optional alpha plane) into the video data
// of each frame packet, for versions 'f' to 'i'.
//
// Every block is chosen by rate and distortion among the ten block types (and the five writing
// sub-types of scaled blocks). The encoder reconstructs each frame with the decoder's own kernels,
// so what it keeps as the reference is, byte for byte, what a decoder shows: there is no drift.
//
// Usage:
//   VideoEncoderConfig config;            // defaults: version 'i', quality 40, key every 250
//   config.Width = 640;
//   config.Height = 480;
//   VideoEncoder encoder;
//   if (!VideoEncoderInit(&encoder, &config)) { /* bad size or setting: encoder.Error says */ }
//   VideoEncoderPicture picture = {{y, u, v, nullptr}, {yPitch, uPitch, vPitch, 0}};
//   VideoEncodedFrame frame;
//   VideoEncodeFrame(&encoder, &picture, &frame);
//   // frame.Data is the packet's video data, frame.IsKey its key flag (for the frame index),
//   // frame.Psnr[VideoEncoderPlaneY] the luma PSNR of the reconstruction.
//   VideoEncoderFree(&encoder);
//
// Chroma planes are (Width + 1) / 2 by (Height + 1) / 2; a grey-scale movie needs none. Header
// flags to write into the movie: VideoEncoderVideoFlags(&config). With MovieWriter:
//   MovieWriterFrame packet;  packet.Video = frame.Data;  packet.IsKey = frame.IsKey;
//
// Quality 100 .. 0 maps onto the levels 0 .. 15 (the quantisers, and continuously the trade of
// bits for distortion); key frames take a level three finer, chroma planes two coarser. On a
// camera pan over photographs (640x360), quality 20 gives about 35 dB luma PSNR at 0.17 bits per
// pixel, 40 about 39.7 dB at 0.32, 60 about 43 dB at 0.56. With a BitRate, rate control chooses
// each frame's level instead (video_rate_control.h). Versions before 'i' cannot show colour 0
// in colour-coded blocks (it becomes 1); transform blocks are not affected.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/video_rate_control.h"
#include "vexa/movie.h"

// Planes of a picture, by these indices (the order of the input, not of the packet).
enum : uint32_t {
  VideoEncoderPlaneY = 0,
  VideoEncoderPlaneU = 1,  // blue difference
  VideoEncoderPlaneV = 2,  // red difference
  VideoEncoderPlaneA = 3,
  VideoEncoderPlaneCount = 4
};

// Movie flags the encoder understands (the header's video flags).
constexpr uint32_t VideoEncoderAlpha = VideoFlagAlpha;          // the movie has an alpha plane
constexpr uint32_t VideoEncoderGrayscale = VideoFlagGrayscale;  // the movie carries no chroma

// Block types, for VideoEncoderConfig::OnlyBlockType.
enum : int32_t {
  VideoBlockSkip = 0,
  VideoBlockScaled = 1,
  VideoBlockMotion = 2,
  VideoBlockRun = 3,
  VideoBlockResidue = 4,
  VideoBlockIntra = 5,
  VideoBlockFill = 6,
  VideoBlockInter = 7,
  VideoBlockPattern = 8,
  VideoBlockRaw = 9,
};

struct VideoEncoderConfig {
  char Version = 'i';  // 'f', 'g', 'h' or 'i'
  uint32_t Width = 0;  // picture size in pixels, 1..32767
  uint32_t Height = 0;
  uint32_t Flags = 0;          // VideoEncoderAlpha, VideoEncoderGrayscale
  uint32_t Quality = 40;       // 0 (smallest) .. 100 (finest)
  uint32_t KeyInterval = 250;  // a key frame every this many frames; 0: only the first
  // For tests and experiments: restrict the mode decision to one block type (and, for
  // VideoBlockScaled, one sub-type). Where the type cannot be used (a key frame for the types
  // that need a reference, a position where a scaled area does not fit) the usual decision
  // applies. -1: no restriction.
  int32_t OnlyBlockType = -1;
  int32_t OnlySubType = -1;
  // Rate control: bits a second of video data at FrameRate / FrameRateDiv frames a second, kept
  // over the movie, no frame above twice the average; Quality is then not used. 0: every frame
  // at Quality.
  uint32_t BitRate = 0;
  uint32_t FrameRate = 25, FrameRateDiv = 1;
  uint32_t Threads = 1;  // 1..64 (0 is taken as 1); the output is the same for any number
};

struct VideoEncoderPicture {
  const uint8_t* Planes[VideoEncoderPlaneCount];  // Y, U, V, A (A only with VideoEncoderAlpha)
  uint32_t Pitches[VideoEncoderPlaneCount];       // bytes between rows, any value >= the width
};

struct VideoEncodedFrame {
  std::vector<uint8_t> Data;                 // the video data of the frame packet
  bool IsKey = false;                        // decodes without any earlier frame
  double Psnr[VideoEncoderPlaneCount] = {};  // of the reconstruction over the visible picture, dB;
                                             // infinity where it is exact, 0 for absent planes
  uint32_t PlaneBytes[VideoEncoderPlaneCount] = {};  // bytes of each plane's bit stream
  double Level = 0;  // the level the frame was encoded at: 0 (finest) .. 24 (see rate control)
  uint32_t BlockTypes[10] = {};      // blocks (scaled areas once) of each type, all planes
  uint32_t ScaledSubTypes[10] = {};  // scaled areas of each sub-type
};

// The rate estimates of one plane, learnt from the code trees of the previous frame.
struct VideoEncoderCosts {
  float BlockType[16];
  float SubType[16];
  float Colour;
  float Pattern;
  float Motion[16];
  float Run;
};

struct VideoEncoderPlaneBuffer {
  std::vector<uint8_t> Pixels;
  uint32_t Width = 0, Height = 0;  // padded to multiples of 8
};

struct VideoEncoder {
  VideoEncoderConfig Config;
  uint32_t Frame = 0;            // frames encoded so far
  std::vector<uint8_t> Scratch;  // padded source of the plane being encoded
  VideoEncoderPlaneBuffer Recon[2][VideoEncoderPlaneCount];  // reconstructions, by input plane
  uint32_t Current = 0;  // the set holding the last reconstruction
  VideoEncoderCosts Costs[VideoEncoderPlaneCount];
  std::vector<int8_t> Vectors[VideoEncoderPlaneCount];  // last motion vector of each block
  EncoderRate Rate;  // with Config.BitRate
  std::string Error;
};

// Checks the configuration and prepares the encoder; 0 with a message in Error when the size,
// version, quality or flags cannot be used (alpha and grey scale together are fine).
int VideoEncoderInit(VideoEncoder* e, const VideoEncoderConfig* config);
// Encodes the next frame; 0 with a message in Error when a needed plane is missing or a pitch is
// smaller than its plane's width.
int VideoEncodeFrame(VideoEncoder* e, const VideoEncoderPicture* picture, VideoEncodedFrame* out);
// The reconstruction of the last frame encoded (what a decoder shows): the plane's pixels and
// pitch, padded to multiples of 8; none for a plane the movie does not have.
const uint8_t* VideoEncoderReconstruction(const VideoEncoder* e, uint32_t plane, uint32_t* width,
                                          uint32_t* height, uint32_t* pitch);
// The header's video flags for the configuration.
uint32_t VideoEncoderVideoFlags(const VideoEncoderConfig* config);
void VideoEncoderFree(VideoEncoder* e);
