#include "tools/demo_pictures.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A small deterministic hash for grain and cloud texture.
double Noise(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double SmoothNoise(double x, double y, uint32_t seed) {
  uint32_t ix = uint32_t(std::floor(x)), iy = uint32_t(std::floor(y));
  double fx = x - std::floor(x), fy = y - std::floor(y);
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  double a = Noise(ix, iy, seed), b = Noise(ix + 1, iy, seed);
  double c = Noise(ix, iy + 1, seed), d = Noise(ix + 1, iy + 1, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

Rgb Sky(double x, double y, double t, double h) {
  Rgb top{40, 60, 140}, horizon{250, 170, 90};
  Rgb c = Mix(top, horizon, std::pow(y / h, 1.4));
  double cloud = SmoothNoise(x / 60.0 + t * 0.4, y / 25.0, 7) * SmoothNoise(x / 23.0 + t, y / 11.0, 9);
  cloud = std::clamp((cloud - 0.25) * 3.0, 0.0, 1.0);
  return Mix(c, {255, 240, 230}, cloud * 0.7);
}

double HillHeight(double x, double t, double h, double speed, double phase) {
  return h * (0.62 + 0.06 * std::sin(x / 70.0 + t * speed + phase) +
              0.03 * std::sin(x / 23.0 - t * speed * 1.7 + phase * 2));
}

}  // namespace

void DemoDrawFrame(uint32_t frame, uint32_t width, uint32_t height, std::vector<uint8_t>* rgba) {
  rgba->assign(size_t(width) * height * 4, 255);
  const double t = frame / 25.0, w = width, h = height;
  // The ball bounces across the picture.
  const double bx = w * (0.15 + 0.7 * (0.5 + 0.5 * std::sin(t * 0.9)));
  const double by = h * 0.75 - h * 0.45 * std::fabs(std::sin(t * 2.2));
  const double radius = h * 0.07;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      Rgb c = Sky(x, y, t, h);
      if (y > HillHeight(x, t, h, 0.6, 0.0))
        c = Mix({70, 110, 60}, {30, 60, 30}, (y - HillHeight(x, t, h, 0.6, 0.0)) / (h * 0.4));
      if (y > HillHeight(x, t, h, 1.3, 2.0) + h * 0.12) c = {40 + 30 * Noise(x, y, 3), 80, 40};
      double d = std::hypot(x - bx, y - by);
      if (d < radius) c = Mix({250, 80, 60}, {255, 220, 200}, std::max(0.0, 1 - d / radius - 0.3));
      double grain = (Noise(x, y, frame) - 0.5) * 6;
      uint8_t* p = rgba->data() + (size_t(y) * width + x) * 4;
      p[0] = uint8_t(std::clamp(c.r + grain, 0.0, 255.0));
      p[1] = uint8_t(std::clamp(c.g + grain, 0.0, 255.0));
      p[2] = uint8_t(std::clamp(c.b + grain, 0.0, 255.0));
    }
}
