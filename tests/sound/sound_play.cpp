// vexa_sound_play MOVIE.vxa waveout|dsound [FRAMES]: plays a movie's sound (the first FRAMES only)
// in real time through a Windows back end, stepping the frames as a player does, for the recording
// test under Wine. Prints "back end NAME, underruns N" (the sound skips) and exits 0; exits 77 with
// the reason when the back end has no sound device, 1 on any other failure.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "vexa/vexa.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4)
    return std::fprintf(stderr, "usage: vexa_sound_play MOVIE.vxa waveout|dsound [FRAMES]\n"), 1;
  if (!SoundSelect(std::strcmp(argv[2], "waveout") == 0 ? SoundUseWaveOut : SoundUseDirectSound))
    return std::printf("no sound device: the %s back end cannot be selected\n", argv[2]), 77;
  Movie* m = MovieOpen(argv[1], 0);
  if (!m) return std::fprintf(stderr, "%s: %s\n", argv[1], MovieGetError()), 1;
  if (m->NumOpenTracks == 0)
    return std::printf("no sound device: the %s back end opened no channel\n", argv[2]),
           MovieClose(m), 77;
  std::printf("back end %s, ", SoundBackEndName());
  const uint32_t frames = argc == 4 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : m->Frames;
  for (uint32_t k = 0; k < frames && k < m->Frames; ++k) {
    while (MovieWait(m)) PlatformSleepMs(1);  // pumps the sound while it waits
    if (!MovieFrameBegin(m, MovieTimerMs())) break;
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    MovieNextFrame(m);
  }
  PlatformSleepMs(1500);  // the service thread hands over the rest of the track; it plays out
  std::printf("underruns %u\n", m->SoundSkips);
  MovieClose(m);
  return 0;
}
