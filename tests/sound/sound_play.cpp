// Plays a movie's sound in real time through the waveOut or the DirectSound back end, stepping the
// frames as a player does (the video is decoded, not shown), for the recording test under Wine:
//   vexa_sound_play MOVIE.vxa waveout|dsound [FRAMES]   (only the first FRAMES, as a warm-up)
// Prints "underruns N" (the movie's sound skips) and exits 0; exits 77 with the reason when the
// back end has no sound device, 1 on any other failure.
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
  if (m->NumOpenTracks == 0) {
    std::printf("no sound device: the %s back end opened no channel\n", argv[2]);
    MovieClose(m);
    return 77;
  }
  // Under Wine a device just opened loses about its first second while the server's stream starts.
  PlatformSleepMs(1000);
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
