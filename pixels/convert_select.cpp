// Choosing the converter, post-step and constants for a surface type and scaling mode.
#include <cstring>

#include "pixels/convert.h"
#include "vexa/copy.h"

namespace {

// Bit layout of a surface type: positions and right shifts of alpha, red, green, blue.
struct SurfaceLayout {
  uint16_t PosA, PosR, PosG, PosB;
  uint16_t ShiftA, ShiftR, ShiftG, ShiftB;
  bool Dither;
};

constexpr SurfaceLayout kLayoutBgr32 = {24, 16, 8, 0, 0, 4, 4, 4, false};
constexpr SurfaceLayout kLayoutRgb32 = {24, 0, 8, 16, 0, 4, 4, 4, false};
constexpr SurfaceLayout kLayout4444 = {12, 8, 4, 0, 4, 8, 8, 8, true};
constexpr SurfaceLayout kLayout5551 = {15, 10, 5, 0, 7, 7, 7, 7, true};
constexpr SurfaceLayout kLayout565 = {0, 11, 5, 0, 0, 7, 6, 7, true};
constexpr SurfaceLayout kLayout655 = {0, 10, 5, 0, 0, 6, 7, 7, true};
constexpr SurfaceLayout kLayout664 = {0, 10, 4, 0, 0, 6, 6, 8, true};
constexpr SurfaceLayout kLayoutP8 = {0, 0, 3, 6, 0, 9, 9, 10, true};
constexpr SurfaceLayout kLayoutNone = {0, 0, 0, 0, 0, 0, 0, 0, false};

const SurfaceLayout* LayoutOf(uint32_t type) {
  switch (type) {
    case SurfaceBGR24: case SurfaceBGRX32: case SurfaceBGRA32: return &kLayoutBgr32;
    case SurfaceRGB24: case SurfaceRGBX32: case SurfaceRGBA32: return &kLayoutRgb32;
    case Surface4444: return &kLayout4444;
    case Surface5551: case Surface555: return &kLayout5551;
    case Surface565: return &kLayout565;
    case Surface655: return &kLayout655;
    case Surface664: return &kLayout664;
    case SurfaceP8: return &kLayoutP8;
    default: return &kLayoutNone;
  }
}

// 2x2 ordered dither for a channel whose 12-bit value is shifted right by shift: even rows add
// 0 and 1/2 of the dropped range on even and odd columns, odd rows 1/4 and 3/4.
int16_t DitherValue(uint32_t phase, uint32_t oddColumn, uint16_t shift) {
  const int32_t range = int32_t(1) << shift;
  if (phase == 0) return int16_t(oddColumn ? range / 2 : 0);
  return int16_t(oddColumn ? 3 * range / 4 : range / 4);
}

void FillConstants(const SurfaceLayout* l, PixelConstants* k) {
  const int16_t offsets[3] = {kPixelOffsetR, kPixelOffsetG, kPixelOffsetB};
  const uint16_t shifts[3] = {l->ShiftR, l->ShiftG, l->ShiftB};
  const uint16_t positions[3] = {l->PosR, l->PosG, l->PosB};
  for (uint32_t phase = 0; phase < 2; ++phase) {
    for (int c = 0; c < 3; ++c) {
      for (uint32_t lane = 0; lane < 8; ++lane) {
        const int16_t dither = l->Dither ? DitherValue(phase, lane & 1, shifts[c]) : int16_t(0);
        k->Offset[phase][c][lane] = int16_t(offsets[c] + dither);
      }
    }
  }
  for (int c = 0; c < 3; ++c) {
    k->Shift[c] = shifts[c];
    k->Position[c] = positions[c];
  }
  k->AlphaShift = l->ShiftA;
  k->AlphaPosition = l->PosA;
}

// The set-up steps, tried in order; the first that takes the type fills the converter.
bool Select32WithAlpha(uint32_t type, int hasAlpha, const PixelKernels* kn, PixelSelection* s) {
  if ((type != SurfaceBGRA32 && type != SurfaceRGBA32) || !hasAlpha) return false;
  *s = {kn->Rgb32Alpha, nullptr, 4, 4, 1, 0, {}};
  return true;
}

bool Select32(uint32_t type, int, const PixelKernels* kn, PixelSelection* s) {
  if (type < SurfaceBGR24 || type > SurfaceRGBA32) return false;
  const bool packed = type == SurfaceBGR24 || type == SurfaceRGB24;
  *s = {packed ? kn->Rgb24 : kn->Rgb32, nullptr, packed ? 3u : 4u, packed ? 3u : 4u, 0, 0, {}};
  return true;
}

bool Select16WithAlpha(uint32_t type, int hasAlpha, const PixelKernels* kn, PixelSelection* s) {
  if ((type != Surface4444 && type != Surface5551) || !hasAlpha) return false;
  *s = {kn->Rgb16Alpha, nullptr, 2, 2, 1, 0, {}};
  return true;
}

bool Select16(uint32_t type, int, const PixelKernels* kn, PixelSelection* s) {
  if (type < Surface4444 || type > Surface664) return false;
  *s = {kn->Rgb16, nullptr, 2, 2, 0, 0, {}};
  return true;
}

bool SelectPackedYuv(uint32_t type, int, const PixelKernels* kn, PixelSelection* s) {
  if (type != SurfaceYUY2 && type != SurfaceUYVY) return false;
  *s = {type == SurfaceYUY2 ? kn->Yuy2 : kn->Uyvy, nullptr, 2, 2, 0, 0, {}};
  return true;
}

bool SelectPalettised(uint32_t type, int, const PixelKernels* kn, PixelSelection* s) {
  if (type != SurfaceP8) return false;
  *s = {kn->Index8, nullptr, 1, 1, 0, 0, {}};
  return true;
}

// Planar 4:2:0: bytes copied plane by plane, no colour arithmetic.
bool SelectPlanar(uint32_t type, int, const PixelKernels*, PixelSelection* s) {
  if (type != SurfacePlanar) return false;
  *s = {nullptr, nullptr, 1, 1, 0, 1, {}};
  return true;
}

// Width doubling: packed YUV has its own converters (doubling 16-bit units would swap U and V
// in every second pair); the others double through a post-step.
void ApplyWidthDoubling(uint32_t type, const PixelKernels* kn, PixelSelection* s) {
  if (type == SurfaceYUY2 || type == SurfaceUYVY) {
    s->Row = type == SurfaceYUY2 ? kn->Yuy2Double : kn->UyvyDouble;
    s->RowBytes = 4;
  } else if (s->Row == kn->Rgb24) {
    // Doubled 24-bit pixels are packed from doubled 32-bit ones.
    s->Row = kn->Rgb32;
    s->Post = kn->Pack24Double;
    s->RowBytes = 4;
  } else {
    s->Post = s->RowBytes == 4 ? kn->Double32 : (s->RowBytes == 2 ? kn->Double16 : kn->Double8);
  }
  s->DestBytes = 2 * s->DestBytes;
}

using SelectStep = bool (*)(uint32_t, int, const PixelKernels*, PixelSelection*);
constexpr SelectStep kSelectSteps[] = {Select32WithAlpha, Select32,         Select16WithAlpha,
                                       Select16,          SelectPackedYuv,  SelectPalettised,
                                       SelectPlanar};

}  // namespace

int PixelSelect(uint32_t flags, int hasAlpha, const PixelKernels* kernels, PixelSelection* sel) {
  const uint32_t type = flags & CopySurfaceTypeMask;
  *sel = PixelSelection{};
  bool found = false;
  for (SelectStep step : kSelectSteps) {
    if ((found = step(type, hasAlpha, kernels, sel))) break;
  }
  if (!found) return 0;
  FillConstants(LayoutOf(type), &sel->K);
  if (PixelScaleDoublesWidth((flags & CopyScaleMask) >> CopyScaleShift)) {
    ApplyWidthDoubling(type, kernels, sel);
  }
  return 1;
}
