// The waveform-audio output device under the waveOut back end: a table of the device calls the
// back end makes, bound to WINMM on Windows and to a simulated device in the tests.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// One block's waveform header, laid out as the platform's (48 bytes on 64-bit Windows). The
// device sets the done mark from its own thread when it has played the block.
struct WaveHeader {
  uint8_t* Data;
  uint32_t Length;
  uint32_t BytesRecorded;
  uintptr_t User;
  uint32_t Flags;
  uint32_t Loops;
  WaveHeader* Next;
  uintptr_t Reserved;
};
static_assert(sizeof(WaveHeader) == 48 && offsetof(WaveHeader, Flags) == 24);

constexpr uint32_t kWaveHeaderDone = 1;

inline bool WaveHeaderIsDone(WaveHeader* h) {
  return std::atomic_ref<uint32_t>(h->Flags).load(std::memory_order_acquire) & kWaveHeaderDone;
}
inline void WaveHeaderSetDone(WaveHeader* h, bool done) {
  std::atomic_ref<uint32_t> flags(h->Flags);
  if (done)
    flags.fetch_or(kWaveHeaderDone, std::memory_order_release);
  else
    flags.fetch_and(~kWaveHeaderDone, std::memory_order_relaxed);
}

// The device calls. Open fills *device for PCM of the given format (the default output device,
// polled: no callback) and returns non-zero on success; the others act on an open device. A
// header is prepared before its first write and unprepared before the device closes; a written
// header's done mark is cleared by the caller and set by the device once played; a reset marks
// every written header done at once.
struct WaveOutDevice {
  int (*Open)(void** device, uint32_t rate, uint32_t bits, uint32_t channels);
  void (*Prepare)(void* device, WaveHeader* header);
  void (*Unprepare)(void* device, WaveHeader* header);
  void (*Write)(void* device, WaveHeader* header);
  void (*Reset)(void* device);
  void (*Pause)(void* device);
  void (*Restart)(void* device);
  void (*SetVolume)(void* device, uint32_t levels);  // left in the low 16 bits, right in the high
  void (*Close)(void* device);
};

// The platform's device (WINMM), or none where there is no waveOut.
const WaveOutDevice* WaveOutPlatformDevice();
// Makes channels opened from now on use device (none: the platform's). For tests.
void WaveOutUseDevice(const WaveOutDevice* device);
