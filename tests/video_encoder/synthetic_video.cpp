#include "tests/video_encoder/synthetic_video.h"

#include <cmath>

namespace {

uint32_t SyntheticHash(uint32_t x, uint32_t y, uint32_t z) {
  uint32_t h = x * 374761393u + y * 668265263u + z * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

uint8_t SyntheticClamp(double v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : std::lround(v))); }

// Coverage of a disc with a soft edge, 0..1.
double SyntheticDisc(double x, double y, double cx, double cy, double r, double soft) {
  const double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
  if (d <= r) return 1;
  return d >= r + soft ? 0 : 1 - (d - r) / soft;
}

struct SyntheticScene {
  double PanX, PanY;  // background offset
  double DiscX, DiscY, DiscR;
  double BoxX, BoxY, BoxW, BoxH;
};

SyntheticScene SyntheticSceneAt(uint32_t w, uint32_t h, uint32_t frame) {
  const double t = frame;
  SyntheticScene s;
  s.PanX = 1.5 * t;
  s.PanY = 0.75 * t;
  s.DiscR = 0.18 * std::min(w, h) + 2;
  s.DiscX = w * (0.3 + 0.2 * std::sin(t * 0.07));
  s.DiscY = h * (0.5 + 0.25 * std::cos(t * 0.05));
  s.BoxW = 0.25 * w + 2;
  s.BoxH = 0.2 * h + 2;
  s.BoxX = std::fmod(3.0 * t, double(w) + s.BoxW) - s.BoxW;
  s.BoxY = 0.6 * h;
  return s;
}

// Luma and the shapes' coverage at (x, y), sampled in luma coordinates.
double SyntheticLuma(const SyntheticScene& s, double x, double y, uint32_t w, uint32_t h,
                     uint32_t seed) {
  const double bx = x + s.PanX, by = y + s.PanY;
  double v = 40 + 150 * (bx / (w + 60.0)) + 30 * (by / (h + 60.0));
  v += 18 * std::sin(bx * 0.21 + seed) * std::cos(by * 0.17);  // texture
  v += 8 * std::sin((bx + 2 * by) * 0.9);                      // fine detail
  const double disc = SyntheticDisc(x, y, s.DiscX, s.DiscY, s.DiscR, 3);
  v = v * (1 - disc) + (200 + 20 * std::sin(x * 0.3)) * disc;
  const bool box = x >= s.BoxX && x < s.BoxX + s.BoxW && y >= s.BoxY && y < s.BoxY + s.BoxH;
  if (box) v = 30 + ((int(x - s.BoxX) / 4 + int(y - s.BoxY) / 4) % 2) * 60;  // checker
  return v;
}

}  // namespace

void SyntheticMakePicture(SyntheticPicture* p, uint32_t width, uint32_t height, uint32_t frame,
                          uint32_t seed) {
  p->Width = width;
  p->Height = height;
  const uint32_t cw = (width + 1) / 2, ch = (height + 1) / 2;
  const SyntheticScene s = SyntheticSceneAt(width, height, frame);
  p->Planes[VideoEncoderPlaneY].resize(size_t(width) * height);
  p->Planes[VideoEncoderPlaneA].resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const double noise = double(SyntheticHash(x, y, frame + seed * 7919) % 7) - 3.0;
      p->Planes[VideoEncoderPlaneY][size_t(y) * width + x] =
          SyntheticClamp(SyntheticLuma(s, x, y, width, height, seed) + noise);
      const double alpha = SyntheticDisc(x, y, width - s.DiscX, s.DiscY, s.DiscR * 1.2, 6);
      p->Planes[VideoEncoderPlaneA][size_t(y) * width + x] = SyntheticClamp(255 * alpha);
    }
  }
  p->Planes[VideoEncoderPlaneU].resize(size_t(cw) * ch);
  p->Planes[VideoEncoderPlaneV].resize(size_t(cw) * ch);
  for (uint32_t y = 0; y < ch; ++y) {
    for (uint32_t x = 0; x < cw; ++x) {
      const double lx = 2.0 * x, ly = 2.0 * y;
      const double disc = SyntheticDisc(lx, ly, s.DiscX, s.DiscY, s.DiscR, 3);
      const double u = 128 + 40 * std::sin((lx + s.PanX) * 0.02) * (1 - disc) - 50 * disc;
      const double v = 128 + 30 * std::cos((ly + s.PanY) * 0.03) * (1 - disc) + 60 * disc;
      p->Planes[VideoEncoderPlaneU][size_t(y) * cw + x] = SyntheticClamp(u);
      p->Planes[VideoEncoderPlaneV][size_t(y) * cw + x] = SyntheticClamp(v);
    }
  }
  const uint32_t pitches[4] = {width, cw, cw, width};
  for (uint32_t i = 0; i < VideoEncoderPlaneCount; ++i) {
    p->Picture.Planes[i] = p->Planes[i].data();
    p->Picture.Pitches[i] = pitches[i];
  }
}
