#include "core/movie_planes.h"

static uint32_t RoundUp(uint32_t n, uint32_t m) { return (n + m - 1) / m * m; }

void MovieDescribePlanes(VideoPlanes* p, uint32_t fileWidth, uint32_t fileHeight, uint32_t frames,
                         uint32_t openFlags) {
  *p = VideoPlanes{};
  p->SetCount = frames == 1 ? 1 : 2;
  p->Width = RoundUp(fileWidth, 8);
  p->Height = RoundUp(fileHeight, 8);
  p->ChromaWidth = RoundUp((fileWidth + 1) / 2, 8);
  p->ChromaHeight = RoundUp((fileHeight + 1) / 2, 8);
  p->Current = 0;
  for (uint32_t s = 0; s < p->SetCount; ++s) {
    VideoPlane* set = p->Sets[s];
    set[PlaneY] = {1, nullptr, p->Width};
    set[PlaneChroma1] = {1, nullptr, RoundUp(p->ChromaWidth, 16)};
    set[PlaneChroma2] = {1, nullptr, RoundUp(p->ChromaWidth, 16)};
    set[PlaneA] = {(openFlags & OpenAlpha) ? 1u : 0u, nullptr, p->Width};
  }
}

uint32_t MoviePlaneBytes(const VideoPlanes* p, int plane) {
  bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
  uint32_t rows = chroma ? p->ChromaHeight : p->Height;
  return p->Sets[0][plane].Pitch * rows;
}
