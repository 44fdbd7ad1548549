// The process-wide display: the shared DirectDraw object and primary surface, display-mode
// changes, the pending mode, and the cursor tests and hiding around writes to screen memory.
#include <cstring>

#include "surface/surface_internal.h"

namespace {

DisplayState gDisplay;

void ReadScreen() {
  DisplayState* d = &gDisplay;
  d->Device->ScreenSize(&d->ScreenWidth, &d->ScreenHeight);
  d->ScreenBits = d->Device->ScreenBitsPerPixel();
  d->BytesPerPixel = d->ScreenBits / 8;
}

bool PendingModeSet() {
  return gDisplay.PendingModeWidth && gDisplay.PendingModeHeight && gDisplay.PendingModeDepth;
}

void ClearPendingMode() {
  gDisplay.PendingModeWidth = gDisplay.PendingModeHeight = gDisplay.PendingModeDepth = 0;
}

// Exclusive mode: the first depth of the preference list that sets and really gives that depth.
void SetExclusiveMode(void* directDraw) {
  const DisplayDevice* dev = gDisplay.Device;
  uint32_t depths[3];
  const uint32_t count = DepthPreference(gDisplay.PendingModeDepth, depths);
  for (uint32_t i = 0; i < count; i++) {
    if (dev->SetDisplayMode(directDraw, gDisplay.PendingModeWidth, gDisplay.PendingModeHeight,
                            depths[i]) == kDdOk &&
        dev->ScreenBitsPerPixel() == depths[i])
      break;
  }
  ClearPendingMode();
}

bool LoadDirectDraw() {
  if (!gDisplay.LoadTried) {
    gDisplay.LoadTried = 1;
    gDisplay.LoadFailed = !gDisplay.Device->Load();
  }
  return !gDisplay.LoadFailed;
}

}  // namespace

DisplayState* Display() {
  if (!gDisplay.Device) gDisplay.Device = DisplayPlatformDevice();
  return &gDisplay;
}

const DisplayDevice* DisplayApi() { return Display()->Device; }

void DisplayUseDevice(const DisplayDevice* device) {
  gDisplay = DisplayState{};
  gDisplay.Device = device ? device : DisplayPlatformDevice();
}

void SurfaceSetPendingMode(uint32_t width, uint32_t height, uint32_t depthCode) {
  static const uint32_t depths[7] = {16, 24, 32, 8, 1, 2, 3};
  ClearPendingMode();
  if (!width || !height || depthCode > 6) return;
  gDisplay.PendingModeWidth = width;
  gDisplay.PendingModeHeight = height;
  gDisplay.PendingModeDepth = depths[depthCode];
}

void DirectDrawOpen(void* window, int wantMode) {
  DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  if (d->References) {
    d->References++;
    return;
  }
  if (!LoadDirectDraw() || dev->Create(&d->DirectDraw) != kDdOk) {
    d->DirectDraw = nullptr;
    return;
  }
  const int exclusive = wantMode && PendingModeSet();
  if (dev->SetCooperativeLevel(d->DirectDraw, window, exclusive) == kDdOk) {
    if (exclusive) SetExclusiveMode(d->DirectDraw);
    if (dev->CreatePrimary(d->DirectDraw, &d->Primary) == kDdOk) {
      uint32_t fx = 0;
      DisplayPixelFormat format{};
      if (dev->GetFxCaps(d->DirectDraw, &fx) == kDdOk) {
        d->OverlayMask |= OverlayStretchMask(fx);
        d->BlitMask |= BlitStretchMask(fx);
      }
      dev->GetPixelFormat(d->Primary, &format);
      ReadScreen();
      d->BytesPerPixel = format.Bits / 8;
      d->OverlayColorKey = ColorKeyFor(d->ScreenBits, format.Red, format.Blue);
      d->References = 1;
      return;
    }
  }
  d->Primary = nullptr;
  dev->ReleaseObject(d->DirectDraw);
  d->DirectDraw = nullptr;
}

void DirectDrawRelease() {
  DisplayState* d = Display();
  if (!d->References || --d->References) return;
  d->Device->ReleaseSurface(d->Primary);
  d->Device->ReleaseObject(d->DirectDraw);
  d->Primary = d->DirectDraw = nullptr;
}

int DisplayModeChange(void* window, int wantMode) {
  (void)window;
  DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  if (d->References) return 0;
  if (wantMode && PendingModeSet()) {
    uint32_t depths[3];
    const uint32_t count = DepthPreference(d->PendingModeDepth, depths);
    bool done = false;
    for (uint32_t i = 0; i < count && !done; i++) {
      if (dev->ChangeDisplay(d->PendingModeWidth, d->PendingModeHeight, depths[i]) != 0) continue;
      d->DisplayChanged = 1;
      done = dev->ScreenBitsPerPixel() == depths[i];
      if (!done) dev->RestoreDisplay();
    }
    if (!done && dev->ChangeDisplay(d->PendingModeWidth, d->PendingModeHeight, 0) == 0)
      d->DisplayChanged = 1;
    ClearPendingMode();
  }
  ReadScreen();
  d->ModeUsers++;
  return 1;
}

void DisplayModeRelease() {
  DisplayState* d = Display();
  if (!d->ModeUsers || --d->ModeUsers) return;
  if (d->DisplayChanged) d->Device->RestoreDisplay();
  d->DisplayChanged = 0;
}

int32_t LockRestoring(void* surface, DisplayLock* lock) {
  const DisplayDevice* dev = DisplayApi();
  int32_t result = dev->Lock(surface, lock);
  if (result == kDdSurfaceLost && dev->Restore(surface) == kDdOk) result = dev->Lock(surface, lock);
  return result;
}

namespace {

// Hides the cursor until its show count is negative; the number of hide calls.
uint32_t HideCursorFully() {
  uint32_t hides = 1;
  while (DisplayApi()->ShowCursor(0) >= 0) hides++;
  return hides;
}

uint32_t ShowCursorFully() {
  uint32_t shows = 1;
  while (DisplayApi()->ShowCursor(1) < 0) shows++;
  return shows;
}

// Writes a byte into screen memory at the cursor's hot spot and reads the pixel back once the
// cursor is hidden: a driver that draws the cursor into screen memory restores its saved
// background over the write, so the pixel does not change.
uint32_t ProbeCursor(void* primary, void* cursor, int32_t x, int32_t y) {
  const DisplayDevice* dev = DisplayApi();
  int32_t shown = -int32_t(HideCursorFully());
  const uint32_t before = dev->ReadScreenPixel(x, y);
  void* oldCursor = dev->SetCursor(cursor);
  shown += int32_t(ShowCursorFully());
  DisplayLock lock{};
  if (LockRestoring(primary, &lock) == kDdOk) {
    if (x >= 0 && y >= 0 && uint32_t(x) < lock.Width && uint32_t(y) < lock.Height)
      lock.Memory[int64_t(y) * lock.Pitch + int64_t(x) * Display()->BytesPerPixel] =
          before ? 0 : 255;
    dev->Unlock(primary, lock.Memory);
  }
  shown -= int32_t(HideCursorFully());
  const uint32_t after = dev->ReadScreenPixel(x, y);
  if (after != before) dev->WriteScreenPixel(x, y, before);
  for (; shown < 0; shown++) dev->ShowCursor(1);
  for (; shown > 0; shown--) dev->ShowCursor(0);
  dev->SetCursor(oldCursor);
  return after == before;
}

}  // namespace

uint32_t TestSoftwareCursor(void* primary, void* cursor) {
  DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  DisplayLock lock{};
  if (!dev->MousePresent() || LockRestoring(primary, &lock) != kDdOk) return 0;
  dev->Unlock(primary, lock.Memory);
  if (d->CursorCached && d->CursorTested == cursor && d->CursorMemory == lock.Memory &&
      d->CursorPitch == lock.Pitch)
    return d->CursorAnswer;
  int32_t x = 0, y = 0;
  dev->CursorPosition(&x, &y);
  void* probe = dev->ProbeWindowOpen(x - 16, y - 16);
  d->CursorAnswer = ProbeCursor(primary, cursor, x, y);
  dev->ProbeWindowClose(probe);
  d->CursorCached = 1;
  d->CursorTested = cursor;
  d->CursorMemory = lock.Memory;
  d->CursorPitch = lock.Pitch;
  return d->CursorAnswer;
}

uint32_t HideCursorOver(int32_t x, int32_t y, uint32_t width, uint32_t height) {
  DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  if (!d->CursorWidth) dev->CursorSize(&d->CursorWidth, &d->CursorHeight);
  int32_t px = 0, py = 0;
  dev->CursorPosition(&px, &py);
  const int64_t cx = px, cy = py;
  if (cx + d->CursorWidth > x && cx < int64_t(x) + width && cy + d->CursorHeight > y &&
      cy < int64_t(y) + height)
    return HideCursorFully();
  return 0;
}

void ShowCursorTimes(uint32_t times) {
  for (uint32_t i = 0; i < times; i++) DisplayApi()->ShowCursor(1);
}
