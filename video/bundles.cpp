#include "video/bundles.h"

#include <cstring>

// floor(log2(n + 511)) + 1, at most 15.
static uint32_t VideoCountBits(uint32_t n) {
  const uint32_t bits = uint32_t(std::bit_width(uint64_t(n) + 511));
  return bits < 15 ? bits : 15;
}

static uint32_t VideoCapacity(uint64_t n) { return uint32_t((n + 527) & ~uint64_t(15)); }

static uint32_t VideoDcCapacity(uint64_t blocks) {
  return uint32_t(((blocks * 2 + 1039) & ~uint64_t(15)) / 2);
}

void VideoListBufferSizes(uint32_t width, uint64_t sizes[VideoListCount]) {
  const uint64_t w16 = (uint64_t(width) + 15) & ~uint64_t(15);
  const uint64_t b = w16 / 8;
  sizes[VideoListBlockTypes] = VideoCapacity(b);
  sizes[VideoListSubBlockTypes] = VideoCapacity(w16 / 16);
  sizes[VideoListColours] = VideoCapacity(b * 64) + 64;
  sizes[VideoListPatterns] = VideoCapacity(b * 8) + 8;
  sizes[VideoListXOffsets] = VideoCapacity(b);
  sizes[VideoListYOffsets] = VideoCapacity(b);
  sizes[VideoListDcIntra] = uint64_t(VideoDcCapacity(b)) * 2;
  sizes[VideoListDcInter] = uint64_t(VideoDcCapacity(b)) * 2;
  sizes[VideoListRuns] = VideoCapacity(b * 48) + 64;
}

void VideoListLimits(uint32_t planeWidth, VideoListKind kind, uint32_t* countBits,
                     uint32_t* capacity) {
  const uint32_t bw = planeWidth / 8;
  uint32_t n = bw;
  if (kind == VideoListSubBlockTypes) n = planeWidth / 16;
  if (kind == VideoListColours) n = bw * 64;
  if (kind == VideoListPatterns) n = bw * 8;
  if (kind == VideoListRuns) n = bw * 48;
  *countBits = VideoCountBits(n);
  const bool dc = kind == VideoListDcIntra || kind == VideoListDcInter;
  *capacity = dc ? VideoDcCapacity(bw) : VideoCapacity(n);
}

void VideoBundlesInit(VideoBundles* b, uint8_t* const buffers[VideoListCount], uint32_t planeWidth,
                      uint32_t oldColours) {
  for (uint32_t i = 0; i < VideoListCount; ++i) {
    VideoBundle* list = &b->Lists[i];
    *list = VideoBundle{};
    list->Buffer = buffers[i];
    VideoListLimits(planeWidth, VideoListKind(i), &list->CountBits, &list->Capacity);
  }
  b->LastHigh = 0;
  b->OldColours = oldColours;
}

void VideoReadBundleTrees(VideoBundles* b, VideoBitReader* r) {
  VideoReadCodeTree(r, &b->Lists[VideoListBlockTypes].Tree);
  VideoReadCodeTree(r, &b->Lists[VideoListSubBlockTypes].Tree);
  for (VideoCodeTree& tree : b->HighTrees) VideoReadCodeTree(r, &tree);
  VideoReadCodeTree(r, &b->Lists[VideoListColours].Tree);
  VideoReadCodeTree(r, &b->Lists[VideoListPatterns].Tree);
  VideoReadCodeTree(r, &b->Lists[VideoListXOffsets].Tree);
  VideoReadCodeTree(r, &b->Lists[VideoListYOffsets].Tree);
  VideoReadCodeTree(r, &b->Lists[VideoListRuns].Tree);
  b->LastHigh = 0;
}

// A symbol whose code would need a word at or past the end of the data is not read.
static bool VideoSymbolAvailable(const VideoBitReader* r, const VideoCodeTree* tree, uint64_t end) {
  return !VideoWouldLoadPast(r, VideoCodeLongest[tree->Table], end);
}

// Reads a magnitude of `bits` bits followed, when it is not zero, by a sign bit (1 = negative).
static int32_t VideoReadSignedMagnitude(VideoBitReader* r, uint32_t bits) {
  const int32_t magnitude = int32_t(VideoReadBits(r, bits));
  if (magnitude != 0 && VideoReadBit(r)) return -magnitude;
  return magnitude;
}

// The list readers decode `count` values into list->Buffer; 0 means the data ended.
typedef int (*VideoListReader)(VideoBundles* b, VideoBundle* list, VideoBitReader* r,
                               uint64_t end, uint32_t count);

static int VideoReadBlockTypes(VideoBundles*, VideoBundle* list, VideoBitReader* r, uint64_t end,
                               uint32_t count) {
  uint8_t* out = list->Buffer;
  if (VideoReadBit(r)) {
    std::memset(out, int(VideoReadBits(r, 4)), count);
    return 1;
  }
  static const uint8_t runLengths[4] = {4, 8, 12, 32};
  uint8_t last = 0;
  for (uint32_t stored = 0; stored < count;) {
    if (!VideoSymbolAvailable(r, &list->Tree, end)) return 0;
    const uint32_t symbol = VideoReadSymbol(r, &list->Tree);
    if (symbol < 12) {
      last = uint8_t(symbol);
      out[stored++] = last;
      continue;
    }
    const uint32_t run = runLengths[symbol - 12];
    if (run > count - stored) break;  // the list keeps its count; the rest keeps old contents
    std::memset(out + stored, last, run);
    stored += run;
  }
  return 1;
}

// Revisions before 'i' code a colour as a signed offset from 128.
static uint8_t VideoOldColour(uint32_t value) {
  return uint8_t((value & 128) ? 128 - (value & 127) : 128 + (value & 127));
}

static int VideoReadColour(VideoBundles* b, VideoBitReader* r, uint64_t end, uint8_t* value) {
  const VideoCodeTree* high = &b->HighTrees[b->LastHigh];
  const VideoCodeTree* low = &b->Lists[VideoListColours].Tree;
  if (!VideoSymbolAvailable(r, high, end)) return 0;
  const uint32_t h = VideoReadSymbol(r, high);
  if (!VideoSymbolAvailable(r, low, end)) return 0;
  const uint32_t v = h * 16 + VideoReadSymbol(r, low);
  b->LastHigh = h;
  *value = b->OldColours ? VideoOldColour(v) : uint8_t(v);
  return 1;
}

static int VideoReadColours(VideoBundles* b, VideoBundle* list, VideoBitReader* r, uint64_t end,
                            uint32_t count) {
  if (VideoReadBit(r)) {
    uint8_t value;
    if (!VideoReadColour(b, r, end, &value)) return 0;
    std::memset(list->Buffer, value, count);
    return 1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoReadColour(b, r, end, &list->Buffer[i])) return 0;
  }
  return 1;
}

static int VideoReadPatterns(VideoBundles*, VideoBundle* list, VideoBitReader* r, uint64_t end,
                             uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoSymbolAvailable(r, &list->Tree, end)) return 0;
    const uint32_t low = VideoReadSymbol(r, &list->Tree);
    if (!VideoSymbolAvailable(r, &list->Tree, end)) return 0;
    list->Buffer[i] = uint8_t(low + 16 * VideoReadSymbol(r, &list->Tree));
  }
  return 1;
}

static int VideoReadMotionValues(VideoBundles*, VideoBundle* list, VideoBitReader* r,
                                 uint64_t end, uint32_t count) {
  if (VideoReadBit(r)) {
    std::memset(list->Buffer, int(uint8_t(VideoReadSignedMagnitude(r, 4))), count);
    return 1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoSymbolAvailable(r, &list->Tree, end)) return 0;
    int32_t v = int32_t(VideoReadSymbol(r, &list->Tree));
    if (v != 0 && VideoReadBit(r)) v = -v;
    list->Buffer[i] = uint8_t(v);
  }
  return 1;
}

static void VideoStoreDc(VideoBundle* list, uint32_t i, uint32_t value) {
  const uint16_t v = uint16_t(value);
  std::memcpy(list->Buffer + 2 * i, &v, 2);
}

// The first value, then groups of 8 differences that share one 4-bit width.
static int VideoReadDcs(VideoBitReader* r, VideoBundle* list, uint64_t end, uint32_t count,
                        uint32_t first) {
  uint32_t previous = first;
  VideoStoreDc(list, 0, previous);
  for (uint32_t i = 1; i < count;) {
    if (VideoWouldLoadPast(r, 4, end)) return 0;
    const uint32_t bits = VideoReadBits(r, 4);
    const uint32_t groupEnd = count - i < 8 ? count : i + 8;
    for (; i < groupEnd; ++i) {
      if (bits != 0) previous += uint32_t(VideoReadSignedMagnitude(r, bits));
      VideoStoreDc(list, i, previous);
    }
  }
  return 1;
}

static int VideoReadDcIntra(VideoBundles*, VideoBundle* list, VideoBitReader* r, uint64_t end,
                            uint32_t count) {
  return VideoReadDcs(r, list, end, count, VideoReadBits(r, 11));
}

static int VideoReadDcInter(VideoBundles*, VideoBundle* list, VideoBitReader* r, uint64_t end,
                            uint32_t count) {
  return VideoReadDcs(r, list, end, count, uint32_t(VideoReadSignedMagnitude(r, 10)));
}

static int VideoReadRuns(VideoBundles*, VideoBundle* list, VideoBitReader* r, uint64_t end,
                         uint32_t count) {
  if (VideoReadBit(r)) {
    std::memset(list->Buffer, int(VideoReadBits(r, 4)), count);
    return 1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoSymbolAvailable(r, &list->Tree, end)) return 0;
    list->Buffer[i] = uint8_t(VideoReadSymbol(r, &list->Tree));
  }
  return 1;
}

static const VideoListReader kListReaders[VideoListCount] = {
    VideoReadBlockTypes,   VideoReadBlockTypes,   VideoReadColours,
    VideoReadPatterns,     VideoReadMotionValues, VideoReadMotionValues,
    VideoReadDcIntra,      VideoReadDcInter,      VideoReadRuns,
};

// A finished list is never refilled again and every fetch finds it empty.
static void VideoFinishList(VideoBundle* list) {
  list->End = 0;
  list->Cursor = 1;
}

void VideoRefillBundles(VideoBundles* b, VideoBitReader* r, uint64_t end) {
  for (uint32_t i = 0; i < VideoListCount; ++i) {
    VideoBundle* list = &b->Lists[i];
    if (list->Cursor != list->End) continue;
    const uint32_t count = VideoReadBits(r, list->CountBits);
    if (count == 0 || count > list->Capacity) {
      VideoFinishList(list);
      continue;
    }
    if (!kListReaders[i](b, list, r, end, count)) {
      // The data has ended: the block loop decodes nothing more in this plane.
      VideoFinishList(list);
      return;
    }
    list->Cursor = 0;
    list->End = count;
  }
}
