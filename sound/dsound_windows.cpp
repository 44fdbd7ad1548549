// The DirectSound device: DSOUND.DLL loaded on first use, its default device at priority level on
// the program's own window, looping secondary buffers.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include "platform/platform.h"
#include "sound/dsound_device.h"
#include "vexa/movie.h"

namespace {

using CreateFunction = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);
CreateFunction gCreate = nullptr;
HWND gFocusWindow = nullptr;

IDirectSound* Object(void* o) { return static_cast<IDirectSound*>(o); }
IDirectSoundBuffer* Buffer(void* b) { return static_cast<IDirectSoundBuffer*>(b); }

// The window for the cooperative level: among the top-level windows of this process, the last
// one in z-order that belongs to the program's own module and is no child, else the first other
// one; with none, the active window.
BOOL CALLBACK ConsiderWindow(HWND window, LPARAM candidate) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  HWND* best = reinterpret_cast<HWND*>(candidate);
  const bool own = HINSTANCE(GetWindowLongPtrA(window, GWLP_HINSTANCE)) == GetModuleHandleA(nullptr);
  if ((own && !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) || !*best) *best = window;
  return TRUE;
}

HWND FocusWindow() {
  if (gFocusWindow) return gFocusWindow;
  HWND best = nullptr;
  EnumWindows(ConsiderWindow, reinterpret_cast<LPARAM>(&best));
  gFocusWindow = best ? best : GetActiveWindow();
  return gFocusWindow;
}

int Load() {
  if (gCreate) return 1;
  static HMODULE library = nullptr;
  if (!library) {
    const UINT mode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    library = LoadLibraryA("DSOUND.DLL");
    SetErrorMode(mode);
  }
  if (!library) return 0;
  gCreate = reinterpret_cast<CreateFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "DirectSoundCreate")));
  return gCreate != nullptr;
}

WAVEFORMATEX Format(const DirectSoundFormat* f) {
  WAVEFORMATEX w = {};
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.nChannels = WORD(f->Channels);
  w.nSamplesPerSec = f->Rate;
  w.wBitsPerSample = WORD(f->Bits);
  w.nBlockAlign = WORD(f->Bits / 8 * f->Channels);
  w.nAvgBytesPerSec = f->Rate * w.nBlockAlign;
  return w;
}

int32_t CreateBuffer(void* o, DWORD flags, DWORD bytes, WAVEFORMATEX* format, void** buffer) {
  DSBUFFERDESC d = {};
  d.dwSize = sizeof(d);
  d.dwFlags = flags;
  d.dwBufferBytes = bytes;
  d.lpwfxFormat = format;
  IDirectSoundBuffer* b = nullptr;
  const HRESULT r = Object(o)->CreateSoundBuffer(&d, &b, nullptr);
  *buffer = b;
  return r;
}

const DirectSoundDevice kDirectSound = {
    Load,
    [](void** o) {
      IDirectSound* ds = nullptr;
      const HRESULT r = gCreate ? gCreate(nullptr, &ds, nullptr) : E_FAIL;
      *o = ds;
      return int32_t(r);
    },
    [](void* o) { return int32_t(Object(o)->SetCooperativeLevel(FocusWindow(), DSSCL_PRIORITY)); },
    [](void* o, void** b) { return CreateBuffer(o, DSBCAPS_PRIMARYBUFFER, 0, nullptr, b); },
    [](void* b, const DirectSoundFormat* f) {
      WAVEFORMATEX w = Format(f);
      return int32_t(Buffer(b)->SetFormat(&w));
    },
    [](void* o, const DirectSoundFormat* f, uint32_t bytes, void** b) {
      WAVEFORMATEX w = Format(f);
      return CreateBuffer(o,
                          DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                              DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2,
                          bytes, &w, b);
    },
    [](void* b, uint32_t offset, uint32_t bytes, DirectSoundRegion* r) {
      void *p1 = nullptr, *p2 = nullptr;
      DWORD n1 = 0, n2 = 0;
      const HRESULT h = Buffer(b)->Lock(offset, bytes, &p1, &n1, &p2, &n2, 0);
      *r = {static_cast<uint8_t*>(p1), uint32_t(n1), static_cast<uint8_t*>(p2), uint32_t(n2)};
      return int32_t(h);
    },
    [](void* b, const DirectSoundRegion* r) {
      return int32_t(Buffer(b)->Unlock(r->Part1, r->Part1Bytes, r->Part2, r->Part2Bytes));
    },
    [](void* b, uint32_t flags) { return int32_t(Buffer(b)->Play(0, 0, flags)); },
    [](void* b) { return int32_t(Buffer(b)->Stop()); },
    [](void* b, uint32_t* status) {
      DWORD s = 0;
      const HRESULT r = Buffer(b)->GetStatus(&s);
      *status = uint32_t(s);
      return int32_t(r);
    },
    [](void* b, uint32_t* play, uint32_t* write) {
      DWORD p = 0, w = 0;
      const HRESULT r = Buffer(b)->GetCurrentPosition(&p, &w);
      *play = uint32_t(p), *write = uint32_t(w);
      return int32_t(r);
    },
    [](void* b, uint32_t offset) { return int32_t(Buffer(b)->SetCurrentPosition(offset)); },
    [](void* b) { return int32_t(Buffer(b)->Restore()); },
    [](void* b, uint32_t hz) { return int32_t(Buffer(b)->SetFrequency(hz)); },
    [](void* b, int32_t pan) { return int32_t(Buffer(b)->SetPan(pan)); },
    [](void* b, int32_t volume) { return int32_t(Buffer(b)->SetVolume(volume)); },
    [](void* b) { Buffer(b)->Release(); },
    [](void* o) { Object(o)->Release(); },
    [] { return MovieTimerMs(); },
    [](uint32_t ms) { PlatformSleepMs(ms); }};

}  // namespace

const DirectSoundDevice* DirectSoundPlatformDevice() { return &kDirectSound; }
