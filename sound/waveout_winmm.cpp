// The waveOut device on WINMM: the default output device through the wave mapper, polled through
// the headers' done marks (no callback).
#include <windows.h>
#include <mmsystem.h>

#include <cstddef>

#include "sound/waveout_device.h"

static_assert(sizeof(WAVEHDR) == sizeof(WaveHeader) && offsetof(WAVEHDR, dwFlags) ==
              offsetof(WaveHeader, Flags) && offsetof(WAVEHDR, lpData) == offsetof(WaveHeader, Data) &&
              offsetof(WAVEHDR, dwBufferLength) == offsetof(WaveHeader, Length));
static_assert(WHDR_DONE == kWaveHeaderDone);

namespace {

HWAVEOUT Handle(void* device) { return static_cast<HWAVEOUT>(device); }
WAVEHDR* Native(WaveHeader* h) { return reinterpret_cast<WAVEHDR*>(h); }

int Open(void** device, uint32_t rate, uint32_t bits, uint32_t channels) {
  WAVEFORMATEX f = {};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = WORD(channels);
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = WORD(bits);
  f.nBlockAlign = WORD(bits / 8 * channels);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  HWAVEOUT h = nullptr;
  if (waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return 0;
  *device = h;
  return 1;
}

const WaveOutDevice kWinmm = {
    Open,
    [](void* d, WaveHeader* h) { waveOutPrepareHeader(Handle(d), Native(h), sizeof(WAVEHDR)); },
    [](void* d, WaveHeader* h) { waveOutUnprepareHeader(Handle(d), Native(h), sizeof(WAVEHDR)); },
    [](void* d, WaveHeader* h) { waveOutWrite(Handle(d), Native(h), sizeof(WAVEHDR)); },
    [](void* d) { waveOutReset(Handle(d)); },
    [](void* d) { waveOutPause(Handle(d)); },
    [](void* d) { waveOutRestart(Handle(d)); },
    [](void* d, uint32_t levels) { waveOutSetVolume(Handle(d), levels); },
    [](void* d) { waveOutClose(Handle(d)); }};

}  // namespace

const WaveOutDevice* WaveOutPlatformDevice() { return &kWinmm; }
