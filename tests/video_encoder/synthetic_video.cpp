// A panning textured gradient, a soft-edged disc and a sliding checkered box, a little noise;
// chroma follows the disc, alpha is a second soft disc.
#include "tests/video_encoder/synthetic_video.h"

#include <algorithm>
#include <cmath>

namespace {

uint8_t Clamp(double v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : std::lround(v))); }

// Coverage of a disc with a soft edge, 0..1.
double Disc(double x, double y, double cx, double cy, double r, double soft) {
  const double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
  return d <= r ? 1 : d >= r + soft ? 0 : 1 - (d - r) / soft;
}

}  // namespace

void SyntheticMakePicture(SyntheticPicture* p, uint32_t w, uint32_t h, uint32_t frame,
                          uint32_t seed) {
  const double t = frame, panX = 1.5 * t, panY = 0.75 * t, r = 0.18 * std::min(w, h) + 2;
  const double discX = w * (0.3 + 0.2 * std::sin(t * 0.07));
  const double discY = h * (0.5 + 0.25 * std::cos(t * 0.05));
  const double boxW = 0.25 * w + 2, boxH = 0.2 * h + 2, boxY = 0.6 * h;
  const double boxX = std::fmod(3.0 * t, double(w) + boxW) - boxW;
  const uint32_t cw = (w + 1) / 2, ch = (h + 1) / 2, pitches[4] = {w, cw, cw, w};
  for (uint32_t i = 0; i < VideoEncoderPlaneCount; ++i) {
    p->Planes[i].resize(size_t(pitches[i]) * (i == 1 || i == 2 ? ch : h));
    p->Picture.Planes[i] = p->Planes[i].data();
    p->Picture.Pitches[i] = pitches[i];
  }
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const double bx = x + panX, by = y + panY, disc = Disc(x, y, discX, discY, r, 3);
      double v = 40 + 150 * (bx / (w + 60.0)) + 30 * (by / (h + 60.0)) +
                 18 * std::sin(bx * 0.21 + seed) * std::cos(by * 0.17) +
                 8 * std::sin((bx + 2 * by) * 0.9);
      v = v * (1 - disc) + (200 + 20 * std::sin(x * 0.3)) * disc;
      if (x >= boxX && x < boxX + boxW && y >= boxY && y < boxY + boxH)
        v = 30 + ((int(x - boxX) / 4 + int(y - boxY) / 4) % 2) * 60;
      uint32_t n = x * 374761393u + y * 668265263u + (frame + seed * 7919) * 2246822519u;
      n = (n ^ (n >> 13)) * 1274126177u;
      p->Planes[0][size_t(y) * w + x] = Clamp(v + (double((n ^ (n >> 16)) % 7) - 3.0));
      p->Planes[3][size_t(y) * w + x] = Clamp(255 * Disc(x, y, w - discX, discY, r * 1.2, 6));
      if (x >= cw || y >= ch) continue;
      const double lx = 2.0 * x, ly = 2.0 * y, cd = Disc(lx, ly, discX, discY, r, 3);
      const size_t c = size_t(y) * cw + x;  // chroma, sampled at every second luma position
      p->Planes[1][c] = Clamp(128 + 40 * std::sin((lx + panX) * 0.02) * (1 - cd) - 50 * cd);
      p->Planes[2][c] = Clamp(128 + 30 * std::cos((ly + panY) * 0.03) * (1 - cd) + 60 * cd);
    }
  }
}
