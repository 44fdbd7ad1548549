// The /S playback summary shown in a message box when the program ends.
#pragma once

#include <cstdint>

struct PlaybackSummary;

constexpr uint32_t SummaryChars = 2000;   // the summary's buffer, terminator included
constexpr uint32_t DurationChars = 48;    // ample for any FormatDuration text

// The surface the last movie was shown on: its blitting style's description and the screen mode.
struct SummarySurface {
  const char* BlittingStyle;
  uint32_t ScreenWidth, ScreenHeight, ScreenBits;
};

// Formats the summary into text (capacity bytes, always terminated, cut short rather than
// overflowing); returns its length.
uint32_t FormatSummary(char* text, uint32_t capacity, const PlaybackSummary* summary,
                       const SummarySurface* surface);

// Writes ms as "N millisecond(s)", "N second(s)", "N minute(s) N second(s)" or
// "N hour(s) N minute(s)"; returns text.
const char* FormatDuration(char* text, uint32_t capacity, uint32_t ms);
