// A host for the player in the tests: a hand-driven clock, scripted window events, recorded calls,
// and the surfaces' display with counted DIB sections and recorded blits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/main_loop.h"

struct ScriptEvent {
  uint32_t AtMs;       // after the start of play
  uint32_t Character;  // a key, or one of the focus events below
};
constexpr uint32_t FocusLost = 1000, FocusGained = 1001;

struct Blit {
  uint32_t AtMs;
  bool Logo;
  uint64_t PictureHash;
};

struct FakeHost {
  std::vector<ScriptEvent> Script;
  uint32_t OversleepMs = 0;
  uint32_t Start = 0, Pumps = 0, TimerBegun = 0, TimerEnded = 0, Titles = 0;
  int32_t DestroyedAtMs = -1;
  int32_t LiveDibs = 0, LiveBlocks = 0;
  std::vector<Blit> Blits;
  std::vector<std::string> Messages;
  PlayerState* Player = nullptr;
};

extern FakeHost* Fake;
extern const PlayerHost FakePlayerHost;
// Binds the surfaces and the library's clock and allocator to the fake; ends with the fake.
void FakeHostBegin(FakeHost* fake);
void FakeHostEnd();
uint32_t FakeNowMs();  // ms since FakeHostBegin
uint64_t PictureHash(const uint8_t* bits, int32_t pitch, uint32_t rowBytes, uint32_t rows);
