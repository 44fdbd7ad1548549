#include "tools/logo_picture.h"

#include <algorithm>
#include <cmath>

namespace {

struct Point {
  double x, y;
};
struct Stroke {
  Point a, b;
};

double DistanceToSegment(Point p, Stroke s) {
  double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  double t = ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

// The letters V, E, X, A as strokes in a 40 x 48 cell, placed from x = left.
void AddLetters(std::vector<Stroke>* strokes, double top) {
  const double w = 36, h = 44, gap = 12, left = (kLogoWidth - 4 * w - 3 * gap) / 2;
  auto cell = [&](int i, double x, double y) { return Point{left + i * (w + gap) + x * w, top + y * h}; };
  *strokes = {
      {cell(0, 0, 0), cell(0, 0.5, 1)},   {cell(0, 0.5, 1), cell(0, 1, 0)},    // V
      {cell(1, 0.1, 0), cell(1, 0.1, 1)}, {cell(1, 0.1, 0), cell(1, 0.9, 0)},  // E
      {cell(1, 0.1, 0.5), cell(1, 0.7, 0.5)}, {cell(1, 0.1, 1), cell(1, 0.9, 1)},
      {cell(2, 0, 0), cell(2, 1, 1)},     {cell(2, 1, 0), cell(2, 0, 1)},      // X
      {cell(3, 0, 1), cell(3, 0.5, 0)},   {cell(3, 0.5, 0), cell(3, 1, 1)},    // A
      {cell(3, 0.25, 0.55), cell(3, 0.75, 0.55)},
  };
}

// Coverage of a stroke of the given half-width at distance d, with a one-pixel soft edge.
double Coverage(double d, double halfWidth) { return std::clamp(halfWidth + 0.5 - d, 0.0, 1.0); }

}  // namespace

void LogoDraw(std::vector<uint8_t>* rgba) {
  rgba->assign(size_t(kLogoWidth) * kLogoHeight * 4, 255);
  std::vector<Stroke> letters;
  AddLetters(&letters, 178);
  const Stroke emblem[] = {{{52, 30}, {112, 150}}, {{112, 150}, {172, 30}}};
  for (uint32_t y = 0; y < kLogoHeight; ++y)
    for (uint32_t x = 0; x < kLogoWidth; ++x) {
      const Point p{x + 0.5, y + 0.5};
      // A deep blue background that lightens towards the middle.
      double glow = std::exp(-std::hypot(p.x - 112, p.y - 100) / 120.0);
      double r = 10 + 30 * glow, g = 20 + 50 * glow, b = 50 + 90 * glow;
      double v = 0;
      for (const Stroke& s : emblem) v = std::max(v, Coverage(DistanceToSegment(p, s), 11));
      // The emblem runs from orange at the top to gold at its point.
      double t = std::clamp((p.y - 30) / 120.0, 0.0, 1.0);
      r += (250 - r) * v, g += (120 + 90 * t - g) * v, b += (40 + 20 * t - b) * v;
      double text = 0;
      for (const Stroke& s : letters) text = std::max(text, Coverage(DistanceToSegment(p, s), 3));
      r += (235 - r) * text, g += (240 - g) * text, b += (250 - b) * text;
      uint8_t* px = rgba->data() + (size_t(y) * kLogoWidth + x) * 4;
      px[0] = uint8_t(std::lround(r)), px[1] = uint8_t(std::lround(g)), px[2] = uint8_t(std::lround(b));
    }
}
