// Choosing a movie's sound tracks and opening each on the selected sound back end. A track that
// cannot be used is dropped silently: the movie plays with the others, or without sound.
#include <atomic>
#include <cstring>

#include "audio/audio_decoder.h"
#include "core/movie_internal.h"
#include "core/movie_pending.h"
#include "core/sound_pump.h"
#include "io/service.h"
#include "platform/mem.h"

namespace {

constexpr uint32_t kMaxOutputRate = 256000;
constexpr uint32_t kLeadInMs = 750;

// Sound tracks open in all movies: the sound back end may not be switched while any is.
std::atomic<uint32_t> gOpenSoundTracks{0};

struct TrackShape {
  uint32_t rate, bits, channels, outputRate;
  uint64_t ringBytes;  // without the 16 bytes of slack
};

// The sample rate at which the sound keeps pace with the playback frame rate. Played as fast as
// possible (no playback rate), the file's rate is kept.
uint32_t OutputRate(const Movie* m, uint32_t rate) {
  if (m->FrameRate == 0 || m->FrameRateDiv == 0) return rate;
  double r = double(rate) * m->FileFrameRateDiv * m->FrameRate /
             (double(m->FileFrameRate) * m->FrameRateDiv);
  return r >= kMaxOutputRate ? kMaxOutputRate : uint32_t(r);
}

// Frames after this form the end zone, the last 3/4 second, where partial chunks are handed over.
uint32_t EndFrame(const Movie* m) {
  uint32_t zone = uint32_t(uint64_t(m->FileFrameRate) * 3 / (uint64_t(m->FileFrameRateDiv) * 4));
  return m->Frames > zone ? m->Frames - zone : 0;
}

// Decides whether file track i can be played and with what shape; 0 = drop it.
int ShapeTrack(const Movie* m, uint32_t i, TrackShape* s) {
  const uint32_t format = m->TrackFormats[i];
  s->rate = format & TrackRateMask;
  if (!(format & (TrackAudio | TrackDct)) || !MovieSoundOpener() || s->rate == 0) return 0;
  s->ringBytes = ((uint64_t(m->TrackMaxBytes[i]) * 5) / 4 + 255) & ~uint64_t(255);
  s->bits = (format & Track16Bit) ? 16 : 8;
  s->channels = (format & TrackStereo) ? 2 : 1;
  s->outputRate = OutputRate(m, s->rate);
  // A ring of more than two seconds of the file's sound is refused.
  return s->ringBytes <= uint64_t(s->channels) * s->bits * s->rate * 2 / 8;
}

void SetLeadIn(AudioTrack* t, const TrackShape* s) {
  uint32_t lead = t->LatencyMs < kLeadInMs ? kLeadInMs - t->LatencyMs : 0;
  uint64_t bytes = (uint64_t(lead) * s->outputRate * s->channels * 2 / 1000) & ~uint64_t(3);
  t->LeadInBytes = bytes < t->PcmRingBytes - 16 ? uint32_t(bytes) : t->PcmRingBytes - 16;
}

// Opens one track into the record t: channel, ring, decoder. 0 = dropped (nothing left open).
int OpenTrack(Movie* m, uint32_t i, AudioTrack* t) {
  TrackShape s;
  if (!ShapeTrack(m, i, &s)) return 0;
  if (!MovieSoundOpener()(t, s.outputRate, s.bits, s.channels, m->OpenFlags, m)) return 0;
  t->FileRate = s.rate;
  if (t->SampleMask == 0) t->SampleMask = 0xFFFFFFFFu;
  t->PcmRingBytes = uint32_t(s.ringBytes) + 16;
  t->PcmRing = static_cast<uint8_t*>(MemAlloc(t->PcmRingBytes));
  if (!t->PcmRing) {
    if (t->Ops.SoundClose) t->Ops.SoundClose(t);
    return 0;
  }
  m->TotalMemory += t->PcmRingBytes;
  t->Narrow8 = s.bits == 8;
  t->PcmRingEnd = t->PcmRing + t->PcmRingBytes;
  t->PcmWrite = t->PcmRead = t->PcmRing;
  SetLeadIn(t, &s);
  const uint32_t format = m->TrackFormats[i];
  const bool dct = !(format & TrackAudio) && (format & TrackDct);
  t->Decoder = AudioDecoderOpen(s.rate, s.channels, dct ? AudioFlagDct : 0);
  if (!t->Decoder) {
    if (t->Ops.SoundClose) t->Ops.SoundClose(t);
    MemFree(t->PcmRing);
    *t = AudioTrack{};
    return 0;
  }
  t->EndFrame = EndFrame(m);
  if (t->SpeedFactor == 0) t->SpeedFactor = 0x10000;
  gOpenSoundTracks.fetch_add(1);
  return 1;
}

}  // namespace

void MovieSelectTracks(Movie* m, const uint32_t* ids, uint32_t count) {
  m->NumOpenTracks = 0;
  for (uint32_t k = 0; k < count; ++k)
    for (uint32_t i = 0; i < m->NumTracks; ++i)
      if (m->TrackIds[i] == ids[k]) {
        m->TrackIndices[m->NumOpenTracks++] = i;
        break;
      }
}

void MovieOpenTracks(Movie* m) {
  uint32_t selected = m->NumOpenTracks;
  m->NumOpenTracks = 0;
  for (uint32_t k = 0; k < selected; ++k) {
    uint32_t i = m->TrackIndices[k];
    // The slot's file track index is in place while the back end opens it (a back end may
    // look up the track's identifier); a dropped track's slot is reused by the next one.
    m->TrackIndices[m->NumOpenTracks] = i;
    if (OpenTrack(m, i, &m->Tracks[m->NumOpenTracks])) m->NumOpenTracks++;
  }
  if (m->NumOpenTracks == 0) {
    m->Tracks[0] = AudioTrack{};
    m->Tracks[0].SpeedFactor = 0x10000;
    return;
  }
  m->SoundOn = 1;
  m->SoundNode.Owner = m;
  if (!m->Tracks[0].SelfFed)
    ServiceJoinSound(&m->SoundNode, SoundNodeNeed, SoundNodeServe);
}

void MovieCloseTracks(Movie* m) {
  for (uint32_t k = 0; k < m->NumOpenTracks; ++k) {
    AudioTrack* t = &m->Tracks[k];
    if (t->Ops.SoundClose) t->Ops.SoundClose(t);
    MemFree(t->Decoder);
    MemFree(t->PcmRing);
    gOpenSoundTracks.fetch_sub(1);
  }
  m->NumOpenTracks = 0;
}

uint32_t MovieOpenSoundTracks() { return gOpenSoundTracks.load(); }
