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

void VideoBundleBufferSizes(uint32_t width, uint64_t sizes[VideoBundleCount]) {
  const uint64_t w16 = (uint64_t(width) + 15) & ~uint64_t(15);
  const uint64_t b = w16 / 8;
  sizes[VideoBundleBlockTypes] = VideoCapacity(b);
  sizes[VideoBundleSubBlockTypes] = VideoCapacity(w16 / 16);
  sizes[VideoBundleColours] = VideoCapacity(b * 64) + 64;
  sizes[VideoBundlePatterns] = VideoCapacity(b * 8) + 8;
  sizes[VideoBundleXOffsets] = VideoCapacity(b);
  sizes[VideoBundleYOffsets] = VideoCapacity(b);
  sizes[VideoBundleDcIntra] = uint64_t(VideoDcCapacity(b)) * 2;
  sizes[VideoBundleDcInter] = uint64_t(VideoDcCapacity(b)) * 2;
  sizes[VideoBundleRuns] = VideoCapacity(b * 48) + 64;
}

void VideoBundleLimits(uint32_t planeWidth, VideoBundleKind kind, uint32_t* countBits,
                     uint32_t* capacity) {
  const uint32_t bw = planeWidth / 8;
  uint32_t n = bw;
  if (kind == VideoBundleSubBlockTypes) n = planeWidth / 16;
  if (kind == VideoBundleColours) n = bw * 64;
  if (kind == VideoBundlePatterns) n = bw * 8;
  if (kind == VideoBundleRuns) n = bw * 48;
  *countBits = VideoCountBits(n);
  const bool dc = kind == VideoBundleDcIntra || kind == VideoBundleDcInter;
  *capacity = dc ? VideoDcCapacity(bw) : VideoCapacity(n);
}

void VideoBundlesInit(VideoBundles* b, uint8_t* const buffers[VideoBundleCount],
                      uint32_t planeWidth, uint32_t oldColours) {
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    VideoBundle* bundle = &b->Bundles[i];
    *bundle = VideoBundle{};
    bundle->Buffer = buffers[i];
    VideoBundleLimits(planeWidth, VideoBundleKind(i), &bundle->CountBits, &bundle->Capacity);
  }
  b->LastHigh = 0;
  b->OldColours = oldColours;
}

void VideoReadBundleTrees(VideoBundles* b, VideoBitReader* r) {
  VideoReadCodeTree(r, &b->Bundles[VideoBundleBlockTypes].Tree);
  VideoReadCodeTree(r, &b->Bundles[VideoBundleSubBlockTypes].Tree);
  for (VideoCodeTree& tree : b->HighTrees) VideoReadCodeTree(r, &tree);
  VideoReadCodeTree(r, &b->Bundles[VideoBundleColours].Tree);
  VideoReadCodeTree(r, &b->Bundles[VideoBundlePatterns].Tree);
  VideoReadCodeTree(r, &b->Bundles[VideoBundleXOffsets].Tree);
  VideoReadCodeTree(r, &b->Bundles[VideoBundleYOffsets].Tree);
  VideoReadCodeTree(r, &b->Bundles[VideoBundleRuns].Tree);
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

// The bundle readers decode `count` values into bundle->Buffer; 0 means the data ended.
static int VideoReadBlockTypes(VideoBundles*, VideoBundle* bundle, VideoBitReader* r, uint64_t end,
                               uint32_t count) {
  uint8_t* out = bundle->Buffer;
  if (VideoReadBit(r)) {
    std::memset(out, int(VideoReadBits(r, 4)), count);
    return 1;
  }
  static const uint8_t runLengths[4] = {4, 8, 12, 32};
  const VideoCodeTree tree = bundle->Tree;  // a copy: the byte stores below cannot alias it
  uint8_t last = 0;
  for (uint32_t stored = 0; stored < count;) {
    if (!VideoSymbolAvailable(r, &tree, end)) return 0;
    const uint32_t symbol = VideoReadSymbol(r, &tree);
    if (symbol < 12) {
      last = uint8_t(symbol);
      out[stored++] = last;
      continue;
    }
    const uint32_t run = runLengths[symbol - 12];
    if (run > count - stored) break;  // the bundle keeps its count; the rest keeps old contents
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
  const VideoCodeTree* low = &b->Bundles[VideoBundleColours].Tree;
  if (!VideoSymbolAvailable(r, high, end)) return 0;
  const uint32_t h = VideoReadSymbol(r, high);
  if (!VideoSymbolAvailable(r, low, end)) return 0;
  const uint32_t v = h * 16 + VideoReadSymbol(r, low);
  b->LastHigh = h;
  *value = b->OldColours ? VideoOldColour(v) : uint8_t(v);
  return 1;
}

static int VideoReadColours(VideoBundles* b, VideoBundle* bundle, VideoBitReader* r, uint64_t end,
                            uint32_t count) {
  if (VideoReadBit(r)) {
    uint8_t value;
    if (!VideoReadColour(b, r, end, &value)) return 0;
    std::memset(bundle->Buffer, value, count);
    return 1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoReadColour(b, r, end, &bundle->Buffer[i])) return 0;
  }
  return 1;
}

static int VideoReadPatterns(VideoBundles*, VideoBundle* bundle, VideoBitReader* r, uint64_t end,
                             uint32_t count) {
  const VideoCodeTree tree = bundle->Tree;
  uint8_t* out = bundle->Buffer;
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoSymbolAvailable(r, &tree, end)) return 0;
    const uint32_t low = VideoReadSymbol(r, &tree);
    if (!VideoSymbolAvailable(r, &tree, end)) return 0;
    out[i] = uint8_t(low + 16 * VideoReadSymbol(r, &tree));
  }
  return 1;
}

static int VideoReadMotionValues(VideoBundles*, VideoBundle* bundle, VideoBitReader* r,
                                 uint64_t end, uint32_t count) {
  if (VideoReadBit(r)) {
    std::memset(bundle->Buffer, int(uint8_t(VideoReadSignedMagnitude(r, 4))), count);
    return 1;
  }
  const VideoCodeTree tree = bundle->Tree;
  uint8_t* out = bundle->Buffer;
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoSymbolAvailable(r, &tree, end)) return 0;
    int32_t v = int32_t(VideoReadSymbol(r, &tree));
    if (v != 0 && VideoReadBit(r)) v = -v;
    out[i] = uint8_t(v);
  }
  return 1;
}

static void VideoStoreDc(VideoBundle* bundle, uint32_t i, uint32_t value) {
  const uint16_t v = uint16_t(value);
  std::memcpy(bundle->Buffer + 2 * i, &v, 2);
}

// The first value, then groups of 8 differences that share one 4-bit width.
static int VideoReadDcs(VideoBitReader* r, VideoBundle* bundle, uint64_t end, uint32_t count,
                        uint32_t first) {
  uint32_t previous = first;
  VideoStoreDc(bundle, 0, previous);
  for (uint32_t i = 1; i < count;) {
    if (VideoWouldLoadPast(r, 4, end)) return 0;
    const uint32_t bits = VideoReadBits(r, 4);
    const uint32_t groupEnd = count - i < 8 ? count : i + 8;
    for (; i < groupEnd; ++i) {
      if (bits != 0) previous += uint32_t(VideoReadSignedMagnitude(r, bits));
      VideoStoreDc(bundle, i, previous);
    }
  }
  return 1;
}

static int VideoReadDcIntra(VideoBundles*, VideoBundle* bundle, VideoBitReader* r, uint64_t end,
                            uint32_t count) {
  return VideoReadDcs(r, bundle, end, count, VideoReadBits(r, 11));
}

static int VideoReadDcInter(VideoBundles*, VideoBundle* bundle, VideoBitReader* r, uint64_t end,
                            uint32_t count) {
  return VideoReadDcs(r, bundle, end, count, uint32_t(VideoReadSignedMagnitude(r, 10)));
}

static int VideoReadRuns(VideoBundles*, VideoBundle* bundle, VideoBitReader* r, uint64_t end,
                         uint32_t count) {
  if (VideoReadBit(r)) {
    std::memset(bundle->Buffer, int(VideoReadBits(r, 4)), count);
    return 1;
  }
  const VideoCodeTree tree = bundle->Tree;
  uint8_t* out = bundle->Buffer;
  for (uint32_t i = 0; i < count; ++i) {
    if (!VideoSymbolAvailable(r, &tree, end)) return 0;
    out[i] = uint8_t(VideoReadSymbol(r, &tree));
  }
  return 1;
}

// Decodes a refill of `count` values of bundle i; 0 means the data ended. A switch rather than a
// table: each reader is inlined, so the reader state it works on can stay in registers.
static int VideoReadBundle(VideoBundles* b, uint32_t i, VideoBitReader* r, uint64_t end,
                           uint32_t count) {
  VideoBundle* bundle = &b->Bundles[i];
  switch (i) {
    case VideoBundleBlockTypes:
    case VideoBundleSubBlockTypes:
      return VideoReadBlockTypes(b, bundle, r, end, count);
    case VideoBundleColours:
      return VideoReadColours(b, bundle, r, end, count);
    case VideoBundlePatterns:
      return VideoReadPatterns(b, bundle, r, end, count);
    case VideoBundleXOffsets:
    case VideoBundleYOffsets:
      return VideoReadMotionValues(b, bundle, r, end, count);
    case VideoBundleDcIntra:
      return VideoReadDcIntra(b, bundle, r, end, count);
    case VideoBundleDcInter:
      return VideoReadDcInter(b, bundle, r, end, count);
    default:
      return VideoReadRuns(b, bundle, r, end, count);
  }
}

// A finished bundle is never refilled again and every fetch finds it empty.
static void VideoFinishBundle(VideoBundle* bundle) {
  bundle->End = 0;
  bundle->Cursor = 1;
}

void VideoRefillBundles(VideoBundles* b, VideoBitReader* reader, uint64_t end) {
  // The readers work on a local copy of the reader: their stores into the value buffers (bytes)
  // could otherwise alias it and force it through memory after every value.
  VideoBitReader local = *reader;
  VideoBitReader* r = &local;
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    VideoBundle* bundle = &b->Bundles[i];
    if (bundle->Cursor != bundle->End) continue;
    const uint32_t count = VideoReadBits(r, bundle->CountBits);
    if (count == 0 || count > bundle->Capacity) {
      VideoFinishBundle(bundle);
      continue;
    }
    if (!VideoReadBundle(b, i, r, end, count)) {
      // The data has ended: the block loop decodes nothing more in this plane.
      VideoFinishBundle(bundle);
      break;
    }
    bundle->Cursor = 0;
    bundle->End = count;
  }
  *reader = local;
}
