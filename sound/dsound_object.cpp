// The DirectSound back end's process-wide state: the device object shared by all channels (the
// back end's own or the caller's), its users, and the selector.
#include "sound/dsound_device.h"
#include "vexa/sound.h"

namespace {

struct DirectSoundState {
  const DirectSoundDevice* Api = nullptr;
  bool Chosen = false;     // an object (or 0: the back end's own) was chosen by the selector
  void* Object = nullptr;  // the object in use
  bool Owns = false;       // created and released by the back end
  uint32_t DeviceUsers = 0;
  uint32_t OpenChannels = 0;
  bool PrimaryPending = false;
  void* Primary = nullptr;
};

const DirectSoundDevice* gDevice = nullptr;
DirectSoundState gState;

const DirectSoundDevice* Api() { return gDevice ? gDevice : DirectSoundPlatformDevice(); }

}  // namespace

void DirectSoundUseDevice(const DirectSoundDevice* device) {
  gDevice = device;
  gState = DirectSoundState{};
}

const DirectSoundDevice* DirectSoundApi() { return gState.Api; }
void* DirectSoundObject() { return gState.Object; }

int DirectSoundAcquire() {
  DirectSoundState* s = &gState;
  if (!s->Api) return 0;
  if (s->DeviceUsers++ > 0) return 1;
  if (s->Owns) {
    if (!s->Api->Load() || s->Api->Create(&s->Object) < 0) {
      s->Object = nullptr;
      s->DeviceUsers = 0;
      return 0;
    }
    s->PrimaryPending = s->Api->SetCooperativeLevel(s->Object) >= 0;
  }
  return 1;
}

void DirectSoundRelease() {
  DirectSoundState* s = &gState;
  if (s->DeviceUsers == 0 || --s->DeviceUsers > 0) return;
  if (s->Primary) s->Api->ReleaseBuffer(s->Primary);
  s->Primary = nullptr;
  s->PrimaryPending = false;
  if (s->Owns && s->Object) {
    s->Api->ReleaseObject(s->Object);
    s->Object = nullptr;
  }
}

int DirectSoundTakePrimaryPending() {
  const bool pending = gState.PrimaryPending;
  gState.PrimaryPending = false;
  return pending;
}

void DirectSoundKeepPrimary(void* primary) { gState.Primary = primary; }

void DirectSoundChannelsChange(int delta) { gState.OpenChannels += uint32_t(delta); }

SoundOpenFunction SoundUseDirectSound(void* arg) {
  DirectSoundState* s = &gState;
  // 0 asks for the back end's own object, whichever it has created.
  const bool differs = s->Owns ? arg != nullptr : arg != s->Object;
  if (s->Chosen && differs && s->OpenChannels) return nullptr;
  if (!s->Chosen || differs) {
    s->Object = arg;
    s->Chosen = true;
  }
  s->Api = Api();
  if (!s->Api) return nullptr;
  s->Owns = arg == nullptr;
  if (s->Owns && !s->Api->Load()) return nullptr;
  // Sets the device up once, as the first channel will.
  if (!DirectSoundAcquire()) return nullptr;
  DirectSoundRelease();
  return DirectSoundChannelOpen;
}
