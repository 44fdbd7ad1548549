// VideoDecodeFrame: finds the planes in the frame's video data and decodes them.

#include "video/bundles.h"
#include "video/plane_decoder.h"
#include "video/video_decoder.h"

static uint64_t VideoAlign16(uint64_t n) { return (n + 15) & ~uint64_t(15); }

uint64_t VideoScratchBytes(const uint64_t scratchSizes[9]) {
  uint64_t total = 15;  // room to align the first buffer
  for (uint32_t i = 0; i < VideoBundleCount; ++i) total += VideoAlign16(scratchSizes[i]);
  return total;
}

struct VideoFrameJob {
  const VideoPlane* DstSet;
  const VideoPlane* SrcSet;
  const uint8_t* Data;
  uint64_t Size;
  uint8_t* Bundles[VideoBundleCount];
  const uint64_t* BundleSizes;
  uint8_t* Map;
  uint32_t MapStride;
  uint32_t FrameFlags;
  uint64_t MinSkip;  // smallest weighted skip count of the planes decoded
};

// A plane can be decoded when both frames have it, with one pitch that holds its width.
static bool VideoPlaneUsable(const VideoFrameJob* job, int plane, uint32_t width) {
  const VideoPlane* dst = &job->DstSet[plane];
  const VideoPlane* src = &job->SrcSet[plane];
  return dst->Wanted && src->Wanted && dst->Pixels && src->Pixels && dst->Pitch >= width &&
         src->Pitch == dst->Pitch;
}

// Decodes a plane from offset start; returns the offset after its data. A chroma plane's skip
// count weighs four times: it has a quarter of the blocks.
static uint64_t VideoDecodeFramePlane(VideoFrameJob* job, int plane, uint32_t width,
                                      uint32_t height, uint64_t start, uint32_t mapStep) {
  const VideoPlaneDesc desc = {job->DstSet[plane].Pixels, job->SrcSet[plane].Pixels, width,
                               height, job->DstSet[plane].Pitch};
  const VideoPlaneStream stream = {job->Data, job->Size, start, job->Size + 4};
  uint32_t skipped = 0;
  const uint64_t next = VideoDecodePlane(&desc, &stream, job->Map, job->MapStride, mapStep,
                                         job->Bundles, job->BundleSizes, job->FrameFlags, &skipped);
  const uint64_t weighted = uint64_t(skipped) * (mapStep == 2 ? 4 : 1);
  if (weighted < job->MinSkip) job->MinSkip = weighted;
  return next;
}

// A plane is looked for only where it starts inside the data (the 4 bytes of padding after the
// frame's data count as inside).
static bool VideoStartsInside(const VideoFrameJob* job, uint64_t offset) {
  return offset < job->Size + 4;
}

static void VideoDecodeChroma(VideoFrameJob* job, const VideoPlanes* planes, uint64_t start) {
  const uint32_t w = planes->ChromaWidth, h = planes->ChromaHeight;
  if (!VideoStartsInside(job, start) || !VideoPlaneUsable(job, PlaneChroma1, w)) return;
  const uint64_t second = VideoDecodeFramePlane(job, PlaneChroma1, w, h, start, 2);
  if (VideoStartsInside(job, second) && VideoPlaneUsable(job, PlaneChroma2, w)) {
    VideoDecodeFramePlane(job, PlaneChroma2, w, h, second, 2);
  }
}

// Walks the video data: [alpha length, alpha plane], [luma length], luma plane, two chroma planes.
static void VideoDecodePlanes(VideoFrameJob* job, const VideoPlanes* planes, uint32_t videoFlags) {
  const uint32_t flags = job->FrameFlags;
  const bool preI = (flags & MovieFlagPreI) != 0;
  uint64_t at = 0;
  if (videoFlags & VideoFlagAlpha) {
    if ((flags & OpenAlpha) && VideoPlaneUsable(job, PlaneA, planes->Width)) {
      VideoDecodeFramePlane(job, PlaneA, planes->Width, planes->Height, at + 4, 1);
    }
    // A length that leads out of the data leaves nothing to find after it.
    at += VideoPeekWord(job->Data, job->Size, at);
    if (!VideoStartsInside(job, at)) return;
  }
  uint64_t chroma = 0;
  bool chromaFound = !preI;
  if (!preI) {
    chroma = at + VideoPeekWord(job->Data, job->Size, at);
    at += 4;
  }
  if (!(flags & kVideoDecodeSkipLuma) && VideoPlaneUsable(job, PlaneY, planes->Width)) {
    const uint64_t lumaEnd =
        VideoDecodeFramePlane(job, PlaneY, planes->Width, planes->Height, at, 1);
    if (preI) {
      chroma = lumaEnd;
      chromaFound = true;
    }
  }
  // Before 'i' the chroma planes can only be found by decoding the luma plane.
  if (chromaFound && !(flags & OpenGrayscale)) VideoDecodeChroma(job, planes, chroma);
}

static uint32_t VideoChangedPercent(const VideoPlanes* planes, uint64_t minSkip) {
  const uint64_t blocks = (uint64_t(planes->Width) * planes->Height) >> 6;
  // Nothing decoded (or a count above the blocks of the picture) means nothing changed.
  if (blocks == 0 || minSkip > blocks) return 0;
  return uint32_t((blocks - minSkip) * 100 / blocks);
}

// The map has a byte per 16x16 luma area, (Height + 15) / 16 rows of changeMapStride bytes; a
// record whose chroma blocks would reach past that is not marked at all.
static bool VideoMapFits(const VideoPlanes* planes, uint32_t stride) {
  const uint32_t rows = (planes->Height + 15) / 16;
  return stride >= (planes->Width + 15) / 16 && stride >= planes->ChromaWidth / 8 &&
         planes->ChromaHeight / 8 <= rows;
}

static bool VideoScratchFits(const VideoPlanes* planes, const uint64_t scratchSizes[9]) {
  uint64_t needed[VideoBundleCount];
  VideoBundleBufferSizes(planes->Width, needed);
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    if (scratchSizes[i] < needed[i]) return false;
  }
  return true;
}

uint32_t VideoDecodeFrame(VideoPlanes* planes, uint8_t* changeMap, uint32_t changeMapStride,
                          const uint8_t* data, const uint8_t* end,
                          const uint64_t scratchSizes[9], uint32_t frameFlags,
                          uint32_t videoFlags, void* scratch) {
  if (!planes || !data || !end || end < data || !scratchSizes || !scratch) return 0;
  if (planes->Current > 1 || planes->Width % 8 || planes->Height % 8 ||
      planes->ChromaWidth % 8 || planes->ChromaHeight % 8 ||
      !VideoScratchFits(planes, scratchSizes)) {
    return 0;
  }
  const uint32_t current = planes->Current;
  const uint32_t other = current ^ 1;
  const VideoPlane* otherY = &planes->Sets[other][PlaneY];
  const uint32_t target =
      planes->SetCount > 1 && otherY->Wanted && otherY->Pixels ? other : current;
  if (!(frameFlags & kVideoDecodeKeepCurrent)) planes->Current = target;

  VideoFrameJob job;
  job.DstSet = planes->Sets[target];
  job.SrcSet = planes->Sets[current];
  job.Data = data;
  job.Size = uint64_t(end - data);
  job.BundleSizes = scratchSizes;
  job.Map = VideoMapFits(planes, changeMapStride) ? changeMap : nullptr;
  job.MapStride = job.Map ? changeMapStride : 0;
  job.FrameFlags = frameFlags;
  job.MinSkip = 0xFFFFFFFFu;
  uint8_t* at = static_cast<uint8_t*>(scratch);
  at += (16 - reinterpret_cast<uintptr_t>(at) % 16) % 16;
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    job.Bundles[i] = at;
    at += VideoAlign16(scratchSizes[i]);
  }
  VideoDecodePlanes(&job, planes, videoFlags);
  return VideoChangedPercent(planes, job.MinSkip);
}
