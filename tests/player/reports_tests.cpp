// The statistics line, its strip and the playback summary: exact texts on edge values (zero
// times, the largest counts, rates without a divisor, one played frame) and buffers cut short.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/stats_line.h"
#include "player/summary.h"
#include "vexa/movie.h"

namespace {

TEST(StatsLine, FormatsTheWindowOfLastFrames) {
  const struct {
    RealtimeStats stats;
    const char* text;
  } cases[] = {
      {{42, 30, 1, 30, 1001, 500, 100, 100, 50, 10, 250, 1000, 500, 123456},
       "Fr: 42, FPS: 29.9, Buf: 50%, Vid: 49%, Aud: 9%, Blit: 24%, Read: 14%, Back: 0%, "
       "Rate: 123456"},
      // A zero window time counts as 1 ms; sums and products do not wrap; no negative numbers.
      {{0xFFFFFFFF, 0, 0, 1, 0, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0, 0, 0xFFFFFFFF},
       "Fr: 4294967295, FPS: 1000.0, Buf: 100%, Vid: 0%, Aud: 0%, Blit: 0%, "
       "Read: 858993459000%, Back: 0%, Rate: 4294967295"},
  };
  for (const auto& c : cases) {
    char text[StatsLineChars];
    EXPECT_EQ(FormatStatsLine(text, sizeof text, &c.stats), std::strlen(c.text));
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(FormatStatsLine(text, 8, &c.stats), 7u);
    EXPECT_STREQ(text, std::string(c.text, 7).c_str());
  }
}

// The host's font: 6 pixels a character, 16 high.
void MeasureFixed(void* measured, const char* text, int32_t* width, int32_t* height) {
  *static_cast<size_t*>(measured) = std::strlen(text);
  *width = int32_t(6 * std::strlen(text)), *height = 16;
}

TEST(StatsLine, StripIsReservedAboveTheCentredMovie) {
  const struct {
    int32_t width, movieX, stripWidth;
  } cases[] = {{200, 204, 608}, {202, 200, 608}, {608, 0, 608}, {800, 0, 800}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    StatsPlacement place{c.width, 150, 10, 20, {}};  // an offset left from before
    size_t measured = 0;
    ReserveStatsStrip(&place, MeasureFixed, &measured);
    EXPECT_EQ(measured, 100u);
    EXPECT_EQ(place.WindowWidth, c.stripWidth);
    EXPECT_EQ(place.WindowHeight, 166);
    EXPECT_EQ(place.MovieX, c.movieX);
    EXPECT_EQ(place.MovieY, 16);
    EXPECT_EQ(place.Strip.StatsTop, 0);
    EXPECT_EQ(place.Strip.StatsWidth, c.stripWidth);
    EXPECT_EQ(place.Strip.StatsHeight, 16);
  }
}

TEST(Summary, DurationsNameTheTwoLargestUnits) {
  const struct {
    uint32_t ms;
    const char* text;
  } cases[] = {
      {0, "0 milliseconds"},         {1, "1 millisecond"},
      {999, "999 milliseconds"},     {1000, "1 second"},
      {59999, "59 seconds"},         {60000, "1 minute 0 seconds"},
      {61000, "1 minute 1 second"},  {3599999, "59 minutes 59 seconds"},
      {3600000, "1 hour 0 minutes"}, {7260000, "2 hours 1 minute"},
      {0xFFFFFFFF, "1193 hours 2 minutes"},
  };
  for (const auto& c : cases) {
    char text[DurationChars];
    EXPECT_STREQ(FormatDuration(text, sizeof text, c.ms), c.text);
  }
  char shortText[8];
  EXPECT_STREQ(FormatDuration(shortText, sizeof shortText, 7260000), "2 hours");
}

// One frame played as fast as possible, with extreme times.
PlaybackSummary OneFrame() {
  PlaybackSummary s{};
  s.Width = 320, s.Height = 240, s.TotalTime = 61000, s.FileFrameRate = 30000;
  s.FileFrameRateDiv = 1001, s.OpenTime = 15, s.Frames = 100, s.FramesPlayed = 1;
  s.SkippedBlits = 3, s.SoundSkips = 0xFFFFFFFF, s.VideoTime = 30500, s.AudioTime = 0xFFFFFFFF;
  s.BlitTime = 610, s.ForegroundReadTime = 61, s.BackgroundReadTime = 6100, s.ReadSpeed = 1000000;
  s.SlowestFrame = 1, s.SecondSlowestFrame = 5, s.AverageDataRate = 1234, s.AverageFrameSize = 41;
  s.PeakDataRate = 5000, s.PeakDataFrame = 7, s.TotalMemory = 123456, s.InputMemory = 65536;
  s.HighestInputMemory = 4096;
  return s;
}

TEST(Summary, FormatsEveryLine) {
  const SummarySurface surface{"DIB section", 1920, 1080, 32};
  PlaybackSummary s = OneFrame();
  char text[SummaryChars];
  const char* expected =
      "Video: 320 x 240 at 29.9 frames/sec\nTotal frames: 100\n\nTotal frames played: 1\n"
      "Frame rate played: As fast as possible\nFrame rate obtained: 0.0 frames/sec\n"
      "Skipped frames: 0\nSkipped blits: 3\nSound skips: 4294967295\n\n"
      "Percentage spent decompressing video: 50.0\n"
      "Percentage spent decompressing audio: 7040929.9\nPercentage spent blitting: 1.0\n"
      "Percentage spent reading: 0.1\nPercentage spent reading while idle: 0.0\n"
      "Percentage spent reading in background: 10.0\n"
      "Speed of playback device: 1000000 bytes/sec\n\nTotal playback time: 1 minute 1 second\n"
      "Total open time: 15 milliseconds\nSlowest frame: 1 (1000.0 frames/sec)\n\n"
      "Average data rate: 1234\nAverage frame size: 41\n"
      "Peak data rate: 5000 bytes/sec (frame: 7)\n\nTotal memory used: 123456\n"
      "Total input memory: 65536\nHighest input memory used: 4096\n\n"
      "Blitting style: DIB section\nVideo mode: 1920 x 1080 at 32 bits\n";
  EXPECT_EQ(FormatSummary(text, sizeof text, &s, &surface), std::strlen(expected));
  EXPECT_STREQ(text, expected);

  // Two frames at a given rate, no time at all, no divisor in the file.
  s.FramesPlayed = 2, s.FrameRate = 25, s.FrameRateDiv = 2, s.TotalTime = 0;
  s.SecondSlowestTime = 3, s.FileFrameRateDiv = 0;
  FormatSummary(text, sizeof text, &s, &surface);
  for (const char* line :
       {"at 30000.0 frames/sec\n", "Frame rate played: 12.5 frames/sec\n",
        "Frame rate obtained: 2000.0 frames/sec\n", "Percentage spent blitting: 61000.0\n",
        "frames/sec)\nSecond slowest frame: 5 (333.3 frames/sec)\n\nAverage"})
    EXPECT_NE(std::strstr(text, line), nullptr) << line;
}

TEST(Summary, NeverOverflowsItsBuffer) {
  const std::string style(3 * SummaryChars, 'x');
  const SummarySurface surface{style.c_str(), 640, 480, 16};
  const PlaybackSummary s = OneFrame();
  char text[SummaryChars + 1];
  text[SummaryChars] = '!';
  EXPECT_EQ(FormatSummary(text, SummaryChars, &s, &surface), SummaryChars - 1);
  EXPECT_EQ(std::strlen(text), SummaryChars - 1);
  EXPECT_EQ(text[SummaryChars], '!');
}

}  // namespace
