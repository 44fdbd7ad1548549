// Pixel formats, DIB geometry, stretch capability masks, display depth preferences, colour key.
#include "surface/surface_internal.h"
#include "vexa/copy.h"

namespace {

int Type16(const DisplayPixelFormat* f) {
  if (f->Alpha == 0xF000 && f->Red == 0x0F00 && f->Green == 0x00F0 && f->Blue == 0x000F)
    return Surface4444;
  if (f->Red == 0xF800 && f->Green == 0x07E0 && f->Blue == 0x001F) return Surface565;
  if (f->Red == 0x7C00 && f->Green == 0x03E0 && f->Blue == 0x001F)
    return f->Alpha == 0x8000 ? Surface5551 : Surface555;
  if (f->Alpha == 0x8000 && f->Red == 0x7C00) return kTypeUnsupported;
  if (f->Red == 0xFC00 && f->Green == 0x03E0 && f->Blue == 0x001F) return Surface655;
  if (f->Red == 0xFC00 && f->Green == 0x03F0 && f->Blue == 0x000F) return Surface664;
  return kTypeUnsupported;
}

}  // namespace

int SurfaceTypeForFormat(const DisplayPixelFormat* f) {
  switch (f->FourCC) {
    case 0: break;
    case kFourCCUYVY: return SurfaceUYVY;
    case kFourCCYV12: return SurfacePlanar;
    case kFourCCYUY2: return SurfaceYUY2;
    default: return kTypeUnsupported;
  }
  switch (f->Bits) {
    case 8: return SurfaceP8;
    case 16: return Type16(f);
    case 24: return f->Red == 0xFF0000 ? SurfaceBGR24 : SurfaceRGB24;
    case 32:
      if (f->Alpha) return f->Red == 0xFF0000 ? SurfaceBGRA32 : SurfaceRGBA32;
      return f->Red == 0xFF0000 ? SurfaceBGRX32 : SurfaceRGBX32;
    default: return kTypeUnsupported;
  }
}

uint32_t SurfaceTypeBytes(uint32_t type) {
  if (type == SurfaceP8) return 1;
  if (type <= SurfaceRGB24) return 3;
  if (type <= SurfaceRGBA32) return 4;
  return 2;
}

uint32_t DibLayout(uint32_t bytesPerPixel, uint32_t width, uint32_t height, uint32_t redMask16,
                   DibHeader* h, uint32_t* pitch) {
  uint32_t type = SurfaceBGRX32;
  *h = DibHeader{};
  // Rows of whole 32-byte units; the pitch is the one GDI gives a DIB of that pixel width.
  h->Width = ((bytesPerPixel * width + 31) & ~31u) / bytesPerPixel;
  h->Height = height;
  h->BitCount = 8 * bytesPerPixel;
  h->Compression = bytesPerPixel == 3 ? 0 : 3;
  *pitch = (h->Width * bytesPerPixel + 3) & ~3u;
  if (bytesPerPixel == 3) {
    type = SurfaceBGR24;
    h->Red = 0xFF0000, h->Green = 0xFF00, h->Blue = 0xFF;
  } else if (bytesPerPixel == 4) {
    h->Red = 0xFF0000, h->Green = 0xFF00, h->Blue = 0xFF;
  } else if (redMask16 == 0xF800) {
    type = Surface565;
    h->Red = 0xF800, h->Green = 0x07E0, h->Blue = 0x001F;
  } else {
    type = Surface555;
    h->Red = 0x7C00, h->Green = 0x03E0, h->Blue = 0x001F;
  }
  return type;
}

namespace {

// The stretch bits each capability gives, in the order stretch x, stretch x by whole multiples,
// shrink x, shrink x by whole divisors, and the same four for y.
constexpr uint32_t StretchMaskOfCap[8] = {0xC0000000u, 0x80000000u, 0x30000000u, 0x20000000u,
                                          0x0C000000u, 0x08000000u, 0x03000000u, 0x02000000u};

uint32_t MaskFrom(uint32_t fxCaps, const uint32_t (&caps)[8]) {
  uint32_t mask = 0;
  for (int i = 0; i < 8; ++i)
    if (fxCaps & caps[i]) mask |= StretchMaskOfCap[i];
  return mask;
}

}  // namespace

uint32_t OverlayStretchMask(uint32_t fxCaps) {
  return MaskFrom(fxCaps, {kFxOverlayStretchX, kFxOverlayStretchXN, kFxOverlayShrinkX,
                           kFxOverlayShrinkXN, kFxOverlayStretchY, kFxOverlayStretchYN,
                           kFxOverlayShrinkY, kFxOverlayShrinkYN});
}

uint32_t BlitStretchMask(uint32_t fxCaps) {
  return MaskFrom(fxCaps, {kFxBltStretchX, kFxBltStretchXN, kFxBltShrinkX, kFxBltShrinkXN,
                           kFxBltStretchY, kFxBltStretchYN, kFxBltShrinkY, kFxBltShrinkYN});
}

uint32_t DepthPreference(uint32_t code, uint32_t depths[3]) {
  static const uint32_t lists[4][3] = {{0, 0, 0}, {16, 32, 24}, {32, 24, 16}, {32, 24, 0}};
  if (code < 1 || code > 3) {
    depths[0] = code;
    return 1;
  }
  for (uint32_t i = 0; i < 3; i++) depths[i] = lists[code][i];
  return code == 3 ? 2 : 3;
}

uint32_t ColorKeyFor(uint32_t bitsPerPixel, uint32_t redMask, uint32_t blueMask) {
  if (bitsPerPixel == 8) return 253;
  return (redMask & (0u - redMask)) + (blueMask & (0u - blueMask));
}
