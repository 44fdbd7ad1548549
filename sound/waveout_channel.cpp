// The waveOut back end: a ring of equal blocks queued on the platform's waveform-audio device,
// which is started once half a second (or the whole movie, or every block) is queued and is
// polled through the blocks' done marks. A device that has finished every block ran dry: the
// queue then starts again from block 0. The ring holds 16 blocks of a sixteenth of a second; when
// the track's ring needs smaller blocks, there are more of them (so the queue still holds about a
// second and starts half full).
#include <cstring>

#include "platform/mem.h"
#include "sound/sound_track.h"
#include "sound/waveout_device.h"
#include "vexa/sound.h"

namespace {

constexpr int32_t kBlocks = 16;
constexpr int32_t kMaxBlocks = 1024;
constexpr uint32_t kMaxRate = 256000;

// The channel's state, behind AudioTrack::BackEnd; the blocks and their headers follow it in the
// same allocation, which lives from the channel's open to its close (turning the sound off and
// on closes and reopens only the device).
struct WaveOutChannel {
  const WaveOutDevice* Api;
  void* Device;          // none while the device is closed
  WaveHeader* Headers;   // header i describes block i
  uint8_t* Blocks;       // the blocks' sound, one after the other
  int32_t Volume;        // 0..32767
  int32_t Pan;           // 0..65536
  uint32_t Started;      // the kept blocks went to the device; each unlocked block goes at once
  uint32_t Paused;
  int32_t LockedBlock;   // chosen by SoundReady, -1 when none
  int32_t LastQueued;    // written last, -1 when none
  uint32_t QueuedBytes;  // since the queue (re)started, saturated
  uint32_t StartBytes;   // amount to queue before starting
  uint32_t TotalBytes;   // the movie's whole sound
  uint32_t WaveBlockBytes;
  int32_t BlockCount;
};

const WaveOutDevice* gDevice = nullptr;

WaveOutChannel* Channel(AudioTrack* t) { return static_cast<WaveOutChannel*>(t->BackEnd); }

uint8_t Silence(const AudioTrack* t) { return t->Bits == 8 ? 128 : 0; }

uint8_t* Block(WaveOutChannel* w, int32_t i) { return w->Blocks + size_t(i) * w->WaveBlockBytes; }

// Right level in the high 16 bits, left in the low: the louder side gets the volume, the other
// side is scaled down by the pan's distance from the middle.
uint32_t Levels(const WaveOutChannel* w) {
  uint32_t left = uint32_t(w->Volume), right = uint32_t(w->Volume);
  if (w->Pan > 32767)
    left = uint32_t((65536 - w->Pan) * int64_t(w->Volume) / 32769);
  else
    right = uint32_t(w->Pan * int64_t(w->Volume) / 32767);
  return right << 16 | left;
}

void ApplyLevels(WaveOutChannel* w) {
  if (w->Device) w->Api->SetVolume(w->Device, Levels(w));
}

// Opens the device on a fresh queue of silent blocks, each prepared and marked done (free).
int DeviceOpen(AudioTrack* t, WaveOutChannel* w) {
  w->LockedBlock = w->LastQueued = -1;
  w->Started = 0;
  w->QueuedBytes = 0;
  std::memset(w->Blocks, Silence(t), size_t(w->BlockCount) * w->WaveBlockBytes);
  std::memset(w->Headers, 0, sizeof(WaveHeader) * size_t(w->BlockCount));
  if (!w->Api->Open(&w->Device, t->Rate, t->Bits, t->Channels)) {
    w->Device = nullptr;
    return 0;
  }
  for (int32_t i = 0; i < w->BlockCount; ++i) {
    WaveHeader* h = &w->Headers[i];
    h->Data = Block(w, i);
    h->Length = w->WaveBlockBytes;
    w->Api->Prepare(w->Device, h);
    WaveHeaderSetDone(h, true);
  }
  return 1;
}

// Stops the device, takes every block back and closes it. Nothing stays chosen or queued.
void DeviceClose(WaveOutChannel* w) {
  w->LockedBlock = w->LastQueued = -1;
  w->Started = 0;
  if (!w->Device) return;
  w->Api->Reset(w->Device);
  for (int32_t i = 0; i < w->BlockCount; ++i) {
    WaveHeader* h = &w->Headers[i];
    h->Length = w->WaveBlockBytes;
    w->Api->Unprepare(w->Device, h);
    WaveHeaderSetDone(h, true);
  }
  w->Api->Close(w->Device);
  w->Device = nullptr;
}

void Write(WaveOutChannel* w, int32_t i, uint32_t bytes) {
  WaveHeader* h = &w->Headers[i];
  h->Length = bytes;
  WaveHeaderSetDone(h, false);
  w->Api->Write(w->Device, h);
}

bool AllDone(WaveOutChannel* w) {
  for (int32_t i = 0; i < w->BlockCount; ++i)
    if (!WaveHeaderIsDone(&w->Headers[i])) return false;
  return true;
}

int WaveOutReady(AudioTrack* t) {
  WaveOutChannel* w = Channel(t);
  if (!w || w->Paused || !t->IsOn || !w->Device) return 0;
  if (w->Started && AllDone(w)) {
    // The device played everything it had: queue afresh from block 0 up to the start amount.
    t->Underrun = 1;
    w->Started = 0;
    w->QueuedBytes = 0;
    w->LastQueued = w->LockedBlock = -1;
  }
  // Before the start the kept blocks are 0 .. LastQueued and the start comes at the latest with
  // the last block, so the next block is never one of them.
  int32_t pick = (w->LastQueued + 1) % w->BlockCount;
  if (!WaveHeaderIsDone(&w->Headers[pick])) {
    pick = -1;
    for (int32_t i = 0; i < w->BlockCount && pick < 0; ++i)
      if (WaveHeaderIsDone(&w->Headers[i])) pick = i;
    if (pick < 0) return 0;
  }
  w->LockedBlock = pick;
  return 1;
}

int WaveOutLock(AudioTrack* t, uint8_t** region, uint32_t* size) {
  WaveOutChannel* w = Channel(t);
  if (!w || !t->IsOn || w->LockedBlock < 0) return 0;
  *region = Block(w, w->LockedBlock);
  *size = w->WaveBlockBytes;
  return 1;
}

int WaveOutUnlock(AudioTrack* t, uint32_t bytes) {
  WaveOutChannel* w = Channel(t);
  if (!w || !t->IsOn || w->LockedBlock < 0) return 0;
  const int32_t block = w->LockedBlock;
  w->LockedBlock = -1;
  if (bytes == 0) return 1;
  if (bytes > w->WaveBlockBytes) bytes = w->WaveBlockBytes;
  w->QueuedBytes = bytes > ~w->QueuedBytes ? 0xFFFFFFFFu : w->QueuedBytes + bytes;
  w->LastQueued = block;
  if (w->Started) {
    Write(w, block, bytes);
    return 1;
  }
  // A kept block goes to the device whole at the start: the rest of it must not replay the
  // sound it held before an underrun.
  std::memset(Block(w, block) + bytes, Silence(t), w->WaveBlockBytes - bytes);
  if (w->QueuedBytes >= w->StartBytes || block == w->BlockCount - 1) {
    // The kept blocks go over as one: a device that plays its first block while the others are
    // still being written runs dry in between (a gap at every start).
    w->Started = 1;
    w->Api->Pause(w->Device);
    for (int32_t i = 0; i <= block; ++i) Write(w, i, w->WaveBlockBytes);
    if (!w->Paused) w->Api->Restart(w->Device);
  }
  return 1;
}

void WaveOutSetVolume(AudioTrack* t, uint32_t volume) {
  WaveOutChannel* w = Channel(t);
  if (!w) return;
  w->Volume = int32_t(((uint64_t(volume < 65535 ? volume : 65535) + 1) * 32767) >> 16);
  ApplyLevels(w);
}

void WaveOutSetPan(AudioTrack* t, uint32_t pan) {
  WaveOutChannel* w = Channel(t);
  if (!w) return;
  w->Pan = int32_t(pan < 65536 ? pan : 65536);
  ApplyLevels(w);
}

int WaveOutPause(AudioTrack* t, int on) {
  WaveOutChannel* w = Channel(t);
  if (!w) return 0;
  if (w->Device) (on ? w->Api->Pause : w->Api->Restart)(w->Device);
  w->Paused = on ? 1 : 0;
  return int(w->Paused);
}

int WaveOutOnOff(AudioTrack* t, int on) {
  WaveOutChannel* w = Channel(t);
  if (!w) return 0;
  if (on && !t->IsOn) {
    t->IsOn = uint32_t(DeviceOpen(t, w));
    // A device opened while paused stays paused, as the channel's state says.
    if (t->IsOn && w->Paused) w->Api->Pause(w->Device);
  } else if (!on && t->IsOn) {
    DeviceClose(w);
    t->IsOn = 0;
  }
  return int(t->IsOn);
}

void WaveOutClose(AudioTrack* t) {
  WaveOutChannel* w = Channel(t);
  if (!w) return;
  DeviceClose(w);
  MemFree(w);
  t->BackEnd = nullptr;
  t->IsOn = 0;
}

void InstallOps(AudioTrack* t) {
  t->Ops.SoundReady = WaveOutReady;
  t->Ops.SoundLock = WaveOutLock;
  t->Ops.SoundUnlock = WaveOutUnlock;
  t->Ops.SoundSetVolume = WaveOutSetVolume;
  t->Ops.SoundSetPan = WaveOutSetPan;
  t->Ops.SoundPause = WaveOutPause;
  t->Ops.SoundOnOff = WaveOutOnOff;
  t->Ops.SoundClose = WaveOutClose;
}

// Rounded up to a multiple of 32 bytes.
uint32_t Round32(uint64_t bytes) { return uint32_t((bytes + 31) & ~uint64_t{31}); }

}  // namespace

void WaveOutUseDevice(const WaveOutDevice* device) { gDevice = device; }

SoundOpenFunction SoundUseWaveOut(void*) { return WaveOutChannelOpen; }

int WaveOutChannelOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t,
                       Movie* m) {
  if (!t) return 0;
  std::memset(t, 0, sizeof(*t));
  const WaveOutDevice* api = gDevice ? gDevice : WaveOutPlatformDevice();
  if (!api || (bits != 8 && bits != 16) || (channels != 1 && channels != 2) || rate == 0 ||
      rate > kMaxRate)
    return 0;
  const uint32_t frameBytes = bits / 8 * channels;
  const uint32_t bps = frameBytes * rate;
  // A sixteenth of a second per block, but no more than the track's ring delivers in one go.
  const uint32_t natural = Round32(bps / 16);
  const uint32_t blockBytes = SoundRegionLimit(t, m, bits, frameBytes, natural);
  const uint64_t wanted = (uint64_t{natural} * kBlocks + blockBytes - 1) / blockBytes;
  const int32_t count = int32_t(wanted < kMaxBlocks ? wanted : kMaxBlocks);

  WaveHeader* headers = nullptr;
  uint8_t* blocks = nullptr;
  WaveOutChannel* w = nullptr;
  const uint32_t headerArea = uint32_t(sizeof(WaveHeader)) * uint32_t(count);
  const uint32_t blockArea = uint32_t(count) * blockBytes;
  if (MemPlanFor(&headers, headerArea) && MemPlanFor(&blocks, blockArea))
    w = static_cast<WaveOutChannel*>(MemAlloc(uint32_t(sizeof(WaveOutChannel))));
  if (!w) return 0;
  t->Rate = rate;
  t->Bits = bits;
  t->Channels = channels;
  w->Api = api;
  w->Headers = headers;
  w->Blocks = blocks;
  w->WaveBlockBytes = blockBytes;
  w->BlockCount = count;
  w->TotalBytes = SoundMovieTotalBytes(m, bps);
  const uint32_t halfSecond = Round32(bps / 2);
  w->StartBytes = halfSecond < w->TotalBytes ? halfSecond : w->TotalBytes;
  w->Volume = w->Pan = 32767;
  if (!DeviceOpen(t, w)) {
    MemFree(w);
    std::memset(t, 0, sizeof(*t));
    return 0;
  }
  t->BackEnd = w;
  t->ChunkBytes = bits == 8 ? blockBytes * 2 : blockBytes;
  t->IsOn = 1;
  InstallOps(t);
  if (m)
    m->TotalMemory += uint32_t(sizeof(WaveOutChannel)) + headerArea + blockArea;
  return 1;
}
