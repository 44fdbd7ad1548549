// The movie's total sound and the track's region limit, shared by the back ends.
#include "sound/sound_track.h"

#include "vexa/sound.h"

uint32_t SoundMovieTotalBytes(const Movie* m, uint32_t bytesPerSecond) {
  if (!m || m->FrameRate == 0 || m->FrameRateDiv == 0) return bytesPerSecond;
  const unsigned __int128 total =
      (unsigned __int128)m->Frames * m->FrameRateDiv * bytesPerSecond / m->FrameRate;
  return total > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(total);
}

uint32_t SoundTrackFileIndex(const AudioTrack* t, const Movie* m) {
  if (!m || !m->Tracks || !m->TrackIndices) return WAV_NO_TRACK;
  const uintptr_t base = reinterpret_cast<uintptr_t>(m->Tracks);
  const uintptr_t at = reinterpret_cast<uintptr_t>(t);
  if (at < base || (at - base) % sizeof(AudioTrack) != 0) return WAV_NO_TRACK;
  const uintptr_t slot = (at - base) / sizeof(AudioTrack);
  if (slot > m->NumOpenTracks) return WAV_NO_TRACK;
  const uint32_t index = m->TrackIndices[slot];
  return index < m->NumTracks ? index : WAV_NO_TRACK;
}

uint32_t SoundRegionLimit(const AudioTrack* t, const Movie* m, uint32_t bits, uint32_t frameBytes,
                          uint32_t limit) {
  const uint32_t fileIndex = SoundTrackFileIndex(t, m);
  if (fileIndex != WAV_NO_TRACK && m->TrackMaxBytes) {
    uint32_t share = m->TrackMaxBytes[fileIndex] / 8;
    if (bits == 8) share /= 2;
    if (share < limit) limit = share;
  }
  limit -= limit % frameBytes;
  return limit ? limit : frameBytes;
}
