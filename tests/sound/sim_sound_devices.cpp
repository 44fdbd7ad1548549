// The simulated waveOut and DirectSound devices.
#include "tests/sound/sim_sound_devices.h"

#include <algorithm>
#include <cstring>

SimWaveOut gSimWaveOut;
SimDirectSound gSimDs;

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
    if (Offset == h->Length) {
      WaveHeaderSetDone(h, true);
      Queue.pop_front();
      Offset = 0;
    }
  }
  if (Queue.empty()) PlayedAtClock = Clock;  // an idle device does not bank time
}

namespace {

SimWaveOut& W = gSimWaveOut;
SimDirectSound& D = gSimDs;

const WaveOutDevice kWave = {
    [](void** device, uint32_t rate, uint32_t bits, uint32_t channels) {
      if (W.Refuse) return 0;
      W.Opens++;
      W.BytesPerSecond = rate * bits / 8 * channels;
      W.PlayedAtClock = W.Clock;
      *device = W.Device = &W;
      return 1;
    },
    [](void*, WaveHeader*) {}, [](void*, WaveHeader*) {},
    [](void*, WaveHeader* h) {
      if (W.Queue.empty()) W.PlayedAtClock = W.Clock;
      W.Queue.push_back(h);
    },
    [](void*) {
      for (WaveHeader* h : W.Queue) WaveHeaderSetDone(h, true);
      W.Queue.clear();
      W.Offset = 0;
    },
    [](void*) { W.Paused = 1; },
    [](void*) { W.Paused = 0, W.PlayedAtClock = W.Clock; },
    [](void*, uint32_t levels) { W.Levels = levels; },
    [](void*) { W.Device = nullptr; }};

int32_t Lost() {
  if (!D.LostResults) return kDsOk;
  D.LostResults--;
  return kDsBufferLost;
}

const DirectSoundDevice kDs = {
    [] { return D.Missing ? 0 : 1; },
    [](void** object) {
      if (D.RefuseCreate) return int32_t(-1);
      D.Objects++;
      *object = &D;
      return kDsOk;
    },
    [](void*) { return kDsOk; },
    [](void*, void** buffer) {
      D.Primaries++;
      *buffer = &D.Primaries;
      return kDsOk;
    },
    [](void*, const DirectSoundFormat*) { return kDsOk; },
    [](void*, const DirectSoundFormat* f, uint32_t bytes, void** buffer) {
      if (D.RefuseSecondary) return int32_t(-1);
      D.Ring.assign(bytes, 0x55);  // not silence: the back end must clear it
      D.BytesPerSecond = f->Rate * f->Bits / 8 * f->Channels;
      *buffer = &D;
      return kDsOk;
    },
    [](void*, uint32_t offset, uint32_t bytes, DirectSoundRegion* r) {
      if (const int32_t lost = Lost()) return lost;
      const uint32_t size = uint32_t(D.Ring.size());
      if (offset >= size || bytes > size) return int32_t(-1);
      D.Locks++;
      const uint32_t first = std::min(bytes, size - offset);
      *r = {D.Ring.data() + offset, first, bytes > first ? D.Ring.data() : nullptr, bytes - first};
      return kDsOk;
    },
    [](void*, const DirectSoundRegion*) { return kDsOk; },
    [](void* buffer, uint32_t) {
      if (buffer != &D) return kDsOk;  // the primary
      if (const int32_t lost = Lost()) return lost;
      D.Plays++, D.Playing = 1;
      return kDsOk;
    },
    [](void*) {
      D.Playing = 0;
      return kDsOk;
    },
    [](void*, uint32_t* status) {
      *status = D.Playing;
      return kDsOk;
    },
    [](void*, uint32_t* play, uint32_t* write) {
      const uint32_t size = uint32_t(D.Ring.size());
      *play = D.Play();
      *write = (*play + D.WriteLead) % size;
      if (D.JumpyReads) D.JumpyReads--, *play = (*play + size / 2 + 4096) % size;
      return kDsOk;
    },
    [](void*, uint32_t offset) {
      D.PlayedUs = uint64_t{offset} * 1000000 / D.BytesPerSecond;
      return kDsOk;
    },
    [](void*) { return kDsOk; },
    [](void*, uint32_t) { return kDsOk; },
    [](void*, int32_t pan) { return D.Pan = pan, kDsOk; },
    [](void*, int32_t volume) { return D.Volume = volume, kDsOk; },
    [](void* buffer) { D.Primaries -= buffer == &D.Primaries; }, [](void*) { D.Objects--; },
    [] { return D.Now; },
    [](uint32_t ms) { D.Advance(ms); }};

}  // namespace

const WaveOutDevice kSimWaveOut = kWave;
const DirectSoundDevice kSimDirectSound = kDs;

uint32_t SimDirectSound::Play() const {
  const uint64_t at = PlayedUs * BytesPerSecond / 1000000;
  return Ring.empty() ? 0 : uint32_t(at % Ring.size());
}

void SimDirectSound::Advance(uint32_t ms) {
  Now += ms;
  if (!Playing || Stalled || Ring.empty()) return;
  const uint32_t from = Play();
  const uint64_t before = PlayedUs * BytesPerSecond / 1000000;
  PlayedUs += uint64_t{ms} * 1000;
  uint64_t bytes = PlayedUs * BytesPerSecond / 1000000 - before;
  for (uint32_t at = from; bytes--; at = (at + 1) % uint32_t(Ring.size()))
    Played.push_back(Ring[at]);
}

void SimSoundReset() {
  gSimWaveOut = SimWaveOut{};
  gSimDs = SimDirectSound{};
  WaveOutUseDevice(&kSimWaveOut);
  DirectSoundUseDevice(&kSimDirectSound);
}

uint32_t SimHandOver(AudioTrack* t, uint8_t value, uint32_t bytes) {
  uint8_t* region = nullptr;
  uint32_t size = 0;
  if (!t->Ops.SoundReady(t) || !t->Ops.SoundLock(t, &region, &size)) return 0;
  bytes = std::min(bytes, size);
  std::memset(region, value, bytes);
  return t->Ops.SoundUnlock(t, bytes) ? bytes : 0;
}

void SimMovie::Describe(uint32_t frames, uint32_t rate, uint32_t div, uint32_t maxBytes) {
  M = Movie{};
  MaxBytes = maxBytes;
  M.Frames = frames, M.FrameRate = rate, M.FrameRateDiv = div;
  if (!maxBytes) return;
  M.Tracks = Tracks, M.TrackIndices = &Index, M.NumTracks = 1;
  M.TrackMaxBytes = &MaxBytes;
}
