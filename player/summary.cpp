// The playback summary. Rates and percentages are tenths written "whole.tenth"; all arithmetic
// is 64-bit and every division by a time or a rate's divisor uses at least 1.
#include "player/summary.h"

#include <cinttypes>
#include <cstdio>

#include "vexa/movie.h"

namespace {

// A tenths value as "whole.tenth".
struct Tenths {
  char Text[32];
};

Tenths FormatTenths(uint64_t tenths) {
  Tenths t;
  std::snprintf(t.Text, sizeof t.Text, "%" PRIu64 ".%" PRIu64, tenths / 10, tenths % 10);
  return t;
}

uint64_t AtLeast1(uint32_t value) { return value ? value : 1; }

// Tenths of a percent of the total time.
Tenths PerMille(uint32_t part, uint32_t total) {
  return FormatTenths(uint64_t(part) * 1000 / AtLeast1(total));
}

// Tenths of frames per second for a frame that took ms.
Tenths FrameRateOf(uint32_t ms) { return FormatTenths(10000 / AtLeast1(ms)); }

uint32_t Written(int length, uint32_t capacity) {
  if (length < 0 || capacity == 0) return 0;
  return uint32_t(length) < capacity ? uint32_t(length) : capacity - 1;
}

// "N unit" with an "s" unless N is 1.
int FormatUnit(char* text, uint32_t capacity, uint32_t n, const char* unit) {
  return std::snprintf(text, capacity, "%" PRIu32 " %s%s", n, unit, n == 1 ? "" : "s");
}

}  // namespace

const char* FormatDuration(char* text, uint32_t capacity, uint32_t ms) {
  if (capacity == 0) return text;
  uint32_t big = ms, small = 0;
  const char *bigUnit = "millisecond", *smallUnit = nullptr;
  if (ms >= 3600000) {
    big = ms / 3600000, small = ms % 3600000 / 60000, bigUnit = "hour", smallUnit = "minute";
  } else if (ms >= 60000) {
    big = ms / 60000, small = ms % 60000 / 1000, bigUnit = "minute", smallUnit = "second";
  } else if (ms >= 1000) {
    big = ms / 1000, bigUnit = "second";
  }
  const uint32_t length = Written(FormatUnit(text, capacity, big, bigUnit), capacity);
  if (smallUnit && length + 1 < capacity) {
    text[length] = ' ';
    FormatUnit(text + length + 1, capacity - length - 1, small, smallUnit);
  }
  return text;
}

uint32_t FormatSummary(char* text, uint32_t capacity, const PlaybackSummary* s,
                       const SummarySurface* surface) {
  char played[48] = "As fast as possible";
  if (s->FrameRate && s->FrameRateDiv)
    std::snprintf(played, sizeof played, "%s frames/sec",
                  FormatTenths(uint64_t(s->FrameRate) * 10 / s->FrameRateDiv).Text);
  char secondSlowest[96] = "";
  if (s->FramesPlayed >= 2)
    std::snprintf(secondSlowest, sizeof secondSlowest,
                  "Second slowest frame: %" PRIu32 " (%s frames/sec)\n", s->SecondSlowestFrame,
                  FrameRateOf(s->SecondSlowestTime).Text);
  char total[DurationChars], open[DurationChars];
  const int length = std::snprintf(
      text, capacity,
      "Video: %" PRIu32 " x %" PRIu32 " at %s frames/sec\nTotal frames: %" PRIu32 "\n\n"
      "Total frames played: %" PRIu32 "\nFrame rate played: %s\n"
      "Frame rate obtained: %s frames/sec\nSkipped frames: %" PRIu32 "\n"
      "Skipped blits: %" PRIu32 "\nSound skips: %" PRIu32 "\n\n"
      "Percentage spent decompressing video: %s\nPercentage spent decompressing audio: %s\n"
      "Percentage spent blitting: %s\nPercentage spent reading: %s\n"
      "Percentage spent reading while idle: %s\nPercentage spent reading in background: %s\n"
      "Speed of playback device: %" PRIu32 " bytes/sec\n\n"
      "Total playback time: %s\nTotal open time: %s\n"
      "Slowest frame: %" PRIu32 " (%s frames/sec)\n%s\n"
      "Average data rate: %" PRIu32 "\nAverage frame size: %" PRIu32 "\n"
      "Peak data rate: %" PRIu32 " bytes/sec (frame: %" PRIu32 ")\n\n"
      "Total memory used: %" PRIu32 "\nTotal input memory: %" PRIu32 "\n"
      "Highest input memory used: %" PRIu32 "\n\n"
      "Blitting style: %s\nVideo mode: %" PRIu32 " x %" PRIu32 " at %" PRIu32 " bits\n",
      s->Width, s->Height,
      FormatTenths(uint64_t(s->FileFrameRate) * 10 / AtLeast1(s->FileFrameRateDiv)).Text,
      s->Frames, s->FramesPlayed, played,
      FormatTenths(uint64_t(s->FramesPlayed) * 10000 / AtLeast1(s->TotalTime)).Text,
      s->SkippedFrames, s->SkippedBlits, s->SoundSkips, PerMille(s->VideoTime, s->TotalTime).Text,
      PerMille(s->AudioTime, s->TotalTime).Text, PerMille(s->BlitTime, s->TotalTime).Text,
      PerMille(s->ForegroundReadTime, s->TotalTime).Text,
      PerMille(s->IdleReadTime, s->TotalTime).Text,
      PerMille(s->BackgroundReadTime, s->TotalTime).Text, s->ReadSpeed,
      FormatDuration(total, sizeof total, s->TotalTime),
      FormatDuration(open, sizeof open, s->OpenTime), s->SlowestFrame,
      FrameRateOf(s->SlowestTime).Text, secondSlowest, s->AverageDataRate, s->AverageFrameSize,
      s->PeakDataRate, s->PeakDataFrame, s->TotalMemory, s->InputMemory, s->HighestInputMemory,
      surface->BlittingStyle ? surface->BlittingStyle : "", surface->ScreenWidth,
      surface->ScreenHeight, surface->ScreenBits);
  return Written(length, capacity);
}
