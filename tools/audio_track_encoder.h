// A sound track encoded alongside a movie's pictures: each frame's packet carries the sound up to
// the frame's end time, and the last packet also what the audio encoder still holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/audio_encoder.h"
#include "encoder/movie_writer.h"
#include "tools/wav_reader.h"

struct AudioTrackEncoder {
  WavSound Sound;           // the whole track, interleaved 16-bit
  AudioEncoder Encoder{};
  bool Ready = false;
  uint64_t FramesTaken = 0;  // sample frames handed to the encoder so far
  uint32_t Largest = 0;      // the largest count of decoded bytes of any packet made so far
};

// Starts encoding t->Sound with the given variant flags and quality; fills the track's table
// entry (id, format with 16- or 8-bit output, and the largest packet one frame's sound makes, for
// checking the track before encoding) for a movie at rateNum/rateDen. Once every packet is made,
// Largest is the exact value for the entry's MaxBytes.
int AudioTrackStart(AudioTrackEncoder* t, uint32_t flags, uint32_t quality, uint32_t id,
                    uint32_t bits, uint32_t rateNum, uint32_t rateDen, MovieWriterTrack* entry,
                    std::string* error);
// The packet of video frame k (0-based).
std::vector<uint8_t> AudioTrackPacket(AudioTrackEncoder* t, uint32_t k, uint32_t rateNum,
                                      uint32_t rateDen);
// Adds what the encoder still holds to the last frame's packet.
void AudioTrackFinish(AudioTrackEncoder* t, std::vector<uint8_t>* lastPacket);
void AudioTrackFree(AudioTrackEncoder* t);
