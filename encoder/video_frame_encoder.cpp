// The encoder's frame level: key frames, the planes in packet order, the video data layout and
// the PSNR of the reconstruction.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "encoder/video_encoder.h"
#include "encoder/video_bundle_writer.h"
#include "encoder/video_plane_encoder.h"

namespace {

// Quantiser scale factors: the step of every coefficient grows with them.
const double kQuantScale[16] = {1, 4.0 / 3, 5.0 / 3, 2,  8.0 / 3, 3.5, 4,  5,
                                6, 8,       12,      17, 22,      28,  34, 44};
// Squared error per bit: about 0.13 times the square of the coefficient step (which is about 1.5
// times the scale), the usual trade for uniform quantisers; measured best among 0.15 to 1.0.
constexpr double kLambdaPerScale = 0.3;

constexpr uint32_t kEncoderMaxThreads = 64;

uint32_t EncoderRound8(uint32_t n) { return (n + 7) & ~7u; }

bool EncoderHasPlane(const VideoEncoderConfig* c, uint32_t plane) {
  if (plane == VideoEncoderPlaneA) return (c->Flags & VideoEncoderAlpha) != 0;
  if (plane != VideoEncoderPlaneY) return (c->Flags & VideoEncoderGrayscale) == 0;
  return true;
}

// Visible size of an input plane.
void EncoderPlaneSize(const VideoEncoderConfig* c, uint32_t plane, uint32_t* w, uint32_t* h) {
  const bool chroma = plane == VideoEncoderPlaneU || plane == VideoEncoderPlaneV;
  *w = chroma ? (c->Width + 1) / 2 : c->Width;
  *h = chroma ? (c->Height + 1) / 2 : c->Height;
}

void EncoderDefaultCosts(VideoEncoderCosts* k) {
  for (uint32_t i = 0; i < 16; ++i) {
    k->BlockType[i] = 3;
    k->SubType[i] = 3;
    k->Motion[i] = i == 0 ? 1.0f : float(2 + std::bit_width(i));
  }
  k->Colour = 7;
  k->Pattern = 7;
  k->Run = 3;
}

// Copies a plane into a buffer padded to multiples of 8 by repeating its last column and row.
void EncoderPadPlane(const uint8_t* src, uint32_t pitch, uint32_t w, uint32_t h, uint32_t paddedW,
                     uint32_t paddedH, uint8_t* out) {
  for (uint32_t y = 0; y < paddedH; ++y) {
    const uint8_t* row = src + size_t(y < h ? y : h - 1) * pitch;
    uint8_t* dst = out + size_t(y) * paddedW;
    std::memcpy(dst, row, w);
    std::memset(dst + w, row[w - 1], paddedW - w);
  }
}

double EncoderPsnr(const uint8_t* a, uint32_t aPitch, const uint8_t* b, uint32_t bPitch, uint32_t w,
                   uint32_t h) {
  uint64_t sse = 0;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const int32_t d = int32_t(a[size_t(y) * aPitch + x]) - int32_t(b[size_t(y) * bPitch + x]);
      sse += uint64_t(d * d);
    }
  }
  if (sse == 0) return std::numeric_limits<double>::infinity();
  const double mse = double(sse) / (double(w) * h);
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Packet order: alpha, luma, then the chroma planes V, U ('h', 'i') or U, V ('f', 'g').
void EncoderPacketOrder(const VideoEncoderConfig* c, uint32_t order[4], uint32_t* count) {
  *count = 0;
  if (EncoderHasPlane(c, VideoEncoderPlaneA)) order[(*count)++] = VideoEncoderPlaneA;
  order[(*count)++] = VideoEncoderPlaneY;
  if (!EncoderHasPlane(c, VideoEncoderPlaneU)) return;
  const bool swapped = c->Version == 'f' || c->Version == 'g';
  order[(*count)++] = swapped ? VideoEncoderPlaneU : VideoEncoderPlaneV;
  order[(*count)++] = swapped ? VideoEncoderPlaneV : VideoEncoderPlaneU;
}

// The level of a quality: 100 .. 0 maps onto the quantisers 0 .. 15. Key frames take a finer
// level: every frame after them predicts from them, which repays the bits (measured on camera
// pans: 3 to 4 % smaller files at equal luma PSNR).
constexpr double kKeyFrameFiner = 3;

double EncoderQualityLevel(uint32_t quality, bool key) {
  const double level = (100.0 - quality) * 15.0 / 100.0;
  return key ? std::max(level - kKeyFrameFiner, 0.0) : level;
}

// Chroma planes take a coarser level: at the luma's level they came out 3 dB above the luma's
// PSNR, more than the eye (or the peers) ask for; two levels coarser leaves them about equal to
// the luma and saves 5 % of the bits.
constexpr double kChromaCoarser = 2;

double EncoderPlaneLevel(uint32_t plane, double level) {
  const bool chroma = plane == VideoEncoderPlaneU || plane == VideoEncoderPlaneV;
  return chroma ? std::min(level + kChromaCoarser, kEncoderLevelMax) : level;
}

// Quantiser scale at a level between (or beyond) the table's entries, geometrically.
double EncoderLevelScale(double level) {
  const uint32_t below = uint32_t(std::min(level, 14.0));
  const double t = level - below;
  return kQuantScale[below] * std::pow(kQuantScale[below + 1] / kQuantScale[below], t);
}

// A level sets the base quantiser (the nearest one, at most 15) and, continuously, the
// rate-distortion trade; the residue dead zone follows the quantiser.
void EncoderSetQuality(EncoderPlaneContext* ctx, double level) {
  const uint32_t q = uint32_t(std::lround(std::min(level, 15.0)));
  const double scale = EncoderLevelScale(level);
  ctx->Quantiser = q;
  ctx->Lambda = kLambdaPerScale * scale * scale;
  ctx->ResidueZero = q / 3;
}

// Chroma motion search starts from this frame's luma vectors (luma is encoded first).
void EncoderUseLumaMotion(const VideoEncoder* e, EncoderPlaneContext* ctx) {
  const VideoEncoderPlaneBuffer* luma = &e->Recon[0][VideoEncoderPlaneY];
  const std::vector<int8_t>& vectors = e->Vectors[VideoEncoderPlaneY];
  if (vectors.size() != size_t(luma->Width / 8) * (luma->Height / 8) * 2) return;
  ctx->LumaVectors = vectors.data();
  ctx->LumaColumns = luma->Width / 8;
  ctx->LumaRows = luma->Height / 8;
}

std::vector<uint8_t> EncoderEncodeInputPlane(VideoEncoder* e, const VideoEncoderPicture* picture,
                                             uint32_t plane, bool key, double level,
                                             EncoderPlaneBundles* bundles, VideoEncodedFrame* out) {
  const VideoEncoderConfig* c = &e->Config;
  uint32_t w, h;
  EncoderPlaneSize(c, plane, &w, &h);
  VideoEncoderPlaneBuffer* recon = &e->Recon[e->Current ^ 1][plane];
  const VideoEncoderPlaneBuffer* ref = &e->Recon[e->Current][plane];
  e->Scratch.resize(size_t(recon->Width) * recon->Height);
  EncoderPadPlane(picture->Planes[plane], picture->Pitches[plane], w, h, recon->Width,
                  recon->Height, e->Scratch.data());

  EncoderPlaneContext ctx{};
  ctx.Src = e->Scratch.data();
  ctx.SrcPitch = recon->Width;
  ctx.Ref = key ? nullptr : ref->Pixels.data();
  ctx.RefPitch = ref->Width;
  ctx.Recon = recon->Pixels.data();
  ctx.ReconPitch = recon->Width;
  ctx.Width = recon->Width;
  ctx.Height = recon->Height;
  ctx.OldColours = c->Version != 'i';
  EncoderSetQuality(&ctx, EncoderPlaneLevel(plane, level));
  ctx.OnlyType = c->OnlyBlockType;
  ctx.OnlySubType = c->OnlySubType;
  ctx.Costs = &e->Costs[plane];
  ctx.Kernels = VideoGetKernels();
  ctx.Measures = EncoderGetKernels();
  ctx.Bundles = bundles;
  std::vector<int8_t>& vectors = e->Vectors[plane];
  const size_t blocks = size_t(recon->Width / 8) * (recon->Height / 8);
  if (vectors.size() != 2 * blocks) vectors.assign(2 * blocks, 0);
  ctx.Vectors = vectors.data();
  if (plane == VideoEncoderPlaneU || plane == VideoEncoderPlaneV) EncoderUseLumaMotion(e, &ctx);
  ctx.TypeCounts = out->BlockTypes;
  ctx.SubTypeCounts = out->ScaledSubTypes;
  ctx.Threads = c->Threads ? c->Threads : 1;
  return EncoderEncodePlane(&ctx, &e->Costs[plane]);
}

void EncoderPutLe32(std::vector<uint8_t>* out, uint32_t v) {
  for (uint32_t i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

static int EncoderInit(VideoEncoder* e, const VideoEncoderConfig* config) {
  *e = VideoEncoder{};
  e->Config = *config;
  const VideoEncoderConfig* c = &e->Config;
  if (c->Version < 'f' || c->Version > 'i') {
    e->Error = "The version must be one of the letters f, g, h and i.";
    return 0;
  }
  if (c->Width == 0 || c->Height == 0 || c->Width > 32767 || c->Height > 32767) {
    e->Error = "The picture must be 1 to 32767 pixels wide and high.";
    return 0;
  }
  if (c->Quality > 100) {
    e->Error = "The quality must be 0 to 100.";
    return 0;
  }
  if (c->Flags & ~(VideoEncoderAlpha | VideoEncoderGrayscale)) {
    e->Error = "Unknown video flags.";
    return 0;
  }
  if (c->BitRate && (c->FrameRate == 0 || c->FrameRateDiv == 0)) {
    e->Error = "A bit rate needs a frame rate.";
    return 0;
  }
  if (c->Threads > kEncoderMaxThreads) {
    e->Error = "The encoder runs on at most 64 threads.";
    return 0;
  }
  if (c->OnlyBlockType > 9 || c->OnlySubType > 9) {
    e->Error = "There are ten block types, 0 to 9.";
    return 0;
  }
  EncoderRateInit(&e->Rate, c->BitRate, c->FrameRate, c->FrameRateDiv,
                  uint64_t(c->Width) * c->Height);
  for (uint32_t plane = 0; plane < VideoEncoderPlaneCount; ++plane) {
    EncoderDefaultCosts(&e->Costs[plane]);
    if (!EncoderHasPlane(c, plane)) continue;
    uint32_t w, h;
    EncoderPlaneSize(c, plane, &w, &h);
    for (uint32_t set = 0; set < 2; ++set) {
      VideoEncoderPlaneBuffer* b = &e->Recon[set][plane];
      b->Width = EncoderRound8(w);
      b->Height = EncoderRound8(h);
      b->Pixels.assign(size_t(b->Width) * b->Height, 0);
    }
  }
  return 1;
}

// Every plane the movie has is given, with a pitch that holds its width.
static bool EncoderPictureUsable(const VideoEncoderConfig* c, const VideoEncoderPicture* picture) {
  for (uint32_t plane = 0; plane < VideoEncoderPlaneCount; ++plane) {
    if (!EncoderHasPlane(c, plane)) continue;
    uint32_t w, h;
    EncoderPlaneSize(c, plane, &w, &h);
    if (!picture->Planes[plane] || picture->Pitches[plane] < w) return false;
  }
  return true;
}

static void EncoderMeasure(const VideoEncoder* e, const VideoEncoderPicture* picture,
                           VideoEncodedFrame* out) {
  for (uint32_t plane = 0; plane < VideoEncoderPlaneCount; ++plane) {
    if (!EncoderHasPlane(&e->Config, plane)) continue;
    uint32_t w, h;
    EncoderPlaneSize(&e->Config, plane, &w, &h);
    const VideoEncoderPlaneBuffer* r = &e->Recon[e->Current][plane];
    out->Psnr[plane] = EncoderPsnr(picture->Planes[plane], picture->Pitches[plane],
                                   r->Pixels.data(), r->Width, w, h);
  }
}

// The planes of one frame at one level, in packet order, into out (whose IsKey is set).
static void EncoderEncodePlanes(VideoEncoder* e, const VideoEncoderPicture* picture, double level,
                                VideoEncodedFrame* out) {
  const VideoEncoderConfig* c = &e->Config;
  uint32_t order[4], count;
  EncoderPacketOrder(c, order, &count);
  out->Level = level;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t plane = order[i];
    EncoderPlaneBundles bundles;
    const std::vector<uint8_t> bytes =
        EncoderEncodeInputPlane(e, picture, plane, out->IsKey, level, &bundles, out);
    out->PlaneBytes[plane] = uint32_t(bytes.size());
    // Alpha and (from 'i' on) luma carry their length, counted from the length field.
    if (plane == VideoEncoderPlaneA || (plane == VideoEncoderPlaneY && c->Version == 'i')) {
      EncoderPutLe32(&out->Data, uint32_t(bytes.size() + 4));
    }
    out->Data.insert(out->Data.end(), bytes.begin(), bytes.end());
  }
}

// Under rate control: a frame above the cap is encoded again at a coarser level, from the state
// (rate estimates and motion) the first try started with.
static void EncoderEncodeAtRate(VideoEncoder* e, const VideoEncoderPicture* picture,
                                VideoEncodedFrame* out) {
  const bool key = out->IsKey;
  VideoEncoderCosts costs[VideoEncoderPlaneCount];
  std::copy(e->Costs, e->Costs + VideoEncoderPlaneCount, costs);
  std::vector<int8_t> vectors[VideoEncoderPlaneCount];
  std::copy(e->Vectors, e->Vectors + VideoEncoderPlaneCount, vectors);
  double level = EncoderRateLevel(&e->Rate, key);
  for (uint32_t tries = 1;; ++tries) {
    EncoderEncodePlanes(e, picture, level, out);
    const double retry = EncoderRateRetryLevel(&e->Rate, tries, level, out->Data.size() * 8);
    if (retry < 0) break;
    std::copy(costs, costs + VideoEncoderPlaneCount, e->Costs);
    std::copy(vectors, vectors + VideoEncoderPlaneCount, e->Vectors);
    *out = VideoEncodedFrame{};
    out->IsKey = key;
    level = retry;
  }
  EncoderRateUpdate(&e->Rate, key, level, out->Data.size() * 8);
}

static int EncoderEncodeFrame(VideoEncoder* e, const VideoEncoderPicture* picture,
                              VideoEncodedFrame* out) {
  const VideoEncoderConfig* c = &e->Config;
  if (!EncoderPictureUsable(c, picture)) {
    e->Error = "A plane of the picture is missing or its pitch is smaller than its width.";
    return 0;
  }
  *out = VideoEncodedFrame{};
  out->IsKey = e->Frame == 0 || (c->KeyInterval && e->Frame % c->KeyInterval == 0);
  if (c->BitRate) {
    EncoderEncodeAtRate(e, picture, out);
  } else {
    EncoderEncodePlanes(e, picture, EncoderQualityLevel(c->Quality, out->IsKey), out);
  }
  // A frame whose blocks all happen to ignore the previous one (a scene cut) is a key frame too.
  const uint32_t* types = out->BlockTypes;
  if (!types[VideoBlockSkip] && !types[VideoBlockMotion] && !types[VideoBlockResidue] &&
      !types[VideoBlockInter]) {
    out->IsKey = true;
  }
  e->Current ^= 1;
  ++e->Frame;
  EncoderMeasure(e, picture, out);
  return 1;
}

// The encoder allocates with the standard containers; running out of memory is reported as a
// failure like any other, and leaves the encoder as it was before the call.
int VideoEncoderInit(VideoEncoder* e, const VideoEncoderConfig* config) {
  if (!e) return 0;
  if (!config) {
    *e = VideoEncoder{};
    e->Error = "No configuration.";
    return 0;
  }
  try {
    return EncoderInit(e, config);
  } catch (const std::bad_alloc&) {
    *e = VideoEncoder{};
    e->Error = "Not enough memory for pictures of this size.";
    return 0;
  }
}

int VideoEncodeFrame(VideoEncoder* e, const VideoEncoderPicture* picture, VideoEncodedFrame* out) {
  if (!e) return 0;
  if (!picture || !out || e->Recon[0][VideoEncoderPlaneY].Pixels.empty()) {
    e->Error = "No picture, no frame to fill, or an encoder that was not set up.";
    return 0;
  }
  try {
    return EncoderEncodeFrame(e, picture, out);
  } catch (const std::bad_alloc&) {
    e->Error = "Not enough memory to encode the frame.";
    return 0;
  }
}

const uint8_t* VideoEncoderReconstruction(const VideoEncoder* e, uint32_t plane, uint32_t* width,
                                          uint32_t* height, uint32_t* pitch) {
  if (!e || !width || !height || !pitch) return nullptr;
  if (plane >= VideoEncoderPlaneCount || !EncoderHasPlane(&e->Config, plane)) return nullptr;
  if (e->Recon[e->Current][plane].Pixels.empty()) return nullptr;
  const VideoEncoderPlaneBuffer* r = &e->Recon[e->Current][plane];
  *width = r->Width;
  *height = r->Height;
  *pitch = r->Width;
  return r->Pixels.data();
}

uint32_t VideoEncoderVideoFlags(const VideoEncoderConfig* config) {
  return config ? config->Flags & (VideoEncoderAlpha | VideoEncoderGrayscale) : 0;
}

void VideoEncoderFree(VideoEncoder* e) { *e = VideoEncoder{}; }
