// The Windows display: DirectDraw loaded at run time from DDRAW.DLL, GDI DIB sections and
// StretchBlt, the display settings, the window and the cursor.
#include <windows.h>
#include <ddraw.h>

#include "surface/display_device.h"

namespace {

using CreateFunction = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);
CreateFunction gCreate = nullptr;

IDirectDraw* Object(void* o) { return static_cast<IDirectDraw*>(o); }
IDirectDrawSurface* Surf(void* s) { return static_cast<IDirectDrawSurface*>(s); }
HWND Window(void* w) { return static_cast<HWND>(w); }
RECT ToRect(const DisplayRect* r) { return RECT{r->Left, r->Top, r->Right, r->Bottom}; }

int Load() {
  const UINT mode = SetErrorMode(SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS);
  HMODULE library = LoadLibraryA("DDRAW.DLL");
  SetErrorMode(mode);
  if (!library) return 0;
  gCreate = reinterpret_cast<CreateFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "DirectDrawCreate")));
  return gCreate != nullptr;
}

int32_t Create(void** directDraw) {
  IDirectDraw* dd = nullptr;
  const HRESULT r = gCreate(nullptr, &dd, nullptr);
  *directDraw = dd;
  return r;
}

int32_t SetCooperativeLevel(void* dd, void* window, int exclusive) {
  return Object(dd)->SetCooperativeLevel(
      Window(window), exclusive ? DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN : DDSCL_NORMAL);
}

int32_t GetFxCaps(void* dd, uint32_t* fxCaps) {
  DDCAPS caps{};
  caps.dwSize = sizeof caps;
  const HRESULT r = Object(dd)->GetCaps(&caps, nullptr);
  *fxCaps = caps.dwFXCaps;
  return r;
}

int32_t CreateWith(void* dd, DDSURFACEDESC* desc, void** surface) {
  IDirectDrawSurface* s = nullptr;
  desc->dwSize = sizeof *desc;
  const HRESULT r = Object(dd)->CreateSurface(desc, &s, nullptr);
  *surface = r == DD_OK ? s : nullptr;
  return r;
}

int32_t CreatePrimary(void* dd, void** surface) {
  DDSURFACEDESC desc{};
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  return CreateWith(dd, &desc, surface);
}

DDSURFACEDESC SizedDesc(uint32_t fourCC, uint32_t width, uint32_t height, DWORD caps) {
  DDSURFACEDESC desc{};
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (fourCC ? DDSD_PIXELFORMAT : 0);
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddsCaps.dwCaps = caps;
  desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
  desc.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
  desc.ddpfPixelFormat.dwFourCC = fourCC;
  return desc;
}

int32_t CreateOverlay(void* dd, uint32_t fourCC, uint32_t width, uint32_t height, void** surface) {
  DDSURFACEDESC desc = SizedDesc(fourCC, width, height, DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY);
  return CreateWith(dd, &desc, surface);
}

int32_t CreateOffscreen(void* dd, uint32_t fourCC, uint32_t width, uint32_t height,
                        int systemMemory, void** surface) {
  DDSURFACEDESC desc = SizedDesc(
      fourCC, width, height,
      DDSCAPS_OFFSCREENPLAIN | (systemMemory ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY));
  return CreateWith(dd, &desc, surface);
}

int32_t CreateClipper(void* dd, void* window, void** clipper) {
  IDirectDrawClipper* c = nullptr;
  HRESULT r = Object(dd)->CreateClipper(0, &c, nullptr);
  if (r == DD_OK && (r = c->SetHWnd(0, Window(window))) != DD_OK) c->Release(), c = nullptr;
  *clipper = c;
  return r;
}

int32_t Lock(void* surface, DisplayLock* lock) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  const HRESULT r = Surf(surface)->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  if (r != DD_OK) return r;
  *lock = DisplayLock{static_cast<uint8_t*>(desc.lpSurface), int32_t(desc.lPitch), desc.dwWidth,
                      desc.dwHeight};
  return r;
}

int32_t GetPixelFormat(void* surface, DisplayPixelFormat* f) {
  DDPIXELFORMAT p{};
  p.dwSize = sizeof p;
  const HRESULT r = Surf(surface)->GetPixelFormat(&p);
  *f = DisplayPixelFormat{};
  if (r != DD_OK) return r;
  if (p.dwFlags & DDPF_FOURCC) f->FourCC = p.dwFourCC;
  f->Bits = p.dwRGBBitCount;
  f->Red = p.dwRBitMask, f->Green = p.dwGBitMask, f->Blue = p.dwBBitMask;
  f->Alpha = (p.dwFlags & DDPF_ALPHAPIXELS) ? p.dwRGBAlphaBitMask : 0;
  return r;
}

int32_t UpdateOverlay(void* overlay, const DisplayRect* src, void* primary, const DisplayRect* dest,
                      int show, uint32_t key) {
  if (!src) return Surf(overlay)->UpdateOverlay(nullptr, Surf(primary), nullptr, DDOVER_HIDE, nullptr);
  RECT s = ToRect(src), d = ToRect(dest);
  DDOVERLAYFX fx{};
  fx.dwSize = sizeof fx;
  fx.dckDestColorkey.dwColorSpaceLowValue = key;
  fx.dckDestColorkey.dwColorSpaceHighValue = key;
  return Surf(overlay)->UpdateOverlay(&s, Surf(primary), &d,
                                      DDOVER_KEYDESTOVERRIDE | (show ? DDOVER_SHOW : DDOVER_HIDE),
                                      &fx);
}

int32_t Blt(void* dest, const DisplayRect* destRect, void* src, const DisplayRect* srcRect) {
  RECT d = ToRect(destRect), s = ToRect(srcRect);
  return Surf(dest)->Blt(&d, Surf(src), &s, DDBLT_WAIT, nullptr);
}

int32_t ColorFill(void* dest, const DisplayRect* destRect, uint32_t color) {
  RECT d = ToRect(destRect);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = color;
  return Surf(dest)->Blt(&d, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

struct DibInfo {
  BITMAPINFOHEADER Header;
  DWORD Masks[3];
};

int CreateDib(void* window, const DibHeader* h, void** dc, void** dib, uint8_t** bits,
              void** oldBitmap) {
  HDC windowDC = GetDC(Window(window));
  HDC memory = CreateCompatibleDC(windowDC);
  ReleaseDC(Window(window), windowDC);
  if (!memory) return 0;
  DibInfo info{};
  info.Header.biSize = sizeof info.Header;
  info.Header.biWidth = LONG(h->Width);
  info.Header.biHeight = -LONG(h->Height);
  info.Header.biPlanes = 1;
  info.Header.biBitCount = WORD(h->BitCount);
  info.Header.biCompression = h->Compression ? BI_BITFIELDS : BI_RGB;
  info.Masks[0] = h->Red, info.Masks[1] = h->Green, info.Masks[2] = h->Blue;
  void* memoryBits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &memoryBits, nullptr, 0);
  if (!bitmap) {
    DeleteDC(memory);
    return 0;
  }
  *oldBitmap = SelectObject(memory, bitmap);
  *dc = memory;
  *dib = bitmap;
  *bits = static_cast<uint8_t*>(memoryBits);
  return 1;
}

void DeleteDib(void* dc, void* dib, void* oldBitmap) {
  SelectObject(HDC(dc), HGDIOBJ(oldBitmap));
  DeleteObject(HGDIOBJ(dib));
  DeleteDC(HDC(dc));
}

void StretchDib(void* window, void* dibDC, const DisplayRect* src, const DisplayRect* dest,
                uint32_t count) {
  HDC dc = GetDC(Window(window));
  SetStretchBltMode(dc, COLORONCOLOR);
  for (uint32_t i = 0; i < count; i++)
    StretchBlt(dc, dest[i].Left, dest[i].Top, dest[i].Right - dest[i].Left,
               dest[i].Bottom - dest[i].Top, HDC(dibDC), src[i].Left, src[i].Top,
               src[i].Right - src[i].Left, src[i].Bottom - src[i].Top, SRCCOPY);
  ReleaseDC(Window(window), dc);
}

uint32_t Probe16BitRedMask() {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  DibInfo info{};
  info.Header.biSize = sizeof info.Header;
  // The first call fills the header, the second the colour masks of a bit-fields format.
  GetDIBits(screen, bitmap, 0, 1, nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  GetDIBits(screen, bitmap, 0, 1, nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return info.Header.biCompression == BI_BITFIELDS ? info.Masks[0] : 0;
}

uint32_t ScreenBitsPerPixel() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return uint32_t(bits);
}

int32_t ChangeDisplay(uint32_t width, uint32_t height, uint32_t bits) {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  mode.dmBitsPerPel = bits;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | (bits ? DM_BITSPERPEL : 0);
  return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
}

void ClientRect(void* window, DisplayRect* r) {
  RECT client{};
  GetClientRect(Window(window), &client);
  POINT origin{0, 0};
  ClientToScreen(Window(window), &origin);
  *r = DisplayRect{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY || message == WM_PAINT) return 0;
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcA(window, message, w, l);
}

void* ProbeWindowOpen(int32_t x, int32_t y) {
  WNDCLASSA c{};
  c.lpfnWndProc = ProbeProcedure;
  c.hInstance = GetModuleHandleA(nullptr);
  c.lpszClassName = "MouseTypeWind";
  RegisterClassA(&c);
  return CreateWindowExA(WS_EX_TOPMOST, "MouseTypeWind", "", WS_POPUP | WS_VISIBLE, x, y, 32, 32,
                         nullptr, nullptr, c.hInstance, nullptr);
}

void ProbeWindowClose(void* probe) {
  if (probe) DestroyWindow(Window(probe));
  UnregisterClassA("MouseTypeWind", GetModuleHandleA(nullptr));
}

uint32_t ReadScreenPixel(int32_t x, int32_t y) {
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return c;
}

void WriteScreenPixel(int32_t x, int32_t y, uint32_t value) {
  HDC screen = GetDC(nullptr);
  SetPixel(screen, x, y, value);
  ReleaseDC(nullptr, screen);
}

const DisplayDevice kWindowsDisplay = {
    Load,
    Create,
    [](void* dd) { Object(dd)->Release(); },
    SetCooperativeLevel,
    [](void* dd, uint32_t w, uint32_t h, uint32_t bits) -> int32_t {
      return Object(dd)->SetDisplayMode(w, h, bits);
    },
    GetFxCaps,
    CreatePrimary,
    CreateOverlay,
    CreateOffscreen,
    CreateClipper,
    [](void* c) { static_cast<IDirectDrawClipper*>(c)->Release(); },
    Lock,
    [](void* s, void* memory) -> int32_t { return Surf(s)->Unlock(memory); },
    [](void* s) -> int32_t { return Surf(s)->Restore(); },
    GetPixelFormat,
    UpdateOverlay,
    Blt,
    ColorFill,
    [](void* s, void* c) -> int32_t {
      return Surf(s)->SetClipper(static_cast<IDirectDrawClipper*>(c));
    },
    [](void* s) { Surf(s)->Release(); },
    CreateDib,
    DeleteDib,
    StretchDib,
    Probe16BitRedMask,
    ScreenBitsPerPixel,
    [](uint32_t* w, uint32_t* h) {
      *w = uint32_t(GetSystemMetrics(SM_CXSCREEN));
      *h = uint32_t(GetSystemMetrics(SM_CYSCREEN));
    },
    ChangeDisplay,
    [] { ChangeDisplaySettingsA(nullptr, 0); },
    [](void* w, DisplayRect* r) {
      RECT rect{};
      GetWindowRect(Window(w), &rect);
      *r = DisplayRect{rect.left, rect.top, rect.right, rect.bottom};
    },
    ClientRect,
    [](void* w) { return int(IsIconic(Window(w))); },
    [](void* w) { return int(IsWindowVisible(Window(w))); },
    [] { return GetSystemMetrics(SM_MOUSEPRESENT); },
    [](int32_t* x, int32_t* y) {
      POINT p{};
      GetCursorPos(&p);
      *x = p.x, *y = p.y;
    },
    [](uint32_t* w, uint32_t* h) {
      *w = uint32_t(GetSystemMetrics(SM_CXCURSOR));
      *h = uint32_t(GetSystemMetrics(SM_CYCURSOR));
    },
    [](int show) -> int32_t { return ShowCursor(show ? TRUE : FALSE); },
    [](void* w) -> void* {
      return reinterpret_cast<void*>(GetClassLongPtrA(Window(w), GCLP_HCURSOR));
    },
    [](void* cursor) -> void* { return SetCursor(HCURSOR(cursor)); },
    ProbeWindowOpen,
    ProbeWindowClose,
    ReadScreenPixel,
    WriteScreenPixel,
};

}  // namespace

const DisplayDevice* DisplayPlatformDevice() { return &kWindowsDisplay; }
