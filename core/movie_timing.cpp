#include "core/movie_timing.h"

static constexpr uint32_t kCopyArmed = 0xFFFFFFFFu;

void MovieCloseBlitInterval(Movie* m, uint32_t now) {
  if (m->CopyStart != 0 && m->CopyStart != kCopyArmed) {
    m->BlitTime += now - m->CopyStart;
    m->CopyStart = 0;
  }
}
