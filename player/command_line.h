// The player's command line: assembling the text, the /-X cancel switches, the switch parse that
// fills PlayOptions, fractions, taking file names from the front of the list, and the help text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/play_options.h"

struct QuickPlayReader;

constexpr uint32_t EmbeddedCommandLineChars = 511;  // the resource placeholder's readable length

// Fills `text` (CommandLineChars bytes) with the embedded command line, cut at its first "~" and
// at EmbeddedCommandLineChars, followed by the user's command line (null in screen-saver mode).
// The two are joined by one blank when both are non-empty and the embedded part does not end in
// a blank, so an embedded switch with an argument cannot swallow the first file name. Whatever does
// not fit the buffer is cut off.
void AssembleCommandLine(char* text, const char* embedded, const char* user);

// Handles the /-X cancel switches in place: each one removes every earlier switch with the letter
// X (and its argument), then itself. A "/-" at the very end ends the text there.
void CancelSwitches(char* text);

// Cuts every recognised switch out of options->CommandLine and fills the options; every field but
// CommandLine and ScreenSaverMode (an input) is set. `defaults` reads what /! appends; the screen
// size is the platform's primary screen. Whatever is left in the text is the list of movie names.
void ParseCommandLine(PlayOptions* options, const QuickPlayReader* defaults, uint32_t screenWidth,
                      uint32_t screenHeight);

// Reads "[-]digits[.digits][;digits[.digits]]" as a reduced fraction (the part after ";" divides
// the first). Returns the position after the number. Accumulates in 64 bits; values too large for
// 32 bits are scaled down together, keeping their ratio, or saturate when they cannot be.
const char* ParseFraction(const char* text, int32_t* numerator, uint32_t* denominator);

// Removes the first file name (quoted when it holds blanks) from the front of `list` and stores it,
// trimmed, in `name` (`capacity` bytes; a longer name is cut). Empty when the list is.
void TakeNextFileName(char* name, size_t capacity, char* list);

// Non-zero when the text left after the parse shows the help instead of playing: it still holds a
// "/" outside quotes (an unknown or repeated switch) or no file name.
int CommandLineNeedsHelp(const char* text);

extern const char PlayerHelpText[];
extern const char PlayerHelpTitle[];
