// Hooks for the tests, read from the environment at start-up:
//   VEXAPLAY_TEST_KEYS=MS:KEY,...  pushes a key-down event (KEY: space, enter, escape or period)
//                                  MS milliseconds after the first movie frame was shown
//   VEXAPLAY_TEST_DUMP=FRAME:FILE  writes the window's content as a binary PPM at every present
//                                  while the movie's frame FRAME is shown (the last one wins)
//   VEXAPLAY_TEST_LOG=FILE         one line per present: "MONOTONIC_MS FRAME" (FRAME 0 for the
//                                  closing logo)
//   VEXAPLAY_TEST_SOUND_LOG=FILE   with SDL's disk audio driver: "MONOTONIC_MS BYTES" whenever the
//                                  file it plays into (SDL_DISKAUDIOFILE) has grown, checked at
//                                  every pass of the main loop; on the presents' clock, this tells
//                                  when each byte of sound was played
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "player/player_state.h"
#include "player/sdl/sdl_host.h"

namespace {

struct ScriptedKey {
  uint32_t AtMs;
  SDL_Keycode Key;
};

struct Hooks {
  std::vector<ScriptedKey> Keys;
  size_t NextKey = 0;
  uint32_t FirstFrameMs = 0;
  bool FrameShown = false;
  uint32_t DumpFrame = 0;
  char DumpPath[512] = "";
  FILE* Log = nullptr;
  FILE* SoundLog = nullptr;
  const char* SoundFile = nullptr;
  long long SoundBytes = -1;
};

Hooks gHooks;

SDL_Keycode KeyNamed(const char* name, size_t length) {
  static const struct {
    const char* Name;
    SDL_Keycode Key;
  } names[] = {{"space", SDLK_SPACE}, {"enter", SDLK_RETURN}, {"escape", SDLK_ESCAPE},
               {"period", SDLK_PERIOD}};
  for (const auto& n : names)
    if (std::strlen(n.Name) == length && !std::strncmp(n.Name, name, length)) return n.Key;
  return SDLK_UNKNOWN;
}

void ParseKeys(const char* text) {
  while (text && *text) {
    char* end = nullptr;
    const unsigned long ms = std::strtoul(text, &end, 10);
    if (*end != ':') break;
    const char* name = end + 1;
    const size_t length = std::strcspn(name, ",");
    gHooks.Keys.push_back({uint32_t(ms), KeyNamed(name, length)});
    text = name[length] ? name + length + 1 : nullptr;
  }
}

const Movie* ShownMovie() {
  const PlayerState* p = gSdlHost.Player;
  return p && !p->LogoPlaying ? p->CurrentMovie : nullptr;
}

double MonotonicMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

void WritePpm(SdlCanvas* c, const char* path) {
  std::vector<uint8_t> rgb(size_t(c->Width) * size_t(c->Height) * 3);
  if (rgb.empty() ||
      SDL_RenderReadPixels(c->Renderer, nullptr, SDL_PIXELFORMAT_RGB24, rgb.data(), c->Width * 3))
    return;
  if (FILE* f = std::fopen(path, "wb")) {
    std::fprintf(f, "P6\n%d %d\n255\n", c->Width, c->Height);
    std::fwrite(rgb.data(), 1, rgb.size(), f);
    std::fclose(f);
  }
}

}  // namespace

void SdlTestHooksBegin() {
  gHooks = Hooks{};
  ParseKeys(std::getenv("VEXAPLAY_TEST_KEYS"));
  if (const char* dump = std::getenv("VEXAPLAY_TEST_DUMP")) {
    char* end = nullptr;
    gHooks.DumpFrame = uint32_t(std::strtoul(dump, &end, 10));
    if (*end == ':') std::snprintf(gHooks.DumpPath, sizeof gHooks.DumpPath, "%s", end + 1);
  }
  if (const char* log = std::getenv("VEXAPLAY_TEST_LOG")) gHooks.Log = std::fopen(log, "w");
  gHooks.SoundFile = std::getenv("SDL_DISKAUDIOFILE");
  if (const char* log = std::getenv("VEXAPLAY_TEST_SOUND_LOG"); log && gHooks.SoundFile)
    gHooks.SoundLog = std::fopen(log, "w");
}

namespace {

void LogSoundGrowth() {
  struct stat s {};
  if (!gHooks.SoundLog || stat(gHooks.SoundFile, &s) != 0 || s.st_size == gHooks.SoundBytes) return;
  gHooks.SoundBytes = s.st_size;
  std::fprintf(gHooks.SoundLog, "%.3f %lld\n", MonotonicMs(), gHooks.SoundBytes);
  std::fflush(gHooks.SoundLog);
}

}  // namespace

void SdlTestHooksPump() {
  LogSoundGrowth();
  if (!gHooks.FrameShown || gHooks.NextKey == gHooks.Keys.size()) return;
  const ScriptedKey& k = gHooks.Keys[gHooks.NextKey];
  if (MovieTimerMs() - gHooks.FirstFrameMs < k.AtMs) return;
  gHooks.NextKey++;
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = k.Key;
  SDL_PushEvent(&e);
}

void SdlTestHooksPresented(SdlCanvas* c) {
  const Movie* m = ShownMovie();
  const uint32_t frame = m ? m->FrameNum : 0;
  if (frame && !gHooks.FrameShown) {
    gHooks.FrameShown = true;
    gHooks.FirstFrameMs = MovieTimerMs();
  }
  if (gHooks.Log) {
    std::fprintf(gHooks.Log, "%.3f %u\n", MonotonicMs(), frame);
    std::fflush(gHooks.Log);
  }
  if (gHooks.DumpPath[0] && frame == gHooks.DumpFrame) WritePpm(c, gHooks.DumpPath);
}
