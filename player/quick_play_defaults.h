// The stored defaults that the /! switch appends to the command line: a per-user profile entry,
// replaced by a machine-wide registry value when that exists. The two reads are a table of calls,
// bound to the platform on Windows and to fakes in tests.
#pragma once

#include <cstdint>

constexpr uint32_t QuickPlayMaxChars = 256;
constexpr char QuickPlaySection[] = "Corvane";              // profile section
constexpr char QuickPlayKeyPath[] = "Software\\Ostrel\\Corvane";  // under HKEY_LOCAL_MACHINE
constexpr char QuickPlayValueName[] = "VexaQuickPlay";     // profile key and registry value

struct QuickPlayReader {
  // Each stores a terminated text of at most `capacity` - 1 characters in `out` and returns 1, or
  // returns 0 when there is nothing stored. The registry read refuses values that are not strings
  // or are longer than QuickPlayMaxChars.
  int (*ReadProfile)(const char* section, const char* key, char* out, uint32_t capacity);
  int (*ReadRegistry)(const char* keyPath, const char* valueName, char* out, uint32_t capacity);
};

// The Windows profile and registry (player/win32/quick_play_defaults_win32.cpp).
extern const QuickPlayReader Win32QuickPlayReader;

// Stores the defaults text (at most QuickPlayMaxChars characters, possibly empty) in `out`, which
// holds QuickPlayMaxChars + 1 bytes. A null reader reads nothing.
void ReadQuickPlayDefaults(const QuickPlayReader* reader, char* out);
