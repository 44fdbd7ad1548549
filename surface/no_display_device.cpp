// Where the platform has no DirectDraw and no GDI: DirectDraw does not load, display modes do not
// change, and the DIB section is plain memory that the program shows by its own means. The screen
// is reported as 1920 x 1080 at 32 bits, the window as one without a frame at the origin.
#include <cstdlib>

#include "surface/display_device.h"

namespace {

constexpr int32_t kRefused = int32_t(0x80004001u);  // not implemented

int CreateDib(void*, const DibHeader* h, void** dc, void** dib, uint8_t** bits, void** old) {
  const size_t pitch = (size_t(h->Width) * (h->BitCount / 8) + 3) & ~size_t(3);
  *bits = static_cast<uint8_t*>(calloc(pitch * h->Height + 1, 1));
  *dc = *dib = *bits;
  *old = nullptr;
  return *bits != nullptr;
}

void Window(void*, DisplayRect* r) { *r = DisplayRect{0, 0, 0, 0}; }

const DisplayDevice kNoDisplay = {
    [] { return 0; },
    [](void**) { return kRefused; },
    [](void*) {},
    [](void*, void*, int) { return kRefused; },
    [](void*, uint32_t, uint32_t, uint32_t) { return kRefused; },
    [](void*, uint32_t*) { return kRefused; },
    [](void*, void**) { return kRefused; },
    [](void*, uint32_t, uint32_t, uint32_t, void**) { return kRefused; },
    [](void*, uint32_t, uint32_t, uint32_t, int, void**) { return kRefused; },
    [](void*, void*, void**) { return kRefused; },
    [](void*) {},
    [](void*, DisplayLock*) { return kRefused; },
    [](void*, void*) { return kRefused; },
    [](void*) { return kRefused; },
    [](void*, DisplayPixelFormat*) { return kRefused; },
    [](void*, const DisplayRect*, void*, const DisplayRect*, int, uint32_t) { return kRefused; },
    [](void*, const DisplayRect*, void*, const DisplayRect*) { return kRefused; },
    [](void*, const DisplayRect*, uint32_t) { return kRefused; },
    [](void*, void*) { return kRefused; },
    [](void*) {},
    CreateDib,
    [](void*, void* dib, void*) { free(dib); },
    [](void*, void*, const DisplayRect*, const DisplayRect*, uint32_t) {},
    [] { return 0u; },
    [] { return 32u; },
    [](uint32_t* w, uint32_t* h) { *w = 1920, *h = 1080; },
    [](uint32_t, uint32_t, uint32_t) { return int32_t(-2); },
    [] {},
    Window,
    Window,
    [](void*) { return 0; },
    [](void*) { return 1; },
    [] { return 0; },
    [](int32_t* x, int32_t* y) { *x = *y = 0; },
    [](uint32_t* w, uint32_t* h) { *w = *h = 32; },
    [](int show) { return int32_t(show ? 0 : -1); },
    [](void*) -> void* { return nullptr; },
    [](void*) -> void* { return nullptr; },
    [](int32_t, int32_t) -> void* { return nullptr; },
    [](void*) {},
    [](int32_t, int32_t) { return 0u; },
    [](int32_t, int32_t, uint32_t) {},
};

}  // namespace

const DisplayDevice* DisplayPlatformDevice() { return &kNoDisplay; }
