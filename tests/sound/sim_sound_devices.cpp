// The simulated waveOut and DirectSound devices.
#include "tests/sound/sim_sound_devices.h"

#include <algorithm>
#include <cstring>

SimWaveOut gSimWaveOut;
SimDirectSound gSimDs;

namespace {

SimWaveOut& W = gSimWaveOut;
SimDirectSound& D = gSimDs;

const WaveOutDevice kWave = {
    [](void** device, uint32_t rate, uint32_t bits, uint32_t channels) {
      W.BytesPerSecond = rate * bits / 8 * channels;
      W.Opens += !W.Refuse;
      return W.Refuse ? 0 : (*device = W.Device = &W, 1);
    },
    [](void*, WaveHeader*) {}, [](void*, WaveHeader*) {},
    [](void*, WaveHeader* h) {
      if (W.Queue.empty()) W.PlayedAtClock = W.Clock;
      W.Queue.push_back(h);
      W.Advance(W.WriteMs);
    },
    [](void*) {
      for (WaveHeader* h : W.Queue) WaveHeaderSetDone(h, true);
      W.Queue.clear(), W.Offset = 0;
    },
    [](void*) { W.Paused = 1; }, [](void*) { W.Paused = 0, W.PlayedAtClock = W.Clock; },
    [](void*, uint32_t levels) { W.Levels = levels; }, [](void*) { W.Device = nullptr; }};

int32_t Lost() { return D.LostResults ? (D.LostResults--, kDsBufferLost) : kDsOk; }
int32_t Ok() { return kDsOk; }

const DirectSoundDevice kDs = {
    [] { return int(!D.Missing); },
    [](void** object) { return D.RefuseCreate ? -1 : (D.Objects++, *object = &D, kDsOk); },
    [](void*) { return Ok(); },
    [](void*, void** buffer) { return D.Primaries++, *buffer = &D.Primaries, kDsOk; },
    [](void*, const DirectSoundFormat*) { return Ok(); },
    [](void*, const DirectSoundFormat* f, uint32_t bytes, void** buffer) {
      if (D.RefuseSecondary) return -1;
      D.Ring.assign(bytes, 0x55);  // not silence: the back end must clear it
      D.BytesPerSecond = f->Rate * f->Bits / 8 * f->Channels;
      return *buffer = &D, kDsOk;
    },
    [](void*, uint32_t offset, uint32_t bytes, DirectSoundRegion* r) {
      const uint32_t size = uint32_t(D.Ring.size()), first = std::min(bytes, size - offset);
      if (offset >= size || bytes > size) return -1;
      *r = {D.Ring.data() + offset, first, bytes > first ? D.Ring.data() : nullptr, bytes - first};
      return Lost();
    },
    [](void*, const DirectSoundRegion*) { return Ok(); },
    [](void* buffer, uint32_t) {
      if (buffer != &D) return Ok();  // the primary
      const int32_t r = Lost();
      if (r == kDsOk) D.Plays++, D.Playing = 1;
      return r;
    },
    [](void*) { return D.Playing = 0, kDsOk; },
    [](void*, uint32_t* status) { return *status = D.Playing, kDsOk; },
    [](void*, uint32_t* play, uint32_t* write) {
      const uint32_t size = uint32_t(D.Ring.size());
      if (D.FastReads) D.FastReads--, D.Advance(6);
      *play = D.Play(), *write = (*play + D.WriteLead) % size, D.CursorReads++;
      if (D.JumpyReads) D.JumpyReads--, *play = (*play + size / 2 + 4096) % size;
      return kDsOk;
    },
    [](void*, uint32_t offset) { return D.PlayedUs = offset * 1000000ull / D.BytesPerSecond, 0; },
    [](void*) { return Ok(); }, [](void*, uint32_t) { return Ok(); },
    [](void*, int32_t pan) { return D.Pan = pan, kDsOk; },
    [](void*, int32_t volume) { return D.Volume = volume, kDsOk; },
    [](void* buffer) { D.Primaries -= buffer == &D.Primaries; }, [](void*) { D.Objects--; },
    [] { return D.Now; }, [](uint32_t ms) { D.Advance(ms); }};

}  // namespace

void SimWaveOut::Advance(uint32_t ms) {
  Clock += uint64_t{ms} * 1000;
  if (Paused || !Device) return;
  uint64_t due = (Clock - PlayedAtClock) * BytesPerSecond / 1000000;
  PlayedAtClock += due * 1000000 / BytesPerSecond;
  while (due && !Queue.empty()) {
    WaveHeader* h = Queue.front();
    const uint32_t take = uint32_t(std::min<uint64_t>(due, h->Length - Offset));
    Played.insert(Played.end(), h->Data + Offset, h->Data + Offset + take);
    Offset += take, due -= take;
    if (Offset == h->Length) WaveHeaderSetDone(h, true), Queue.pop_front(), Offset = 0;
  }
  if (Queue.empty()) Gaps += due != 0, PlayedAtClock = Clock;  // an idle device banks no time
}

uint32_t SimDirectSound::Play() const {
  return Ring.empty() ? 0 : uint32_t(PlayedUs * BytesPerSecond / 1000000 % Ring.size());
}

void SimDirectSound::Advance(uint32_t ms) {
  Now += ms;
  if (!Playing || Stalled || Ring.empty()) return;
  const uint64_t before = PlayedUs * BytesPerSecond / 1000000;
  uint32_t at = Play();
  PlayedUs += uint64_t{ms} * 1000;
  for (uint64_t n = PlayedUs * BytesPerSecond / 1000000 - before; n--; at = (at + 1) % uint32_t(Ring.size()))
    Played.push_back(Ring[at]);
}

void SimSoundReset() {
  W = SimWaveOut{};
  D = SimDirectSound{};
  WaveOutUseDevice(&kWave);
  DirectSoundUseDevice(&kDs);
}

uint32_t SimHandOver(AudioTrack* t, uint8_t value, uint32_t bytes) {
  uint8_t* region = nullptr;
  uint32_t size = 0;
  if (!t->Ops.SoundReady(t) || !t->Ops.SoundLock(t, &region, &size)) return 0;
  std::memset(region, value, bytes = std::min(bytes, size));
  return t->Ops.SoundUnlock(t, bytes) ? bytes : 0;
}

void SimMovie::Describe(uint32_t frames, uint32_t rate, uint32_t div, uint32_t maxBytes) {
  M = Movie{};
  M.Frames = frames, M.FrameRate = rate, M.FrameRateDiv = div;
  if (!(MaxBytes = maxBytes)) return;
  M.Tracks = Tracks, M.TrackIndices = &Index, M.NumTracks = 1, M.TrackMaxBytes = &MaxBytes;
}
