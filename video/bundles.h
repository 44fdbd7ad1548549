// The nine bundles of a plane decode: lists of block parameters decoded a block row at a time
// from the plane's bit stream and handed out by cursor.
#pragma once

#include <cstdint>

#include "video/bit_reader.h"
#include "video/code_tables.h"

// The bundles in the order in which they are refilled (and in which their buffers are passed).
enum VideoBundleKind : uint32_t {
  VideoBundleBlockTypes = 0,
  VideoBundleSubBlockTypes,
  VideoBundleColours,
  VideoBundlePatterns,
  VideoBundleXOffsets,
  VideoBundleYOffsets,
  VideoBundleDcIntra,
  VideoBundleDcInter,
  VideoBundleRuns,
  VideoBundleCount
};

// A fetch from an exhausted bundle restarts at this entry and hands out what the buffer holds.
constexpr uint32_t kVideoBundleRestartBytes = 4;

struct VideoBundle {
  uint8_t* Buffer;     // one byte per value; the DC bundles hold 16-bit values
  uint32_t Cursor;     // next value to hand out (an entry index)
  uint32_t End;        // values of the last refill; a finished bundle has Cursor > End = 0
  uint32_t CountBits;  // width of the count read at each refill
  uint32_t Capacity;   // largest count accepted, in entries
  VideoCodeTree Tree;  // unused by the DC bundles
};

struct VideoBundles {
  VideoBundle Bundles[VideoBundleCount];
  VideoCodeTree HighTrees[16];  // colour high nibble, by the previous high nibble
  uint32_t LastHigh;
  uint32_t OldColours;  // revisions before 'i' store colours as offsets from 128
};

// Bytes each bundle buffer needs for pictures up to `width` pixels wide (the movie's width), in
// bundle order. The Colours, Patterns and Runs buffers carry slack so that a block may take a whole
// group of values past the end of the bundle without a test per value.
void VideoBundleBufferSizes(uint32_t width, uint64_t sizes[VideoBundleCount]);

// The width of a bundle's count and the largest count accepted (in values) for a plane
// `planeWidth` pixels wide; an encoder writes its bundles within these limits.
void VideoBundleLimits(uint32_t planeWidth, VideoBundleKind kind, uint32_t* countBits,
                     uint32_t* capacity);

// Prepares the bundles of a plane `planeWidth` pixels wide over the (zero-filled) buffers.
void VideoBundlesInit(VideoBundles* b, uint8_t* const buffers[VideoBundleCount],
                      uint32_t planeWidth, uint32_t oldColours);
// Reads the plane's code trees (before its first block row).
void VideoReadBundleTrees(VideoBundles* b, VideoBitReader* r);
// Refills, in bundle order, every bundle whose values have all been handed out. `end` is the end of
// the plane's data: a bundle reader that would load a word at or past it finishes the bundle.
void VideoRefillBundles(VideoBundles* b, VideoBitReader* r, uint64_t end);

inline bool VideoBundleEmpty(const VideoBundle* bundle) { return bundle->Cursor >= bundle->End; }

// Takes n consecutive byte values with one test: an exhausted bundle restarts at byte 4; the take
// then runs on without further tests (the buffer's slack covers it).
inline const uint8_t* VideoTakeBytes(VideoBundle* bundle, uint32_t n) {
  if (bundle->Cursor >= bundle->End) bundle->Cursor = kVideoBundleRestartBytes;
  const uint8_t* values = bundle->Buffer + bundle->Cursor;
  bundle->Cursor += n;
  return values;
}

inline uint32_t VideoTakeByte(VideoBundle* bundle) { return *VideoTakeBytes(bundle, 1); }

inline uint32_t VideoTakeDc(VideoBundle* bundle) {
  if (bundle->Cursor >= bundle->End) bundle->Cursor = kVideoBundleRestartBytes / 2;
  uint16_t value;
  std::memcpy(&value, bundle->Buffer + 2 * bundle->Cursor, 2);
  ++bundle->Cursor;
  return value;
}
