#include "video/plane_decoder.h"

#include <cstring>

#include "video/video_decoder.h"

// Asks for the previous frame's next block row while this one is decoded: Skip and Motion blocks
// copy from there, and a frame's planes have usually left the caches by the next frame (the
// decoder's misses on them took a tenth of its time at medium quality).
static void VideoPrefetchRows(const uint8_t* row, uint32_t width, uint32_t pitch) {
  for (uint32_t y = 0; y < 8; ++y, row += pitch) {
    for (uint32_t x = 0; x < width; x += 64) __builtin_prefetch(row + x);
  }
}

uint64_t VideoDecodePlane(const VideoPlaneDesc* plane, const VideoPlaneStream* stream,
                          uint8_t* map, uint32_t mapStride, uint32_t mapStep,
                          uint8_t* const bundles[VideoBundleCount],
                          const uint64_t bundleSizes[VideoBundleCount], uint32_t frameFlags,
                          uint32_t* skipped) {
  *skipped = 0;
  if (plane->Height == 0) return stream->Start;
  for (uint32_t i = 0; i < VideoBundleCount; ++i)
    std::memset(bundles[i], 0, size_t(bundleSizes[i]));

  VideoPlaneContext ctx;
  std::memset(&ctx, 0, sizeof ctx);
  ctx.DstRow = plane->Dst;
  ctx.SrcRow = plane->Src;
  ctx.SrcPlane = plane->Src;
  ctx.Width = plane->Width;
  ctx.Height = plane->Height;
  ctx.Pitch = plane->Pitch;
  ctx.MapRow = map;
  ctx.MapStep = map ? mapStep : 0;
  ctx.Kernels = VideoGetKernels();
  VideoBitReaderInit(&ctx.Reader, stream->Data, stream->Size, stream->Start);
  VideoBundlesInit(&ctx.Bundles, bundles, plane->Width, (frameFlags & MovieFlagPreI) != 0);
  VideoReadBundleTrees(&ctx.Bundles, &ctx.Reader);

  for (ctx.Y = 0; ctx.Y + 8 <= ctx.Height; ctx.Y += 8) {
    if (ctx.Y + 16 <= ctx.Height) {
      VideoPrefetchRows(ctx.SrcRow + size_t(8) * ctx.Pitch, ctx.Width, ctx.Pitch);
    }
    VideoRefillBundles(&ctx.Bundles, &ctx.Reader, stream->End);
    VideoDecodeBlockRow(&ctx, stream->End);
    ctx.DstRow += size_t(8) * ctx.Pitch;
    ctx.SrcRow += size_t(8) * ctx.Pitch;
    // A map row covers 16 luma rows, which is one chroma block row.
    if (ctx.MapRow && (mapStep == 2 || (ctx.Y & 8))) ctx.MapRow += mapStride;
  }
  *skipped = ctx.Skipped;
  return ctx.Reader.Pos;
}
