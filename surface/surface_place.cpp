// Where the picture is shown: output size, window position, overlay placement and alignment.
#include <algorithm>

#include "surface/surface_internal.h"
#include "vexa/copy.h"

uint32_t StretchKind(uint32_t size, uint32_t dest, uint32_t multiple, uint32_t up,
                     uint32_t divisor, uint32_t down) {
  if (dest == size || dest == 0 || size == 0) return 0;
  if (dest % size == 0) return multiple;
  if (size % dest == 0) return divisor;
  return dest > size ? up : down;
}

int SurfaceSetDestSize(Surface* s, uint32_t width, uint32_t height) {
  if (!s) return 0;
  const DisplayState* d = Display();
  if (!width) width = d->ScreenWidth;
  if (!height) height = d->ScreenHeight;
  int taken = 1;
  const uint32_t wKind = StretchKind(s->Width, width, StretchWidthMultiple, StretchWidthUp,
                                     StretchWidthDivisor, StretchWidthDown);
  const uint32_t hKind = StretchKind(s->Height, height, StretchHeightMultiple, StretchHeightUp,
                                     StretchHeightDivisor, StretchHeightDown);
  if (width && (wKind & s->StretchCaps) == wKind) s->DestWidth = width;
  else taken = 0;
  if (height && (hKind & s->StretchCaps) == hKind) s->DestHeight = height;
  else taken = 0;
  s->WindowWidth = s->DestWidth + s->NonClientWidth;
  s->WindowHeight = s->DestHeight + s->NonClientHeight;
  return taken;
}

int SurfaceMoved(Surface* s, int32_t offsetX, int32_t offsetY) {
  if (!s) return 0;
  const DisplayDevice* dev = DisplayApi();
  s->Minimized = dev->IsMinimized(s->Window) != 0;
  if (s->Minimized) return 1;
  DisplayRect client{};
  dev->ClientRect(s->Window, &client);
  s->ScreenX = client.Left + offsetX;
  s->ScreenY = client.Top + offsetY;
  s->OffsetX = offsetX;
  s->OffsetY = offsetY;
  s->TypeFlags |= CopyAll;
  UpdateOverlayPosition(s, 0);
  return 1;
}

namespace {

// Moves a source edge by the destination's move scaled by source size / destination size.
int32_t ScaledMove(int64_t destMove, uint32_t size, uint32_t dest) {
  return int32_t(destMove * size / (dest ? dest : 1));
}

}  // namespace

int ClipOverlay(DisplayRect* dest, DisplayRect* src, uint32_t screenWidth, uint32_t screenHeight) {
  const uint32_t srcW = uint32_t(src->Right - src->Left), srcH = uint32_t(src->Bottom - src->Top);
  const uint32_t destW = uint32_t(dest->Right - dest->Left);
  const uint32_t destH = uint32_t(dest->Bottom - dest->Top);
  if (dest->Left < 0) {
    src->Left += ScaledMove(-int64_t(dest->Left), srcW, destW);
    dest->Left = 0;
  }
  if (dest->Top < 0) {
    src->Top += ScaledMove(-int64_t(dest->Top), srcH, destH);
    dest->Top = 0;
  }
  if (dest->Right > int64_t(screenWidth)) {
    src->Right -= ScaledMove(int64_t(dest->Right) - screenWidth, srcW, destW);
    dest->Right = int32_t(screenWidth);
  }
  if (dest->Bottom > int64_t(screenHeight)) {
    src->Bottom -= ScaledMove(int64_t(dest->Bottom) - screenHeight, srcH, destH);
    dest->Bottom = int32_t(screenHeight);
  }
  return dest->Right > dest->Left && dest->Bottom > dest->Top && src->Right > src->Left &&
         src->Bottom > src->Top;
}

void UpdateOverlayPosition(Surface* s, int request) {
  if (!s->IsOverlay) return;
  const DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  if (dev->IsVisible(s->Window)) {
    DisplayRect dest{s->ScreenX, s->ScreenY, int32_t(s->ScreenX + int64_t(s->DestWidth)),
                     int32_t(s->ScreenY + int64_t(s->DestHeight))};
    DisplayRect src{0, 0, int32_t(s->Width), int32_t(s->Height)};
    if (ClipOverlay(&dest, &src, d->ScreenWidth, d->ScreenHeight)) {
      if (request == 1) s->OverlayShown = 0;
      if (request == 2) s->OverlayShown = 1;
      dev->UpdateOverlay(s->DDSurface, &src, d->Primary, &dest, s->OverlayShown != 0,
                         d->OverlayColorKey);
      return;
    }
  }
  dev->UpdateOverlay(s->DDSurface, nullptr, d->Primary, nullptr, 0, d->OverlayColorKey);
}

namespace {

int64_t ClampToScreenSide(int64_t at, uint32_t size, uint32_t screen) {
  return std::max<int64_t>(std::min<int64_t>(at, int64_t(screen) - size), 0);
}

}  // namespace

void AlignPicturePosition(int64_t* x, int64_t* y, uint32_t width, uint32_t height,
                          uint32_t screenWidth, uint32_t screenHeight, uint32_t bytesPerPixel,
                          bool clamp) {
  const int64_t step = bytesPerPixel == 4 ? 2 : bytesPerPixel == 3 ? 8 : 4;  // powers of two
  if (clamp) {
    *x = ClampToScreenSide(*x, width, screenWidth);
    *y = ClampToScreenSide(*y, height, screenHeight);
  }
  int64_t aligned = (*x + step - 1) & ~(step - 1);
  // Screen memory ends at the screen's right edge: round down rather than write past it, but
  // never below 0, which is where a picture wider than the screen stays.
  if (clamp && aligned + width > screenWidth && aligned >= step) aligned -= step;
  *x = aligned;
}

void AlignWindowPosition(const Surface* s, int32_t x, int32_t y, int32_t offsetX, int32_t offsetY,
                         int32_t* outX, int32_t* outY) {
  const DisplayState* d = Display();
  int64_t px = int64_t(x) + s->ClientOffsetX + offsetX;
  int64_t py = int64_t(y) + s->ClientOffsetY + offsetY;
  AlignPicturePosition(&px, &py, s->Width, s->Height, d->ScreenWidth, d->ScreenHeight,
                       d->BytesPerPixel, s->ClampToScreen != 0);
  *outX = int32_t(px - s->ClientOffsetX - offsetX);
  *outY = int32_t(py - s->ClientOffsetY - offsetY);
}

DisplayRect ScaleBlitRect(const SurfaceRect* r, const Surface* s, int32_t originX,
                          int32_t originY) {
  const uint32_t w = s->Width ? s->Width : 1, h = s->Height ? s->Height : 1;
  const int64_t x = int64_t(r->X) * s->DestWidth / w + originX;
  const int64_t y = int64_t(r->Y) * s->DestHeight / h + originY;
  return DisplayRect{int32_t(x), int32_t(y), int32_t(x + int64_t(r->W) * s->DestWidth / w),
                     int32_t(y + int64_t(r->H) * s->DestHeight / h)};
}
