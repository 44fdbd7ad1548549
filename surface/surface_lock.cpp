// Locking a surface for the copy, unlocking it, blitting it to the window, and clearing it.
#include <cstring>

#include "surface/surface_internal.h"
#include "vexa/copy.h"

namespace {

// The primary is written where the picture is seen: only when all of it lies on the screen.
bool PictureInside(const Surface* s, const DisplayLock* lock) {
  return s->ScreenX >= 0 && s->ScreenY >= 0 && int64_t(s->ScreenX) + s->Width <= lock->Width &&
         int64_t(s->ScreenY) + s->Height <= lock->Height;
}

bool IsPrimary(const Surface* s) { return !s->IsOverlay && !s->IsOffscreen; }

}  // namespace

int SurfaceLock(Surface* s) {
  if (!s) return 0;
  if (!s->DDSurface) {
    s->Bits = s->DibBits;
    s->Pitch = int32_t(s->DibPitch);
    return 1;
  }
  if (s->Minimized) return 0;
  const DisplayDevice* dev = DisplayApi();
  s->HiddenCursorCount =
      s->SoftwareCursor ? HideCursorOver(s->ScreenX, s->ScreenY, s->Width, s->Height) : 0;
  DisplayLock lock{};
  if (LockRestoring(s->DDSurface, &lock) != kDdOk) {
    s->TypeFlags |= CopyAll;
    ShowCursorTimes(s->HiddenCursorCount);
    s->HiddenCursorCount = 0;
    return 0;
  }
  if (IsPrimary(s) && !PictureInside(s, &lock)) {
    dev->Unlock(s->DDSurface, lock.Memory);
    s->TypeFlags |= CopyAll;
    ShowCursorTimes(s->HiddenCursorCount);
    s->HiddenCursorCount = 0;
    return 0;
  }
  s->LockedPtr = lock.Memory;
  s->Pitch = lock.Pitch;
  s->Bits = lock.Memory;
  if (IsPrimary(s))
    s->Bits += int64_t(s->ScreenY) * lock.Pitch + int64_t(s->ScreenX) * Display()->BytesPerPixel;
  return 1;
}

void SurfaceUnlock(Surface* s) {
  if (!s) return;
  if (s->DDSurface && s->LockedPtr) {
    DisplayApi()->Unlock(s->DDSurface, s->LockedPtr);
    s->LockedPtr = nullptr;
    ShowCursorTimes(s->HiddenCursorCount);
    s->HiddenCursorCount = 0;
    UpdateOverlayPosition(s, 2);  // an overlay shows once it holds a picture
  }
  s->Bits = nullptr;
  s->Pitch = 0;
  s->TypeFlags &= ~CopyAll;
}

namespace {

void BlitOverlayKey(const Surface* s, const SurfaceRect* rects, uint32_t count) {
  const DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  dev->SetClipper(d->Primary, s->Clipper);
  for (uint32_t i = 0; i < count; i++) {
    // Without rectangles the whole output, placed once at the picture's screen position.
    const SurfaceRect whole{0, 0, s->Width, s->Height};
    const DisplayRect dest = ScaleBlitRect(rects ? &rects[i] : &whole, s, s->ScreenX, s->ScreenY);
    dev->ColorFill(d->Primary, &dest, d->OverlayColorKey);
    if (!rects) break;
  }
  dev->SetClipper(d->Primary, nullptr);
}

void BlitOffscreen(const Surface* s, const SurfaceRect* rects, uint32_t count) {
  const DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  dev->SetClipper(d->Primary, s->Clipper);
  const SurfaceRect whole{0, 0, s->Width, s->Height};
  for (uint32_t i = 0; i < (rects ? count : 1); i++) {
    const SurfaceRect* r = rects ? &rects[i] : &whole;
    const DisplayRect src{int32_t(r->X), int32_t(r->Y), int32_t(r->X + r->W), int32_t(r->Y + r->H)};
    const DisplayRect dest = ScaleBlitRect(r, s, s->ScreenX, s->ScreenY);
    dev->Blt(d->Primary, &dest, s->DDSurface, &src);
  }
  dev->SetClipper(d->Primary, nullptr);
}

void BlitDib(const Surface* s, const SurfaceRect* rects, uint32_t count) {
  constexpr uint32_t kBatch = 16;
  DisplayRect src[kBatch], dest[kBatch];
  const SurfaceRect whole{0, 0, s->Width, s->Height};
  if (!rects) rects = &whole, count = 1;
  for (uint32_t done = 0; done < count;) {
    uint32_t n = 0;
    for (; n < kBatch && done < count; n++, done++) {
      const SurfaceRect* r = &rects[done];
      src[n] = DisplayRect{int32_t(r->X), int32_t(r->Y), int32_t(r->X + r->W),
                           int32_t(r->Y + r->H)};
      dest[n] = ScaleBlitRect(r, s, s->OffsetX, s->OffsetY);
    }
    DisplayApi()->StretchDib(s->Window, s->DibDC, src, dest, n);
  }
}

}  // namespace

void SurfaceBlit(Surface* s, const SurfaceRect* rects, uint32_t count) {
  if (!s || !count) return;
  if (s->IsOverlay) BlitOverlayKey(s, rects, count);
  else if (s->IsOffscreen) BlitOffscreen(s, rects, count);
  else if (!s->DDSurface) BlitDib(s, rects, count);
}

void ClearPixels(uint32_t type, uint8_t* bits, int32_t pitch, uint32_t width, uint32_t height) {
  if (type == SurfacePlanar) {
    for (uint32_t y = 0; y < height; y++) memset(bits + int64_t(y) * pitch, 16, width);
    // V then U, each Height / 2 rows of Width / 2 bytes at half the pitch.
    uint8_t* chroma = bits + int64_t(height) * pitch;
    for (uint32_t y = 0; y < 2 * (height / 2); y++)
      memset(chroma + int64_t(y) * (pitch / 2), 128, width / 2);
    return;
  }
  if (type == SurfaceYUY2 || type == SurfaceUYVY) {
    const uint8_t pair[2] = {uint8_t(type == SurfaceYUY2 ? 0x00 : 0x80),
                             uint8_t(type == SurfaceYUY2 ? 0x80 : 0x00)};
    for (uint32_t y = 0; y < height; y++) {
      uint8_t* row = bits + int64_t(y) * pitch;
      for (uint32_t x = 0; x < width; x++) memcpy(row + 2 * x, pair, 2);
    }
    return;
  }
  // Zero bytes are black for every RGB type, with or without alpha.
  const uint32_t rowBytes = width * SurfaceTypeBytes(type);
  for (uint32_t y = 0; y < height; y++) memset(bits + int64_t(y) * pitch, 0, rowBytes);
}

int SurfaceClear(Surface* s) {
  if (!SurfaceLock(s)) return 0;
  ClearPixels(s->TypeFlags & CopySurfaceTypeMask, s->Bits, s->Pitch, s->Width, s->Height);
  SurfaceUnlock(s);
  // The surface no longer holds the picture: the next copy rewrites all of it.
  s->TypeFlags |= CopyAll;
  return 1;
}
