// Calls of other parts of the player that are being written at the same time (the command line,
// the statistics line and the summary); the definitions come with their own files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/play_options.h"
#include "vexa/movie.h"

struct QuickPlayReader;
struct Surface;

void AssembleCommandLine(char* text, const char* embedded, const char* user);
void CancelSwitches(char* text);
void ParseCommandLine(PlayOptions* options, const QuickPlayReader* defaults, uint32_t screenWidth,
                      uint32_t screenHeight);
void TakeNextFileName(char* name, size_t capacity, char* list);
int CommandLineNeedsHelp(const char* text);
extern const char PlayerHelpText[];
extern const char PlayerHelpTitle[];

// The statistics line of the movie's running statistics; the text's length.
uint32_t FormatStatsLine(char* text, uint32_t capacity, const RealtimeStats* stats);
extern const char StatsSampleText[];
// The playback summary (text of 2000 characters); its length.
uint32_t FormatSummary(char* text, const PlaybackSummary* summary, const Surface* surface);
