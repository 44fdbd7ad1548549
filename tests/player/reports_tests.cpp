// The statistics line, its strip and the playback summary: exact texts on edge values (zero
// times, the largest counts, rates without a divisor, one played frame) and short buffers.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "player/stats_line.h"
#include "player/summary.h"
#include "vexa/movie.h"

namespace {

TEST(StatsLine, FormatsTheLastSecond) {
  const struct { RealtimeStats stats; const char* text; } cases[] = {
      {{42, 30, 1, 30, 1001, 500, 100, 100, 50, 10, 250, 1000, 500, 123456},
       "Fr: 42, FPS: 29.9, Buf: 50%, Vid: 49%, Aud: 9%, Blit: 24%, Read: 14%, Back: 0%, Rate: 123456"},
      {{0xFFFFFFFF, 0, 0, 1, 0, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0, 0, 0xFFFFFFFF},  // 0 ms: 1
       "Fr: 4294967295, FPS: 1000.0, Buf: 100%, Vid: 0%, Aud: 0%, Blit: 0%, Read: 858993459000%, Back: 0%, Rate: 4294967295"}};
  for (const auto& c : cases) {
    char text[StatsLineChars];
    EXPECT_EQ(FormatStatsLine(text, sizeof text, &c.stats), std::strlen(c.text));
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(FormatStatsLine(text, 8, &c.stats), 7u);
  }
}

TEST(StatsLine, StripIsReservedAboveTheCentredMovie) {
  // Window width -> movie x, window width; the host's font is 6 x 16 pixels a character.
  for (auto [width, movieX, stripWidth] : {std::array{200, 204, 608}, {202, 200, 608}, {800, 0, 800}}) {
    StatsPlacement p{width, 150, 0, 0, {}};
    ReserveStatsStrip(&p, [](void*, const char* t, int32_t* w, int32_t* h) { *w = int32_t(6 * std::strlen(t)), *h = 16; }, nullptr);
    EXPECT_EQ(std::vector<int32_t>({p.WindowWidth, p.WindowHeight, p.MovieX, p.MovieY, p.Strip.StatsTop, p.Strip.StatsWidth, p.Strip.StatsHeight}),
              std::vector<int32_t>({stripWidth, 166, movieX, 16, 0, stripWidth, 16}));
  }
}

TEST(Summary, DurationsNameTheTwoLargestUnits) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "0 milliseconds"}, {1, "1 millisecond"}, {1000, "1 second"}, {59999, "59 seconds"},
      {60000, "1 minute 0 seconds"}, {61000, "1 minute 1 second"}, {3599999, "59 minutes 59 seconds"},
      {3600000, "1 hour 0 minutes"}, {7260000, "2 hours 1 minute"}, {0xFFFFFFFF, "1193 hours 2 minutes"}};
  char text[DurationChars];
  for (auto [ms, expected] : cases) EXPECT_STREQ(FormatDuration(text, sizeof text, ms), expected);
  EXPECT_STREQ(FormatDuration(text, 8, 7260000), "2 hours");
}

TEST(Summary, FormatsEveryLineAndNeverOverflows) {
  // One frame as fast as possible; then two at 12.5 fps in no time from a file without divisor.
  PlaybackSummary s = {320, 240, 61000, 30000, 1001, 0, 0, 15, 100, 1, 0, 3, 0xFFFFFFFF, 610, 61, 30500,
                       0xFFFFFFFF, 0, 6100, 1000000, 0, 3, 1, 5, 1234, 41, 123456, 65536, 4096, 5000, 7};
  SummarySurface surface{"DIB section", 1920, 1080, 32};
  const char* expected = "Video: 320 x 240 at 29.9 frames/sec\nTotal frames: 100\n\nTotal frames played: 1\n"
      "Frame rate played: As fast as possible\nFrame rate obtained: 0.0 frames/sec\nSkipped frames: 0\n"
      "Skipped blits: 3\nSound skips: 4294967295\n\nPercentage spent decompressing video: 50.0\n"
      "Percentage spent decompressing audio: 7040929.9\nPercentage spent blitting: 1.0\n"
      "Percentage spent reading: 0.1\nPercentage spent reading while idle: 0.0\n"
      "Percentage spent reading in background: 10.0\nSpeed of playback device: 1000000 bytes/sec\n\n"
      "Total playback time: 1 minute 1 second\nTotal open time: 15 milliseconds\n"
      "Slowest frame: 1 (1000.0 frames/sec)\n\nAverage data rate: 1234\nAverage frame size: 41\n"
      "Peak data rate: 5000 bytes/sec (frame: 7)\n\nTotal memory used: 123456\nTotal input memory: 65536\n"
      "Highest input memory used: 4096\n\nBlitting style: DIB section\nVideo mode: 1920 x 1080 at 32 bits\n";
  char text[SummaryChars + 1];
  EXPECT_EQ(FormatSummary(text, SummaryChars, &s, &surface), std::strlen(expected));
  EXPECT_STREQ(text, expected);
  s.FramesPlayed = 2, s.FrameRate = 25, s.FrameRateDiv = 2, s.TotalTime = 0, s.FileFrameRateDiv = 0;
  FormatSummary(text, SummaryChars, &s, &surface);
  for (const char* line : {"at 30000.0 frames/sec\n", "played: 12.5 frames/sec\n", "obtained: 2000.0 frames/sec\n",
                           "blitting: 61000.0\n", "sec)\nSecond slowest frame: 5 (333.3 frames/sec)\n\nAverage"})
    EXPECT_NE(std::strstr(text, line), nullptr) << line;
  const std::string style(3 * SummaryChars, 'x');
  surface.BlittingStyle = style.c_str(), text[SummaryChars] = '!';
  EXPECT_EQ(FormatSummary(text, SummaryChars, &s, &surface), SummaryChars - 1);
  EXPECT_EQ(std::strlen(text) * 1000 + text[SummaryChars], (SummaryChars - 1) * 1000 + '!');
}

}  // namespace
