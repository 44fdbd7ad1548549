// vexa_surface_screen: opens every blitting style at a few sizes and stretches in a real window,
// copies a movie frame into the surface, blits it, captures the screen under the picture and
// compares it with the frame converted to the screen's 32-bit format. RGB styles must match
// exactly (a 2x stretch is pixel doubling), YUV styles within kYuvTolerance; a style that does not
// open must give one of the texts its path allows. Prints one line per case; exit 1 on a mismatch.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "surface/surface.h"
#include "vexa/vexa.h"

namespace {

// Measured under Wine 8: its YUV to RGB conversion differs from ours by up to 19, and its stretching
// blit, which filters, by up to 4 from pixel doubling (with the sample position free by one pixel).
constexpr int kYuvTolerance = 20;
constexpr int kStretchTolerance = 6;

std::vector<uint8_t> MakeMovie(uint32_t w, uint32_t h) {
  VideoEncoderConfig config;
  config.Width = w, config.Height = h, config.Quality = 100;
  VideoEncoder encoder;
  if (!VideoEncoderInit(&encoder, &config)) return {};
  std::vector<uint8_t> y(w * h), u((w + 1) / 2 * ((h + 1) / 2)), v(u.size());
  for (uint32_t i = 0; i < y.size(); i++) y[i] = uint8_t(16 + (i % w) * 200 / w + (i / w) % 8);
  // Smooth chroma: the display may interpolate it between pixel pairs.
  const uint32_t cw = (w + 1) / 2;
  for (uint32_t i = 0; i < u.size(); i++)
    u[i] = uint8_t(64 + (i % cw) * 128 / cw), v[i] = uint8_t(192 - (i / cw) * 96 / ((h + 1) / 2));
  VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr},
                                 {w, (w + 1) / 2, (w + 1) / 2, 0}};
  VideoEncodedFrame frame;
  VideoEncodeFrame(&encoder, &picture, &frame);
  MovieWriterConfig movie;
  movie.Width = w, movie.Height = h, movie.VideoFlags = VideoEncoderVideoFlags(&config);
  MovieWriter writer;
  MovieWriterInit(&writer, movie);
  MovieWriterFrame packet;
  packet.Video = frame.Data;
  MovieWriterAddFrame(&writer, packet);
  VideoEncoderFree(&encoder);
  return MovieWriterImage(&writer);
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

struct Case {
  uint32_t Width, Height, Scale;
};

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
  const Case cases[] = {{64, 48, 1}, {100, 30, 1}, {64, 48, 2}};
  int failures = 0;
  for (const Case& k : cases) {
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
      // Until the planar copy exists, a type-15 copy writes nothing: seen by a first byte left alone.
      s->Bits[0] = 0xA5;
      MovieCopyToSurface(m, s->Bits, s->Pitch, s->Height, 0, 0, 0, 0, k.Width, k.Height, s->TypeFlags | CopyAll);
      const bool copied = type != SurfacePlanar || s->Bits[0] != 0xA5;
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
      const bool yuv = type >= SurfaceYUY2;
      if (style >= 3 && style <= 5) {
        // Wine creates overlays but does not show them: reported, never asserted.
        std::printf("opens (%s, type %u), overlay shows: difference %d\n", SurfaceDescribe(s), type, d);
      } else if (!copied) {
        std::printf("opens (%s, type %u), the copy writes nothing for this type\n", SurfaceDescribe(s), type);
      } else if (d == 0) {
        std::printf("opens (%s, type %u), exact\n", SurfaceDescribe(s), type);
      } else if (d <= (yuv ? kYuvTolerance : 0) + (stretch ? kStretchTolerance : 0)) {
        std::printf("opens (%s, type %u), within +-%d\n", SurfaceDescribe(s), type, d);
      } else {
        std::printf("opens (%s, type %u), difference %d  UNEXPECTED\n", SurfaceDescribe(s), type, d);
        failures++;
      }
      SurfaceClose(s);
    }
    MovieClose(m);
  }
  DestroyWindow(window);
  std::printf("%d unexpected\n", failures);
  return failures ? 1 : 0;
}
