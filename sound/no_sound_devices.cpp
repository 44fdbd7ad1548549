// Where the platform has neither waveOut nor DirectSound: channels of those back ends do not open,
// and the DirectSound selector reports none.
#include "sound/dsound_device.h"
#include "sound/waveout_device.h"

const WaveOutDevice* WaveOutPlatformDevice() { return nullptr; }
const DirectSoundDevice* DirectSoundPlatformDevice() { return nullptr; }
