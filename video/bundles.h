// The nine value lists of a plane decode: block parameters decoded a block row at a time from the
// plane's bit stream and handed out by cursor.
#pragma once

#include <cstdint>

#include "video/bit_reader.h"
#include "video/code_tables.h"

// The lists in the order in which they are refilled (and in which their buffers are passed).
enum VideoListKind : uint32_t {
  VideoListBlockTypes = 0,
  VideoListSubBlockTypes,
  VideoListColours,
  VideoListPatterns,
  VideoListXOffsets,
  VideoListYOffsets,
  VideoListDcIntra,
  VideoListDcInter,
  VideoListRuns,
  VideoListCount
};

// A fetch from an exhausted list restarts at this entry and hands out what the buffer holds.
constexpr uint32_t VideoListRestartBytes = 4;

struct VideoBundle {
  uint8_t* Buffer;     // one byte per value; the DC lists hold 16-bit values
  uint32_t Cursor;     // next value to hand out (an entry index)
  uint32_t End;        // values of the last refill; a finished list has Cursor > End = 0
  uint32_t CountBits;  // width of the count read at each refill
  uint32_t Capacity;   // largest count accepted, in entries
  VideoCodeTree Tree;  // unused by the DC lists
};

struct VideoBundles {
  VideoBundle Lists[VideoListCount];
  VideoCodeTree HighTrees[16];  // colour high nibble, by the previous high nibble
  uint32_t LastHigh;
  uint32_t OldColours;  // revisions before 'i' store colours as offsets from 128
};

// Bytes each list buffer needs for pictures up to `width` pixels wide (the movie's width), in
// list order. The Colours, Patterns and Runs buffers carry slack so that a block may take a whole
// group of values past the end of the list without a test per value.
void VideoListBufferSizes(uint32_t width, uint64_t sizes[VideoListCount]);

// The width of a list's count and the largest count accepted (in values) for a plane
// `planeWidth` pixels wide; an encoder writes its lists within these limits.
void VideoListLimits(uint32_t planeWidth, VideoListKind kind, uint32_t* countBits,
                     uint32_t* capacity);

// Prepares the lists of a plane `planeWidth` pixels wide over the (zero-filled) buffers.
void VideoBundlesInit(VideoBundles* b, uint8_t* const buffers[VideoListCount], uint32_t planeWidth,
                      uint32_t oldColours);
// Reads the plane's code trees (before its first block row).
void VideoReadBundleTrees(VideoBundles* b, VideoBitReader* r);
// Refills, in list order, every list whose values have all been handed out. `end` is the end of
// the plane's data: a list reader that would load a word at or past it finishes the list.
void VideoRefillBundles(VideoBundles* b, VideoBitReader* r, uint64_t end);

inline bool VideoBundleEmpty(const VideoBundle* list) { return list->Cursor >= list->End; }

// Takes n consecutive byte values with one test: an exhausted list restarts at byte 4; the take
// then runs on without further tests (the buffer's slack covers it).
inline const uint8_t* VideoTakeBytes(VideoBundle* list, uint32_t n) {
  if (list->Cursor >= list->End) list->Cursor = VideoListRestartBytes;
  const uint8_t* values = list->Buffer + list->Cursor;
  list->Cursor += n;
  return values;
}

inline uint32_t VideoTakeByte(VideoBundle* list) { return *VideoTakeBytes(list, 1); }

inline uint32_t VideoTakeDc(VideoBundle* list) {
  if (list->Cursor >= list->End) list->Cursor = VideoListRestartBytes / 2;
  uint16_t value;
  std::memcpy(&value, list->Buffer + 2 * list->Cursor, 2);
  ++list->Cursor;
  return value;
}
