#include "tests/surface/sim_display.h"

#include <algorithm>
#include <memory>

namespace {

SimDisplay gSim;
std::vector<std::unique_ptr<SimSurface>> gOwned;
SimSurface* gPrimary = nullptr;
uint8_t gSavedUnderCursor = 0;

SimSurface* NewSurface(uint32_t w, uint32_t h, const DisplayPixelFormat& f, void** out) {
  auto s = std::make_unique<SimSurface>();
  const uint32_t bytes = f.FourCC ? 2 : f.Bits / 8;
  s->Width = w, s->Height = h, s->Pitch = w * bytes + 8, s->Format = f;
  s->Memory.assign(size_t(s->Pitch) * h * (f.FourCC == kFourCCYV12 ? 2 : 1), 0xEE);
  *out = s.get();
  gOwned.push_back(std::move(s));
  return gOwned.back().get();
}

SimSurface* S(void* s) { return static_cast<SimSurface*>(s); }
uint8_t* UnderCursor() {
  static uint8_t offScreen;
  if (uint32_t(gSim.CursorX) >= gSim.ScreenWidth || uint32_t(gSim.CursorY) >= gSim.ScreenHeight)
    return &offScreen;
  return &gPrimary->Memory[size_t(gSim.CursorY) * gPrimary->Pitch + size_t(gSim.CursorX) * 4];
}
int32_t Fail() { return int32_t(0x80004005u); }

int32_t CreateFourCC(void*, uint32_t fourCC, uint32_t w, uint32_t h, void** out) {
  DisplayPixelFormat f = gSim.Offscreen;
  if (fourCC) f = DisplayPixelFormat{fourCC, 16, 0, 0, 0, 0};
  NewSurface(w, h, f, out);
  return kDdOk;
}

const DisplayDevice kSim = {
    [] { return int(gSim.DirectDraw); },
    [](void** dd) { return *dd = &gSim, kDdOk; },
    [](void*) {},
    [](void*, void*, int exclusive) { return gSim.Log.push_back("level " + std::to_string(exclusive)), kDdOk; },
    [](void*, uint32_t w, uint32_t h, uint32_t bits) {
      gSim.Log.push_back("mode " + std::to_string(bits));
      return std::count(gSim.Depths.begin(), gSim.Depths.end(), bits) ? (gSim.ScreenWidth = w, gSim.ScreenHeight = h, gSim.ScreenBits = bits, kDdOk) : Fail();
    },
    [](void*, uint32_t* fx) { return *fx = gSim.FxCaps, kDdOk; },
    [](void*, void** out) {
      gPrimary = NewSurface(gSim.ScreenWidth, gSim.ScreenHeight, gSim.Primary, out);
      gPrimary->Pitch = gSim.ScreenWidth * gSim.Primary.Bits / 8;
      return kDdOk;
    },
    CreateFourCC,
    [](void* dd, uint32_t fourCC, uint32_t w, uint32_t h, int, void** out) { return CreateFourCC(dd, fourCC, w, h, out); },
    [](void*, void*, void** c) { return *c = &gSim, kDdOk; },
    [](void*) {},
    [](void* s, DisplayLock* lock) {
      int32_t r = kDdOk;
      if (!gSim.LockResults.empty()) r = gSim.LockResults.front(), gSim.LockResults.erase(gSim.LockResults.begin());
      if (r == kDdOk) *lock = DisplayLock{S(s)->Memory.data(), int32_t(S(s)->Pitch), S(s)->Width, S(s)->Height};
      return r;
    },
    [](void*, void*) { return kDdOk; },
    [](void*) { return gSim.Log.push_back("restore"), kDdOk; },
    [](void* s, DisplayPixelFormat* f) { return *f = S(s)->Format, kDdOk; },
    [](void*, const DisplayRect* src, void*, const DisplayRect* dest, int show, uint32_t) {
      gSim.Log.push_back(src ? "overlay " + SimRect(*src) + " to " + SimRect(*dest) + (show ? " shown" : " hidden") : "overlay hidden");
      return kDdOk;
    },
    [](void*, const DisplayRect* d, void*, const DisplayRect* s) { return gSim.Log.push_back("blt " + SimRect(*s) + " to " + SimRect(*d)), kDdOk; },
    [](void*, const DisplayRect* d, uint32_t color) { return gSim.Log.push_back("fill " + SimRect(*d) + " " + std::to_string(color)), kDdOk; },
    [](void*, void*) { return kDdOk; },
    [](void*) {},
    [](void*, const DibHeader* h, void** dc, void** dib, uint8_t** bits, void** old) {
      if (gSim.DibFails) return 0;
      NewSurface(h->Width, h->Height, DisplayPixelFormat{0, h->BitCount, 0, 0, 0, 0}, dib);
      *bits = S(*dib)->Memory.data(), *dc = *dib, *old = nullptr;
      return 1;
    },
    [](void*, void*, void*) {},
    [](void*, void*, const DisplayRect* src, const DisplayRect* dest, uint32_t n) {
      for (uint32_t i = 0; i < n; i++) gSim.Log.push_back("stretch " + SimRect(src[i]) + " to " + SimRect(dest[i]));
    },
    [] { return 0xF800u; },  // RGB 565
    [] { return gSim.ScreenBits; },
    [](uint32_t* w, uint32_t* h) { *w = gSim.ScreenWidth, *h = gSim.ScreenHeight; },
    [](uint32_t, uint32_t, uint32_t bits) {
      gSim.Log.push_back("display " + std::to_string(bits));
      if (bits && !std::count(gSim.Depths.begin(), gSim.Depths.end(), bits)) return int32_t(-2);
      if (bits) gSim.ScreenBits = bits;
      return int32_t(0);
    },
    [] { gSim.Log.push_back("display restored"); },
    [](void*, DisplayRect* r) { *r = gSim.Window; },
    [](void*, DisplayRect* r) { *r = gSim.Client; },
    [](void*) { return 0; },
    [](void*) { return 1; },
    [] { return 1; },
    [](int32_t* x, int32_t* y) { *x = gSim.CursorX, *y = gSim.CursorY; },
    [](uint32_t* w, uint32_t* h) { *w = *h = 32; },
    [](int show) {
      gSim.CursorShown += show ? 1 : -1;
      // A software cursor saves the screen under it when shown and puts it back when hidden.
      if (gSim.SoftwareCursor && gPrimary && gSim.CursorShown == (show ? 0 : -1)) {
        if (show) gSavedUnderCursor = *UnderCursor();
        else *UnderCursor() = gSavedUnderCursor;
      }
      return gSim.CursorShown;
    },
    [](void*) -> void* { return nullptr; },
    [](void*) -> void* { return nullptr; },
    [](int32_t, int32_t) -> void* { return nullptr; },
    [](void*) {},
    [](int32_t, int32_t) { return uint32_t(*UnderCursor()); },
    [](int32_t, int32_t, uint32_t v) { *UnderCursor() = uint8_t(v); },
};

}  // namespace

SimDisplay* SimDisplayUse() {
  gSim = SimDisplay{};
  gOwned.clear();
  gPrimary = nullptr;
  gSavedUnderCursor = 0;
  DisplayUseDevice(&kSim);
  return &gSim;
}

std::string SimRect(const DisplayRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) +
         "," + std::to_string(r.Bottom);
}
