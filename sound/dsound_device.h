// The DirectSound device under the DirectSound back end: a table of the calls the back end makes
// on the device object and its buffers, bound to DSOUND.DLL on Windows and to a simulated device
// in the tests. Results are the platform's: 0 success, negative failure.
#pragma once

#include <cstdint>

constexpr int32_t kDsOk = 0;
constexpr int32_t kDsBufferLost = int32_t(0x88780096u);
constexpr uint32_t kDsPlayLooping = 1;

struct DirectSoundFormat {
  uint32_t Rate, Bits, Channels;
};

// The two parts of a locked ring range (the second one when the range wraps).
struct DirectSoundRegion {
  uint8_t* Part1;
  uint32_t Part1Bytes;
  uint8_t* Part2;
  uint32_t Part2Bytes;
};

struct DirectSoundDevice {
  // Loads the library and finds its creation function (once); non-zero when it is there.
  int (*Load)();
  int32_t (*Create)(void** object);              // the default device
  int32_t (*SetCooperativeLevel)(void* object);  // priority level, on the program's window
  int32_t (*CreatePrimary)(void* object, void** buffer);
  int32_t (*SetFormat)(void* primary, const DirectSoundFormat* format);
  // A looping buffer of bytes with frequency, pan and volume control, global focus and accurate
  // position reporting.
  int32_t (*CreateSecondary)(void* object, const DirectSoundFormat* format, uint32_t bytes,
                             void** buffer);
  int32_t (*Lock)(void* buffer, uint32_t offset, uint32_t bytes, DirectSoundRegion* region);
  int32_t (*Unlock)(void* buffer, const DirectSoundRegion* region);
  int32_t (*Play)(void* buffer, uint32_t flags);
  int32_t (*Stop)(void* buffer);
  int32_t (*GetStatus)(void* buffer, uint32_t* status);  // 0 when stopped
  int32_t (*GetCursors)(void* buffer, uint32_t* play, uint32_t* write);
  int32_t (*SetPosition)(void* buffer, uint32_t offset);
  int32_t (*Restore)(void* buffer);
  int32_t (*SetFrequency)(void* buffer, uint32_t hz);
  int32_t (*SetPan)(void* buffer, int32_t pan);           // -10000..10000
  int32_t (*SetVolume)(void* buffer, int32_t hundredths);  // hundredths of a dB, -10000..0
  void (*ReleaseBuffer)(void* buffer);
  void (*ReleaseObject)(void* object);
  // The clock the back end's waits and polls read, and its sleep.
  uint32_t (*Now)();
  void (*Sleep)(uint32_t ms);
};

// The platform's DirectSound, or none where there is none.
const DirectSoundDevice* DirectSoundPlatformDevice();
// Makes the back end use device from now on (none: the platform's) and forgets its process-wide
// state. For tests; only while no channel is open.
void DirectSoundUseDevice(const DirectSoundDevice* device);

// The process-wide device object, as the channels use it.
const DirectSoundDevice* DirectSoundApi();
// Takes one use of the device object, creating it (and setting the cooperative level) for the
// first user when the back end owns it; 0 on failure, with no use taken.
int DirectSoundAcquire();
// Gives a use back; the last user's going releases the primary buffer and an owned object.
void DirectSoundRelease();
// The object, and the primary buffer still to be set up after a successful cooperative level
// (taken by the first channel that opens: 1 once, then 0).
void* DirectSoundObject();
int DirectSoundTakePrimaryPending();
void DirectSoundKeepPrimary(void* primary);
// Counts the open channels (a different object may not be chosen while there are any).
void DirectSoundChannelsChange(int delta);
