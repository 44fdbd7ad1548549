// The entry points of the fuzz targets. Each takes one input of any size and content and runs it
// through the library; the libFuzzer targets call them, and the regression test replays kept
// inputs through the very same functions.
#pragma once

#include <cstddef>
#include <cstdint>

// A movie file image opened with OpenFromMemory: every frame decoded whole and split, copied to a
// rotating surface type, scaling mode and pitch, then closed.
void FuzzMovieMemory(const uint8_t* data, size_t size);
// The same movie read through a custom stream opener (OpenCustomStream) that serves the input,
// sometimes preloaded, sometimes with short reads from a point of the file on; on Linux half of
// the inputs go through the built-in file reader and its read-ahead ring instead (OpenFromHandle
// on an in-memory file).
void FuzzMovieStream(const uint8_t* data, size_t size);
// A movie whose sound tracks open on the WAV back end writing into memory; every frame's sound is
// decoded and pumped, the WAV files' headers checked at close.
void FuzzMovieSound(const uint8_t* data, size_t size);
// A plane decode from raw bytes: the first 6 bytes choose the plane's size, pitch, revision and
// change map, the rest is the plane's bit stream.
void FuzzPlane(const uint8_t* data, size_t size);
// Audio blocks from raw bytes: the first 4 bytes choose rate, channels and variant, the rest is
// decoded block after block.
void FuzzAudioBlock(const uint8_t* data, size_t size);

struct FuzzTarget {
  const char* Name;  // the target's name: fuzz_<Name>, corpus and regression directory <Name>
  void (*Run)(const uint8_t* data, size_t size);
};
extern const FuzzTarget kFuzzTargets[];
extern const size_t kFuzzTargetCount;

// Caps of what the targets accept. They bound the memory and time of one input; the library
// itself accepts far larger movies.
constexpr uint64_t kFuzzMaxPixels = 1u << 16;        // file width x height of a movie
constexpr uint32_t kFuzzMaxFrames = 32;              // frames stepped through per movie
constexpr uint32_t kFuzzMaxBlock = 64u << 20;        // one library allocation
// Uncapped mode: the largest block a movie of the capped picture needs whatever its data (planes
// and decoder scratch, a sound ring of two seconds, the smallest read-ahead ring), plus this many
// bytes per input byte.
constexpr uint64_t kFuzzUncappedFloor = 8u << 20;
constexpr uint64_t kFuzzUncappedPerByte = 16;
constexpr uint32_t kFuzzMaxPlaneWidth = 1024;        // plane target
constexpr uint32_t kFuzzMaxPlaneHeight = 256;
