// Writes movie files: header, track tables, key-flagged frame index and frame packets (each on an
// even offset). Tests, tools and the encoders use it to make movies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MovieWriterTrack {
  uint32_t Id;
  uint32_t Format;    // TrackAudio/TrackDct/TrackStereo/Track16Bit bits | sample rate
  uint32_t MaxBytes;  // bytes of decoded sound the track's ring must take (TrackMaxBytes)
};

struct MovieWriterConfig {
  char Version = 'i';
  uint32_t Width = 0, Height = 0;
  uint32_t FrameRate = 25, FrameRateDiv = 1;
  uint32_t VideoFlags = 0;
  std::vector<MovieWriterTrack> Tracks;
  uint32_t SpareIndexSlots = 0;  // index slots for frames not stored yet
};

// One frame: an audio packet per track (empty = no sound in this frame) and the video data.
struct MovieWriterFrame {
  std::vector<std::vector<uint8_t>> Audio;
  std::vector<uint8_t> Video;
  bool IsKey = true;
};

struct MovieWriter {
  MovieWriterConfig Config;
  std::vector<uint8_t> Packets;    // every packet, back to back
  std::vector<uint32_t> Starts;    // packet start within Packets, plus key bit
  uint32_t LargestFrame = 0;
};

void MovieWriterInit(MovieWriter* w, const MovieWriterConfig& config);
// Appends a frame packet; 0 when the frame has the wrong number of audio packets or the movie
// would pass the format's 32-bit offsets.
int MovieWriterAddFrame(MovieWriter* w, const MovieWriterFrame& frame);
// Lays out the whole file in memory.
std::vector<uint8_t> MovieWriterImage(const MovieWriter* w);
// Why the player could not play the movie as configured, or "" when it can: the frame rate
// must lie between one frame an hour and 1000 frames a second (the player's clock counts
// milliseconds), and each sound track's MaxBytes must fit the sound buffer the player allows a
// track, two seconds of its sound (a larger track would be dropped without a word).
std::string MovieWriterCheck(const MovieWriterConfig& config);
// Writes the file; 0 with a message in *error on failure.
int MovieWriterSave(const MovieWriter* w, const std::string& path, std::string* error);

// Little-endian helpers for building packets.
void PutLe32(std::vector<uint8_t>* out, uint32_t value);
