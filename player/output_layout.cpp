// Output size, stretch kinds and window placement; all products in 64 bits.
#include "player/output_layout.h"

#include <algorithm>

#include "player/play_options.h"
#include "surface/surface.h"

namespace {

uint32_t Saturate32(uint64_t value) { return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX)); }
int32_t ClampInt32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

bool IsWholeScreen(int32_t numerator, uint32_t denominator) { return numerator == -1 && denominator == 1; }

// One side of the output from its fraction, the movie's side and the screen's.
uint32_t OutputSide(int32_t numerator, uint32_t denominator, uint32_t movie, uint32_t screen) {
  if (numerator == 0 || denominator == 0) return movie;
  if (numerator > 0) return static_cast<uint32_t>(numerator) / denominator;
  if (IsWholeScreen(numerator, denominator)) return screen;
  return Saturate32(static_cast<uint64_t>(-static_cast<int64_t>(numerator)) * movie / denominator);
}

// Copy scaling modes that double the picture.
constexpr uint32_t ScaleDoubleHeight = 1, ScaleDoubleWidth = 3, ScaleDoubleBoth = 4;

// The window's corner on one axis: the request, or centred (rounded down to `rounding` pixels),
// or, for a window larger than the screen, with the client area at the screen's edge.
int64_t WindowOrigin(int32_t requested, uint32_t window, uint32_t screen, int32_t clientOffset,
                     int64_t rounding) {
  if (requested != CentreMarker) return requested;
  if (window > screen) return -static_cast<int64_t>(clientOffset);
  return (static_cast<int64_t>(screen) - window) / 2 / rounding * rounding;
}

}  // namespace

void ComputeOutputLayout(const OutputRequest* r, OutputLayout* layout) {
  uint32_t movieWidth = r->MovieWidth, movieHeight = r->MovieHeight;
  uint32_t width = OutputSide(r->OutWidth, r->OutWidthDiv, movieWidth, r->ScreenWidth);
  uint32_t height = OutputSide(r->OutHeight, r->OutHeightDiv, movieHeight, r->ScreenHeight);
  if (IsWholeScreen(r->OutWidth, r->OutWidthDiv) && IsWholeScreen(r->OutHeight, r->OutHeightDiv) &&
      movieWidth != 0 && movieHeight != 0) {
    uint64_t fitWidth = static_cast<uint64_t>(movieWidth) * r->ScreenHeight / movieHeight;
    width = Saturate32(std::min<uint64_t>(fitWidth, r->ScreenWidth));
    height = fitWidth <= r->ScreenWidth
                 ? r->ScreenHeight
                 : Saturate32(static_cast<uint64_t>(movieHeight) * r->ScreenWidth / movieWidth);
  }
  layout->ScaleMode = 0;
  if (r->MovieScaleMode == 0) {
    bool doubleWidth = width == 2ull * movieWidth, doubleHeight = height == 2ull * movieHeight;
    bool sameWidth = width == movieWidth, sameHeight = height == movieHeight;
    if (sameWidth && doubleHeight) layout->ScaleMode = ScaleDoubleHeight;
    if (doubleWidth && sameHeight) layout->ScaleMode = ScaleDoubleWidth;
    if (doubleWidth && doubleHeight) layout->ScaleMode = ScaleDoubleBoth;
    if (layout->ScaleMode != 0) {
      movieWidth = width;  // the copy writes the doubled picture: nothing is left to stretch
      movieHeight = height;
    }
  }
  uint32_t stretch =
      StretchKind(movieWidth, width, StretchWidthMultiple, StretchWidthUp, StretchWidthDivisor,
                  StretchWidthDown) |
      StretchKind(movieHeight, height, StretchHeightMultiple, StretchHeightUp,
                  StretchHeightDivisor, StretchHeightDown);
  layout->Width = width;
  layout->Height = height;
  layout->SurfaceFlags = (r->SurfaceFlags & ~StretchMask) | stretch;
  layout->MovieWidth = movieWidth;
  layout->MovieHeight = movieHeight;
}

void ComputeWindowPlacement(const PlacementRequest* r, WindowPlacement* placement) {
  int64_t x = WindowOrigin(r->WindowX, r->WindowWidth, r->ScreenWidth, r->ClientOffsetX, 4);
  int64_t y = WindowOrigin(r->WindowY, r->WindowHeight, r->ScreenHeight, r->ClientOffsetY, 1);
  if (!r->FillScreen) {
    *placement = {ClampInt32(x), ClampInt32(y), r->WindowWidth, r->WindowHeight, 0, 0};
    return;
  }
  // The picture's place on the screen, which is also its place in the client area: the window
  // is put at minus its client offset, so the client area starts at the screen's corner.
  int64_t pictureX = x + r->ClientOffsetX, pictureY = y + r->ClientOffsetY;
  AlignPicturePosition(&pictureX, &pictureY, r->SurfaceWidth, r->SurfaceHeight, r->ScreenWidth,
                       r->ScreenHeight, r->BytesPerPixel, r->ClampToScreen);
  placement->X = ClampInt32(-static_cast<int64_t>(r->ClientOffsetX));
  placement->Y = ClampInt32(-static_cast<int64_t>(r->ClientOffsetY));
  placement->Width = Saturate32(static_cast<uint64_t>(r->NonClientWidth) + r->ScreenWidth);
  placement->Height = Saturate32(static_cast<uint64_t>(r->NonClientHeight) + r->ScreenHeight);
  placement->MovieX = ClampInt32(pictureX);
  placement->MovieY = ClampInt32(pictureY);
}
