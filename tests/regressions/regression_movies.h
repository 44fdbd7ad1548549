// Movies and sound capture shared by the regression tests.
#pragma once

#include <vector>

#include "vexa/movie.h"
#include "vexa/sound.h"

constexpr uint32_t kPcmPerFrame = 882;  // stereo sample frames per video frame (22050 Hz, 25 fps)

// A real movie made by our encoders: 64 x 48, `frames` frames at 25 fps, one stereo track id 7.
std::vector<uint8_t> MakeEncodedMovie(char version, uint32_t frames);

// While it exists, the WAV back end is selected and writes its (one) track into Bytes.
struct WavCapture {
  std::vector<uint8_t> Bytes = std::vector<uint8_t>(1u << 20);
  WavMemory Memory{};
  WavCapture() {
    WavSetSinkChooser(
        [](void* user, Movie*, uint32_t, WavSink* sink) {
          WavCapture* c = static_cast<WavCapture*>(user);
          c->Memory = WavMemory{c->Bytes.data(), c->Bytes.size(), 0, 0, 0};
          return WavMemorySink(&c->Memory, sink), 1;
        },
        this);
    SoundSelect(SoundUseWav);
  }
  ~WavCapture() { SoundSelect(nullptr), WavSetSinkChooser(nullptr, nullptr); }
};
