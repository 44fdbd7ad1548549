// The /Q statistics line: its text, and the strip above the picture that is reserved for it.
#pragma once

#include <cstdint>

struct RealtimeStats;

constexpr uint32_t StatsLineChars = 256;  // ample for the longest line, terminator included

// The strip is measured with this 100-character sample in the window's font.
extern const char StatsSampleText[];

// The rectangle the line is drawn in: left 0, top StatsTop, StatsWidth x StatsHeight.
struct StatsStrip {
  int32_t StatsTop, StatsWidth, StatsHeight;
};

// Measures text in the host's font (pixels).
typedef void (*StatsMeasureText)(void* host, const char* text, int32_t* width, int32_t* height);

// A window being placed: its client size, and the movie's offset inside it.
struct StatsPlacement {
  int32_t WindowWidth, WindowHeight;
  int32_t MovieX, MovieY;
  StatsStrip Strip;
};

// Reserves the strip above the picture, starting at the movie's current offset (the caller sets
// it first): a window narrower than the strip is widened to it with the movie centred (offset a
// multiple of 4); the window grows by the text height and the movie moves down below the strip.
void ReserveStatsStrip(StatsPlacement* place, StatsMeasureText measure, void* host);

// Formats the line for the stats (always terminated); returns its length.
uint32_t FormatStatsLine(char* text, uint32_t capacity, const RealtimeStats* stats);
