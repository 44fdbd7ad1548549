// The WAV-file back end: each channel appends the sound handed to it to a WAV file behind a
// sink. It has no device, so every region is ready at once; the header written at open has
// empty sizes (a file cut short is still a valid, if empty, WAV file) and is completed at close.
#include <cstring>

#include "platform/mem.h"
#include "sound/sound_track.h"
#include "sound/wav_header.h"
#include "vexa/movie.h"
#include "vexa/sound.h"

namespace {

constexpr uint32_t kMaxRegionBytes = 16384;
constexpr uint32_t kMaxRate = 256000;

// The channel's state, behind AudioTrack::BackEnd; the region follows it in the same block.
struct WavChannel {
  WavSink Sink;
  uint64_t DataBytes;  // samples appended after the header
  uint64_t DataLimit;  // whole sample frames a header can describe
  uint8_t* Region;
  uint32_t RegionBytes;
  uint32_t Locked;     // the region is handed out
  uint32_t Paused;
  uint32_t Failed;     // a write failed or the data reached its limit: accepts nothing more
};

WavSinkChooser gChooser = nullptr;
void* gChooserUser = nullptr;

WavChannel* Channel(AudioTrack* t) { return static_cast<WavChannel*>(t->BackEnd); }

// Stops accepting sound for good.
void Fail(AudioTrack* t, WavChannel* w) {
  w->Failed = 1;
  w->Locked = 0;
  t->IsOn = 0;
}

int WavWriteHeader(const AudioTrack* t, WavChannel* w) {
  uint8_t header[kWavHeaderBytes];
  WavHeaderFill(header, t->Rate, t->Channels, t->Bits, uint32_t(w->DataBytes));
  return w->Sink.WriteAt(w->Sink.User, 0, header, kWavHeaderBytes);
}

int WavReady(AudioTrack* t) {
  WavChannel* w = Channel(t);
  return w && t->IsOn && !w->Paused;
}

int WavLock(AudioTrack* t, uint8_t** region, uint32_t* size) {
  WavChannel* w = Channel(t);
  if (!w || !t->IsOn || w->Paused) return 0;
  w->Locked = 1;
  *region = w->Region;
  *size = w->RegionBytes;
  return 1;
}

// Appends the region's first bytes; 1 when all of them are in the file.
int WavUnlock(AudioTrack* t, uint32_t bytes) {
  WavChannel* w = Channel(t);
  if (!w || !w->Locked || !t->IsOn) return 0;
  w->Locked = 0;
  if (bytes > w->RegionBytes) bytes = w->RegionBytes;
  const uint64_t room = w->DataLimit - w->DataBytes;
  const uint32_t take = room < bytes ? uint32_t(room) : bytes;
  if (take && !w->Sink.WriteAt(w->Sink.User, kWavHeaderBytes + w->DataBytes, w->Region, take)) {
    Fail(t, w);
    return 0;
  }
  w->DataBytes += take;
  if (take < bytes) {
    Fail(t, w);  // the sound outgrew what the header can describe
    return 0;
  }
  return 1;
}

int WavPause(AudioTrack* t, int on) {
  WavChannel* w = Channel(t);
  if (!w) return 0;
  w->Paused = on ? 1 : 0;
  return int(w->Paused);
}

// Off keeps what was written and stops accepting (a locked region is dropped); on accepts
// again, unless a failure ended the file.
int WavOnOff(AudioTrack* t, int on) {
  WavChannel* w = Channel(t);
  if (!w) return 0;
  if (on && !w->Failed) {
    t->IsOn = 1;
  } else {
    t->IsOn = 0;
    w->Locked = 0;
  }
  return int(t->IsOn);
}

void WavClose(AudioTrack* t) {
  WavChannel* w = Channel(t);
  if (!w) return;
  int complete = !w->Failed;
  if (w->DataBytes & 1) {
    const uint8_t pad = 0;  // RIFF chunks end on an even offset
    if (!w->Sink.WriteAt(w->Sink.User, kWavHeaderBytes + w->DataBytes, &pad, 1)) complete = 0;
  }
  if (!WavWriteHeader(t, w)) complete = 0;
  w->Sink.Close(w->Sink.User, complete);
  MemFree(w);
  t->BackEnd = nullptr;
  t->IsOn = 0;
}

void InstallOps(AudioTrack* t) {
  t->Ops.SoundReady = WavReady;
  t->Ops.SoundLock = WavLock;
  t->Ops.SoundUnlock = WavUnlock;
  t->Ops.SoundPause = WavPause;
  t->Ops.SoundOnOff = WavOnOff;
  t->Ops.SoundClose = WavClose;
}

// Makes the channel's state around a sink already chosen; 0 (sink closed) on failure.
int StartFile(AudioTrack* t, const WavSink* sink, uint32_t regionBytes, Movie* m) {
  uint8_t* region = nullptr;
  WavChannel* w = nullptr;
  if (MemPlanFor(&region, regionBytes))
    w = static_cast<WavChannel*>(MemAlloc(uint32_t(sizeof(WavChannel))));
  if (!w) {
    sink->Close(sink->User, 0);
    return 0;
  }
  const uint32_t frameBytes = t->Channels * t->Bits / 8;
  w->Sink = *sink;
  w->Region = region;
  w->RegionBytes = regionBytes;
  w->DataLimit = kWavMaxDataBytes - kWavMaxDataBytes % frameBytes;
  if (!WavWriteHeader(t, w)) {
    sink->Close(sink->User, 0);
    MemFree(w);
    return 0;
  }
  t->BackEnd = w;
  if (m) m->TotalMemory += uint32_t(sizeof(WavChannel)) + regionBytes;
  return 1;
}

}  // namespace

void WavSetSinkChooser(WavSinkChooser chooser, void* user) {
  gChooser = chooser;
  gChooserUser = user;
}

SoundOpenFunction SoundUseWav(void*) { return gChooser ? WavChannelOpen : nullptr; }

int WavChannelOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t,
                   Movie* m) {
  if (!t) return 0;
  std::memset(t, 0, sizeof(*t));
  if (!gChooser || (bits != 8 && bits != 16) || (channels != 1 && channels != 2) || rate == 0 ||
      rate > kMaxRate)
    return 0;
  const uint32_t fileIndex = SoundTrackFileIndex(t, m);
  WavSink sink = {};
  if (!gChooser(gChooserUser, m, fileIndex, &sink)) return 0;
  if (!sink.WriteAt || !sink.Close) {
    if (sink.Close) sink.Close(sink.User, 0);
    return 0;
  }
  t->Rate = rate;
  t->Bits = bits;
  t->Channels = channels;
  const uint32_t region = SoundRegionLimit(t, m, bits, channels * bits / 8, kMaxRegionBytes);
  if (!StartFile(t, &sink, region, m)) {
    std::memset(t, 0, sizeof(*t));
    return 0;
  }
  t->ChunkBytes = bits == 8 ? region * 2 : region;  // the core narrows 16-bit sound to 8 bits
  t->IsOn = 1;
  // A file has no device to keep fed in real time: the movie's own frame steps hand the sound
  // over. Joining the sound service thread as well would only make the steps' pumps find the
  // sound mutex busy and skip, and a busy machine could then overflow the track's ring.
  t->SelfFed = 1;
  InstallOps(t);
  return 1;
}
