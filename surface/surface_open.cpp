// Opening and closing a surface: choosing the blitting style, creating the DIB section or the
// DirectDraw surface, the description and error texts.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "surface/surface_internal.h"
#include "vexa/copy.h"

namespace {

char gError[256];
char gDescription[64];

constexpr const char* kNoStyle = "No capable blitting style available.";
constexpr const char* kVideoMode = "Video mode not supported.";
constexpr const char* k256Colors = "256 color mode not supported.";

const char* const kDescriptions[11] = {
    "",
    "DirectDraw primary surface",
    "DIB Section",
    "DirectDraw YV12 overlay",
    "DirectDraw YUY2 overlay",
    "DirectDraw UYVY overlay",
    "DirectDraw YV12 off-screen surface",
    "DirectDraw YUY2 off-screen surface",
    "DirectDraw UYVY off-screen surface",
    "DirectDraw RGB off-screen video surface",
    "DirectDraw RGB off-screen system surface"};

// The FOURCC of the YUV styles 3-8.
uint32_t StyleFourCC(uint32_t style) {
  static const uint32_t codes[3] = {kFourCCYV12, kFourCCYUY2, kFourCCUYVY};
  return codes[(style - 3) % 3];
}

// What an open has taken so far, given back when it fails.
struct OpenState {
  Surface s;
  uint32_t Stretch;  // requested stretch bits
};

void GiveBack(OpenState* o) {
  const DisplayDevice* dev = DisplayApi();
  if (o->s.DibDC) dev->DeleteDib(o->s.DibDC, o->s.Dib, o->s.OldBitmap);
  if (o->s.IsOverlay) dev->UpdateOverlay(o->s.DDSurface, nullptr, Display()->Primary, nullptr, 0, 0);
  if (o->s.IsOverlay || o->s.IsOffscreen) dev->ReleaseSurface(o->s.DDSurface);
  if (o->s.Clipper) dev->ReleaseClipper(o->s.Clipper);
  if (o->s.UsesDirectDraw) DirectDrawRelease();
  if (o->s.ChangedMode) DisplayModeRelease();
}

bool OpenDib(OpenState* o, uint32_t flags) {
  Surface* s = &o->s;
  s->ChangedMode = uint32_t(DisplayModeChange(s->Window, flags & SurfaceSetMode));
  if (!s->ChangedMode) {
    DirectDrawOpen(s->Window, flags & SurfaceSetMode);
    s->UsesDirectDraw = Display()->References != 0;
  }
  if (!s->ChangedMode && !s->UsesDirectDraw)
    s->ChangedMode = uint32_t(DisplayModeChange(s->Window, flags & SurfaceSetMode));
  const DisplayDevice* dev = DisplayApi();
  const uint32_t bytes = Display()->BytesPerPixel;
  if (bytes < 2) {
    SurfaceSetError(k256Colors);
    return false;
  }
  DibHeader header;
  const uint32_t type = DibLayout(bytes, s->Width, s->Height,
                                 bytes == 2 ? dev->Probe16BitRedMask() : 0, &header, &s->DibPitch);
  if (!dev->CreateDib(s->Window, &header, &s->DibDC, &s->Dib, &s->DibBits, &s->OldBitmap)) {
    s->DibDC = nullptr;
    SurfaceSetError("Unable to create DIBSection.");
    return false;
  }
  s->TypeFlags = type | (o->Stretch ? SurfaceStretchBlit : 0);
  s->StretchCaps = 0xFF000000u;
  return true;
}

bool OpenPrimary(OpenState* o) {
  Surface* s = &o->s;
  const DisplayState* d = Display();
  if (o->Stretch || s->Width > d->ScreenWidth || s->Height > d->ScreenHeight) return false;
  const DisplayDevice* dev = d->Device;
  DisplayLock lock{};
  const int32_t result = LockRestoring(d->Primary, &lock);
  if (result == kDdOk) dev->Unlock(d->Primary, lock.Memory);
  if (result == kDdCantLockSurface) return false;
  DisplayPixelFormat format{};
  dev->GetPixelFormat(d->Primary, &format);
  const int type = SurfaceTypeForFormat(&format);
  if (type == kTypeUnsupported) {
    SurfaceSetError(kVideoMode);
    return false;
  }
  s->DDSurface = d->Primary;
  s->TypeFlags = uint32_t(type) | SurfaceDirect;
  s->ClampToScreen = 1;
  s->SoftwareCursor = TestSoftwareCursor(d->Primary, dev->WindowCursor(s->Window));
  return true;
}

// Creates the overlay or off-screen surface of a style and clears it; its type, or
// kTypeUnsupported with nothing kept.
int CreateStyleSurface(OpenState* o) {
  Surface* s = &o->s;
  const DisplayState* d = Display();
  const DisplayDevice* dev = d->Device;
  const uint32_t fourCC = s->Style <= 8 ? StyleFourCC(s->Style) : 0;
  void* surface = nullptr;
  const int32_t result =
      s->Style <= 5 ? dev->CreateOverlay(d->DirectDraw, fourCC, s->Width, s->Height, &surface)
                    : dev->CreateOffscreen(d->DirectDraw, fourCC, s->Width, s->Height,
                                           s->Style == 10, &surface);
  if (result != kDdOk) return kTypeUnsupported;
  DisplayPixelFormat format{};
  format.FourCC = fourCC;
  if (!fourCC) dev->GetPixelFormat(surface, &format);
  const int type = SurfaceTypeForFormat(&format);
  DisplayLock lock{};
  if (type == SurfaceP8 || type == kTypeUnsupported || LockRestoring(surface, &lock) != kDdOk) {
    if (type == kTypeUnsupported) SurfaceSetError(kVideoMode);
    dev->ReleaseSurface(surface);
    return kTypeUnsupported;
  }
  ClearPixels(uint32_t(type), lock.Memory, lock.Pitch, s->Width, s->Height);
  dev->Unlock(surface, lock.Memory);
  s->DDSurface = surface;
  return type;
}

bool OpenDirectDrawStyle(OpenState* o) {
  Surface* s = &o->s;
  const DisplayState* d = Display();
  if (s->Style == 1) return OpenPrimary(o);
  const uint32_t mask = s->Style <= 5 ? d->OverlayMask : d->BlitMask;
  if (o->Stretch & ~mask) return false;
  const int type = CreateStyleSurface(o);
  if (type == kTypeUnsupported) return false;
  s->StretchCaps = mask;
  if (s->Style <= 5) {
    s->IsOverlay = 1;
    s->TypeFlags = uint32_t(type) | SurfaceDirect;
  } else {
    s->IsOffscreen = 1;
    s->TypeFlags = uint32_t(type) | (o->Stretch ? SurfaceStretchBlit : 0);
  }
  return true;
}

bool OpenStyle(OpenState* o, uint32_t flags) {
  Surface* s = &o->s;
  if (s->Style == 2) return OpenDib(o, flags);
  if (s->Style > 10) {
    SurfaceSetError(kNoStyle);
    return false;
  }
  DirectDrawOpen(s->Window, flags & SurfaceSetMode);
  const DisplayState* d = Display();
  if (!d->References) {
    SurfaceSetError("DirectDraw is not available");
    return false;
  }
  s->UsesDirectDraw = 1;
  if (!OpenDirectDrawStyle(o)) {
    if (!gError[0]) SurfaceSetError(d->ScreenBits >= 1 && d->ScreenBits <= 8 ? k256Colors : kNoStyle);
    return false;
  }
  if (d->Device->CreateClipper(d->DirectDraw, s->Window, &s->Clipper) != kDdOk) s->Clipper = nullptr;
  return true;
}

// The window's frame around the client area, and where the client area starts.
void MeasureWindow(Surface* s) {
  const DisplayDevice* dev = DisplayApi();
  DisplayRect window{}, client{};
  dev->WindowRect(s->Window, &window);
  dev->ClientRect(s->Window, &client);
  s->ClientOffsetX = client.Left - window.Left;
  s->ClientOffsetY = client.Top - window.Top;
  s->NonClientWidth = uint32_t((window.Right - window.Left) - (client.Right - client.Left));
  s->NonClientHeight = uint32_t((window.Bottom - window.Top) - (client.Bottom - client.Top));
  s->WindowWidth = s->NonClientWidth + s->Width;
  s->WindowHeight = s->NonClientHeight + s->Height;
}

}  // namespace

void SurfaceSetError(const char* text) { snprintf(gError, sizeof gError, "%s", text); }

const char* SurfaceGetError() { return gError; }

const char* SurfaceDescribe(const Surface* s) {
  if (s && s->Style >= 1 && s->Style <= 10)
    snprintf(gDescription, sizeof gDescription, "%s", kDescriptions[s->Style]);
  return gDescription;
}

Surface* SurfaceOpen(void* window, uint32_t width, uint32_t height, uint32_t flags) {
  gError[0] = 0;
  if (!width || !height) {
    SurfaceSetError("The picture has no size.");
    return nullptr;
  }
  OpenState o{};
  o.s.Window = window;
  o.s.Width = width;
  o.s.Height = height;
  o.s.Style = (flags & SurfaceStyleMask) ? flags & SurfaceStyleMask : 2;
  o.Stretch = flags & StretchMask;
  if (!OpenStyle(&o, flags)) {
    GiveBack(&o);
    return nullptr;
  }
  Surface* s = static_cast<Surface*>(malloc(sizeof(Surface)));
  if (!s) {
    GiveBack(&o);
    SurfaceSetError("Out of memory.");
    return nullptr;
  }
  *s = o.s;
  const DisplayState* d = Display();
  s->ScreenWidth = d->ScreenWidth;
  s->ScreenHeight = d->ScreenHeight;
  s->ScreenBits = d->ScreenBits;
  MeasureWindow(s);
  SurfaceMoved(s, 0, 0);
  SurfaceSetDestSize(s, width, height);
  return s;
}

void SurfaceClose(Surface* s) {
  if (!s || !s->Width) return;
  OpenState o{};
  o.s = *s;
  GiveBack(&o);
  memset(s, 0, sizeof *s);
  free(s);
}
