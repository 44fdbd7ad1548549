// Choosing the sound back end: the selector's open function becomes the one MovieOpen uses.
#include "core/movie_internal.h"
#include "core/movie_pending.h"
#include "vexa/sound.h"

namespace {

// The selector used last; a different one may not take over while any sound track is open,
// since the open tracks' channels belong to the back end it chose.
SoundSelector gLastSelector = nullptr;

}  // namespace

int SoundSelect(SoundSelector selector) {
  if (selector != gLastSelector && MovieOpenSoundTracks() != 0) return 0;
  gLastSelector = selector;
  if (!selector) {
    MovieSetSoundOpenFunc(nullptr);
    return 1;
  }
  SoundOpenFunction open = selector(nullptr);
  if (!open) return 0;
  MovieSetSoundOpenFunc(open);
  return 1;
}

SoundSelector SoundSelected(void) { return gLastSelector; }

const char* SoundBackEndName(void) {
  const SoundOpenFunction open = MovieSoundOpener();
  if (!open) return "none";
  if (open == WaveOutChannelOpen) return "waveOut";
  if (open == DirectSoundChannelOpen) return "DirectSound";
  if (open == WavChannelOpen) return "WAV file";
  return "the application's";
}
