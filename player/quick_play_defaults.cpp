// The stored defaults: the machine-wide registry value, when there is one, replaces the user's
// profile entry.
#include "player/quick_play_defaults.h"

#include <cstring>

void ReadQuickPlayDefaults(const QuickPlayReader* reader, char* out) {
  out[0] = 0;
  if (reader == nullptr) return;
  char text[QuickPlayMaxChars + 1];
  if (reader->ReadRegistry(QuickPlayKeyPath, QuickPlayValueName, text, sizeof text) == 0 &&
      reader->ReadProfile(QuickPlaySection, QuickPlayValueName, text, sizeof text) == 0)
    return;
  size_t length = strnlen(text, QuickPlayMaxChars);
  memcpy(out, text, length);
  out[length] = 0;
}
