// vexa_surface_screen: opens every blitting style at a few sizes and stretches in a real window,
// blits a movie frame and compares the screen under the picture with the frame converted to
// 32 bits: RGB styles exactly, YUV styles within kYuvTolerance; a style that does not open must
// give a text its path allows. Prints one line per case; exit 1 on a mismatch.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "surface/surface.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

// Measured under Wine 8: its YUV to RGB conversion differs from ours by up to 19, and its stretching
// blit, which filters, by up to 4 from pixel doubling (with the sample position free by one pixel).
constexpr int kYuvTolerance = 20;
// Its YV12 conversion also filters the chroma rows (up to 23 here), and reads the chroma planes as
// if the pitch were the picture width: where the lock pitch is wider (104 for a 100-pixel picture)
// the chroma rows it shows are shifted, so such a case is reported, not judged.
constexpr int kYv12Tolerance = 24;
constexpr int kStretchTolerance = 6;

// One frame of a luma gradient and smooth chroma (the display may interpolate it between pixels).
std::vector<uint8_t> MakeMovie(uint32_t width, uint32_t height) {
  VideoEncoderConfig config;
  config.Width = width, config.Height = height, config.Quality = 100;
  return TestEncodeMovie(config, 1, [](uint32_t, uint32_t w, uint32_t h, uint8_t* y, uint8_t* u,
                                       uint8_t* v) {
    const uint32_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    for (uint32_t i = 0; i < w * h; i++) y[i] = uint8_t(16 + (i % w) * 200 / w + (i / w) % 8);
    for (uint32_t i = 0; i < cw * ch; i++)
      u[i] = uint8_t(64 + (i % cw) * 128 / cw), v[i] = uint8_t(192 - (i / cw) * 96 / ch);
  });
}

// The screen's pixels (32-bit BGRX rows) of a rectangle.
std::vector<uint8_t> Capture(int x, int y, uint32_t w, uint32_t h) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), LONG(w), -LONG(h), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, int(w), int(h), screen, x, y, SRCCOPY);
  GdiFlush();
  std::vector<uint8_t> out(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + 4 * w * h);
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  MSG msg;
  do {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  } while (GetTickCount() < end);
}

// The largest difference of a colour byte between the capture and the reference scaled to the
// output size by pixel doubling. With slack 1 each output pixel may come from a source pixel next
// to the doubled one (a stretch blit that places its samples differently).
int Difference(const std::vector<uint8_t>& shot, const std::vector<uint8_t>& ref, uint32_t w,
               uint32_t h, uint32_t scale, int slack) {
  int worst = 0;
  for (uint32_t y = 0; y < h * scale; y++)
    for (uint32_t x = 0; x < w * scale; x++) {
      int best = 256;
      for (int sy = int(y / scale) - slack; sy <= int(y / scale) + slack; sy++)
        for (int sx = int(x / scale) - slack; sx <= int(x / scale) + slack; sx++) {
          if (sx < 0 || sy < 0 || sx >= int(w) || sy >= int(h)) continue;
          int d = 0;
          for (uint32_t c = 0; c < 3; c++)
            d = std::max(d, abs(int(shot[4 * (y * w * scale + x) + c]) - int(ref[4 * (sy * w + sx) + c])));
          best = std::min(best, d);
        }
      worst = std::max(worst, best);
    }
  return worst;
}

}  // namespace

int main() {
  WNDCLASSA c{};
  c.lpfnWndProc = DefWindowProcA;
  c.hInstance = GetModuleHandleA(nullptr);
  c.lpszClassName = "VexaSurfaceScreen";
  c.hCursor = LoadCursor(nullptr, IDC_ARROW);
  c.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
  RegisterClassA(&c);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, c.lpszClassName, "surface", WS_POPUP | WS_VISIBLE,
                                40, 40, 400, 300, nullptr, nullptr, c.hInstance, nullptr);
  if (!window) return std::printf("no window\n"), 1;
  SetCursorPos(1000, 700);  // away from the picture
  Pump(300);
  const struct {
    uint32_t Width, Height, Scale;
  } cases[] = {{64, 48, 1}, {100, 30, 1}, {64, 48, 2}};
  int failures = 0;
  for (const auto& k : cases) {
    const std::vector<uint8_t> image = MakeMovie(k.Width, k.Height);
    Movie* m = MovieOpen(image.data(), OpenFromMemory);
    if (!m || !MovieFrameBegin(m, MovieTimerMs())) return std::printf("movie: %s\n", MovieGetError()), 1;
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    std::vector<uint8_t> ref(4 * k.Width * k.Height);
    MovieCopyToSurface(m, ref.data(), int32_t(4 * k.Width), k.Height, 0, 0, 0, 0, k.Width, k.Height,
                       SurfaceBGRX32 | CopyAll);
    for (uint32_t style = 1; style <= 10; style++) {
      const uint32_t stretch = k.Scale > 1 ? StretchWidthMultiple | StretchHeightMultiple : 0;
      SetWindowPos(window, HWND_TOPMOST, 40, 40, int(k.Width * k.Scale), int(k.Height * k.Scale), SWP_SHOWWINDOW);
      InvalidateRect(window, nullptr, TRUE);
      UpdateWindow(window);
      Pump(100);
      Surface* s = SurfaceOpen(window, k.Width, k.Height, style | stretch);
      std::printf("style %2u %3ux%-3u x%u: ", style, k.Width, k.Height, k.Scale);
      if (!s) {
        const std::string text = SurfaceGetError();
        // Overlays stretch only where the driver says it can; Wine's says nothing.
        const bool allowed = text == "No capable blitting style available." &&
                             (style == 1 ? stretch != 0 : style <= 5 && stretch != 0);
        std::printf("fails: %s%s\n", text.c_str(), allowed ? "" : "  UNEXPECTED");
        failures += !allowed;
        continue;
      }
      SurfaceSetDestSize(s, k.Width * k.Scale, k.Height * k.Scale);
      SurfaceMoved(s, 0, 0);
      if (!SurfaceLock(s)) {
        std::printf("opens, lock fails  UNEXPECTED\n");
        failures++;
        SurfaceClose(s);
        continue;
      }
      const uint32_t type = s->TypeFlags & 15;
      const bool judged = type != SurfacePlanar || s->Pitch == int32_t(k.Width);
      MovieCopyToSurface(m, s->Bits, s->Pitch, s->Height, 0, 0, 0, 0, k.Width, k.Height,
                         s->TypeFlags | CopyAll);
      SurfaceUnlock(s);
      SurfaceBlit(s, nullptr, 1);
      Pump(150);
      // The display shows a blit a little later: capture until two captures agree.
      std::vector<uint8_t> shot, last;
      for (int tries = 0; tries < 20 && (shot.empty() || shot != last); tries++) {
        last = shot;
        Pump(50);
        shot = Capture(s->ScreenX, s->ScreenY, k.Width * k.Scale, k.Height * k.Scale);
      }
      const int d = Difference(shot, ref, k.Width, k.Height, k.Scale, style >= 6 && stretch ? 1 : 0);
      // Wine creates overlays but does not show them: their difference is reported, not judged.
      const bool overlay = style >= 3 && style <= 5;
      const int tolerance = type == SurfacePlanar ? kYv12Tolerance
                            : type >= SurfaceYUY2 ? kYuvTolerance
                                                  : 0;
      const bool bad = !overlay && judged && d > tolerance + (stretch ? kStretchTolerance : 0);
      std::printf("opens (%s, type %u), difference %d%s\n", SurfaceDescribe(s), type, d,
                  overlay ? " (overlay)" : !judged ? " (YV12 wider than the picture)"
                                    : bad  ? "  UNEXPECTED"
                                           : "");
      failures += bad;
      SurfaceClose(s);
    }
    MovieClose(m);
  }
  DestroyWindow(window);
  std::printf("%d unexpected\n", failures);
  return failures ? 1 : 0;
}
