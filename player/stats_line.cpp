// The statistics line. Every time total is divided by the window's time, at least 1 ms, in 64
// bits, so that neither a zero time nor large totals can fault or wrap.
#include "player/stats_line.h"

#include <cinttypes>
#include <cstdio>

#include "vexa/movie.h"

const char StatsSampleText[] =
    "Fre: 2000, FPS: 100.0, Buf: 100%, Vid: 55%, Aud: 55%, Blit: 55%, Read: 55%, Back: 55%, "
    "Rate: 1000000";

namespace {

constexpr int32_t StripMargin = 8;

uint64_t Percent(uint64_t part, uint64_t time) { return part * 100 / time; }

}  // namespace

void ReserveStatsStrip(StatsPlacement* place, StatsMeasureText measure, void* host) {
  int32_t textWidth = 0, textHeight = 0;
  measure(host, StatsSampleText, &textWidth, &textHeight);
  const int32_t stripWidth = textWidth + StripMargin;
  if (place->WindowWidth < stripWidth) {
    place->MovieX += (stripWidth - place->WindowWidth) / 2 & ~3;
    place->WindowWidth = stripWidth;
  }
  place->Strip = {place->MovieY, place->WindowWidth, textHeight};
  place->WindowHeight += textHeight;
  place->MovieY += textHeight;
}

uint32_t FormatStatsLine(char* text, uint32_t capacity, const RealtimeStats* s) {
  const uint64_t time = s->WindowTime ? s->WindowTime : 1;
  const uint64_t tenthsFps = uint64_t(s->WindowFrames) * 10000 / time;
  const uint64_t buffer =
      ((uint64_t(s->ReadBufferUsed) + 1) * 1000 / (uint64_t(s->ReadBufferSize) + 1) + 5) / 10;
  const int length = std::snprintf(
      text, capacity,
      "Fr: %" PRIu32 ", FPS: %" PRIu64 ".%" PRIu64 ", Buf: %" PRIu64 "%%, Vid: %" PRIu64
      "%%, Aud: %" PRIu64 "%%, Blit: %" PRIu64 "%%, Read: %" PRIu64 "%%, Back: %" PRIu64
      "%%, Rate: %" PRIu32,
      s->FrameNum, tenthsFps / 10, tenthsFps % 10, buffer, Percent(s->WindowVideo, time),
      Percent(s->WindowAudio, time), Percent(s->WindowBlit, time),
      Percent(uint64_t(s->WindowRead) + s->WindowIdleRead, time),
      Percent(s->WindowBackRead, time), s->DataRate);
  if (length < 0 || capacity == 0) return 0;
  return uint32_t(length) < capacity ? uint32_t(length) : capacity - 1;
}
