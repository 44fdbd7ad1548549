// Plays a movie's sound through the waveOut or the DirectSound back end in real time, stepping the
// frames as a player does (its video is decoded and not shown), then waits for the device to play
// out (FRAMES: only the first so many, as a warm-up). For the recording test under Wine.
//
//   vexa_sound_play MOVIE.vxa waveout|dsound [FRAMES]
//
// Prints "underruns N" (the movie's sound skips) and exits 0; exits 77 with the reason when the
// back end has no sound device, 1 on any other failure.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "vexa/vexa.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: vexa_sound_play MOVIE.vxa waveout|dsound [FRAMES]\n");
    return 1;
  }
  const bool waveOut = std::strcmp(argv[2], "waveout") == 0;
  if (!SoundSelect(waveOut ? SoundUseWaveOut : SoundUseDirectSound)) {
    std::printf("no sound device: the %s back end cannot be selected\n", argv[2]);
    return 77;
  }
  Movie* m = MovieOpen(argv[1], 0);
  if (!m) {
    std::fprintf(stderr, "%s: %s\n", argv[1], MovieGetError());
    return 1;
  }
  if (m->NumOpenTracks == 0) {
    std::printf("no sound device: the %s back end opened no channel\n", argv[2]);
    MovieClose(m);
    return 77;
  }
  // Under Wine a sound device just opened often loses what is played in its first moments (up to
  // about a second, while the sound server's stream starts): give it a second before the first frame.
  PlatformSleepMs(1000);
  const uint32_t frames = argc == 4 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : m->Frames;
  for (uint32_t k = 0; k < frames && k < m->Frames; ++k) {
    while (MovieWait(m)) PlatformSleepMs(1);  // pumps the sound while it waits
    if (!MovieFrameBegin(m, MovieTimerMs())) break;
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    MovieNextFrame(m);
  }
  // The sound service thread hands over the last of the track; the device plays it out.
  PlatformSleepMs(1500);
  std::printf("underruns %u\n", m->SoundSkips);
  MovieClose(m);
  return 0;
}
