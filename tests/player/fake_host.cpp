#include "tests/player/fake_host.h"

#include <cstdlib>

#include "surface/display_device.h"
#include "surface/surface.h"
#include "tests/support/test_support.h"

FakeHost* Fake = nullptr;

namespace {

DisplayDevice Display;
int Window;

uint64_t SurfaceHash(const Surface* s) {
  return PictureHash(s->DibBits, int32_t(s->DibPitch), s->Width * (s->ScreenBits / 8), s->Height);
}

HostPump Pump() {
  PlayerState* p = Fake->Player;
  if (++Fake->Pumps > 20000) return HostPumpQuit;  // a runaway loop ends the test
  if (Fake->DestroyedAtMs >= 0) return HostPumpQuit;
  if (Fake->Script.empty() || FakeNowMs() < Fake->Script.front().AtMs) return HostPumpNone;
  const uint32_t c = Fake->Script.front().Character;
  Fake->Script.erase(Fake->Script.begin());
  if (c == FocusLost || c == FocusGained) PlayerFocusEvent(p, c == FocusGained);
  else PlayerCharEvent(p, c);
  return HostPumpDispatched;
}

}  // namespace

uint32_t FakeNowMs() { return MovieTimerMs() - Fake->Start; }

uint64_t PictureHash(const uint8_t* bits, int32_t pitch, uint32_t rowBytes, uint32_t rows) {
  uint64_t h = 1469598103934665603ull;
  for (uint32_t y = 0; y < rows; ++y)
    for (uint32_t x = 0; x < rowBytes; ++x) h = (h ^ bits[int64_t(y) * pitch + x]) * 1099511628211ull;
  return h;
}

const PlayerHost FakePlayerHost = {
    [](const HostWindowLook*) { return 1; },
    [](const HostWindowLook*, PlayerState* p) -> void* { Fake->Player = p; return &Window; },
    [](void*) { Fake->DestroyedAtMs = int32_t(FakeNowMs()); },
    [](void*, int) {},
    [](void*, const HostRect*) {},
    [](void*, int32_t* x, int32_t* y) { *x = *y = 0; },
    [](void*) { return 0; },
    [](void*) { return 1; },
    [](void*, const char*) { ++Fake->Titles; },
    [](void*, const HostRect*) {},
    [](void*, const HostRect*, int) {},
    [](void*) {},
    [] {},
    Pump,
    [](uint32_t ms) { TestClockAdvance(ms + Fake->OversleepMs); },
    [] { return MovieTimerMs(); },
    [] { ++Fake->TimerBegun; },
    [] { ++Fake->TimerEnded; },
    [](const char*, const char* text, HostIcon) { Fake->Messages.push_back(text); },
    [](void*, const char*, int32_t* w, int32_t* h) { *w = 600, *h = 16; },
    [](void*, const char*, const HostRect*, int32_t) {},
    [](const char*, uint32_t, void**) { return 0; },
    [](void*) {},
    [](char* name, uint32_t) { name[0] = 0; },
    [](char* text, uint32_t) { text[0] = 0; },
    [](uint32_t* w, uint32_t* h) { *w = 1920, *h = 1080; },
    [] { return 1u; },
    [](const char*) {},
    [](int) {},
    nullptr,
    nullptr,
};

void FakeHostBegin(FakeHost* fake) {
  Fake = fake;
  TestClockUse(true);
  fake->Start = MovieTimerMs();
  Display = *DisplayPlatformDevice();
  Display.CreateDib = [](void* w, const DibHeader* h, void** dc, void** dib, uint8_t** bits,
                         void** old) {
    Fake->LiveDibs++;
    return DisplayPlatformDevice()->CreateDib(w, h, dc, dib, bits, old);
  };
  Display.DeleteDib = [](void* dc, void* dib, void* old) {
    Fake->LiveDibs--;
    DisplayPlatformDevice()->DeleteDib(dc, dib, old);
  };
  Display.StretchDib = [](void*, void*, const DisplayRect*, const DisplayRect*, uint32_t) {
    const PlayerState* p = Fake->Player;
    Fake->Blits.push_back({FakeNowMs(), p->LogoPlaying, SurfaceHash(p->CurrentSurface)});
  };
  DisplayUseDevice(&Display);
  MovieSetAllocator(
      [](uint32_t bytes) -> void* {
        Fake->LiveBlocks++;
#ifdef _WIN32  // the Windows C runtime has no aligned_alloc
        return _aligned_malloc(bytes, 32);
#else
        return std::aligned_alloc(32, (size_t(bytes) + 31) / 32 * 32);
#endif
      },
      [](void* block) {
        Fake->LiveBlocks--;
#ifdef _WIN32
        _aligned_free(block);
#else
        std::free(block);
#endif
      });
}

void FakeHostEnd() {
  MovieSetAllocator(nullptr, nullptr);
  DisplayUseDevice(nullptr);
  TestClockUse(false);
  Fake = nullptr;
}
