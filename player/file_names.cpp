// Movie names: where the movie lies, the default extension and the window title.
#include "player/file_names.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsPathSeparator(char c) { return c == ':' || c == '\\' || c == '/'; }

// The text after the last ":", "\" or "/".
const char* LastComponent(const char* name) {
  const char* last = name;
  for (const char* p = name; *p != 0; ++p)
    if (IsPathSeparator(*p)) last = p + 1;
  return last;
}

// A plain run of decimal digits (at least one, nothing else) up to the 63-bit seek range.
int ParseOffset(const char* text, uint64_t* offset) {
  uint64_t value = 0;
  if (*text == 0) return 0;
  for (; *text != 0; ++text) {
    if (*text < '0' || *text > '9') return 0;
    uint64_t digit = static_cast<uint64_t>(*text - '0');
    if (value > (static_cast<uint64_t>(INT64_MAX) - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  *offset = value;
  return 1;
}

// Copies at most `capacity` - 1 characters and terminates.
void CopyCut(char* out, size_t capacity, const char* text, size_t length) {
  if (capacity == 0) return;
  length = std::min(length, capacity - 1);
  memcpy(out, text, length);
  out[length] = 0;
}

}  // namespace

int SplitMovieName(const char* name, MovieName* out) {
  out->Offset = 0;
  out->Path[0] = 0;
  if (name[0] == ':') {
    out->Kind = MovieNameOwnProgram;
    return ParseOffset(name + 1, &out->Offset);
  }
  const char* bar = strchr(name, '|');
  if (bar != nullptr) {
    out->Kind = MovieNameInFile;
    CopyCut(out->Path, sizeof out->Path, name, static_cast<size_t>(bar - name));
    return ParseOffset(bar + 1, &out->Offset);
  }
  out->Kind = MovieNamePlain;
  CopyCut(out->Path, sizeof out->Path, name, strlen(name));
  return AppendDefaultExtension(out->Path, sizeof out->Path);
}

int AppendDefaultExtension(char* name, size_t capacity) {
  if (strchr(LastComponent(name), '.') != nullptr) return 1;
  size_t length = strlen(name);
  if (length + sizeof DefaultExtension > capacity) return 0;
  memcpy(name + length, DefaultExtension, sizeof DefaultExtension);
  return 1;
}

void MakeWindowTitle(const char* name, char* title, size_t capacity) {
  if (capacity == 0) return;
  const char* component = LastComponent(name);
  CopyCut(title, capacity, component, strlen(component));
  size_t length = strlen(title);
  CopyCut(title + length, capacity - length, WindowTitleSuffix, sizeof WindowTitleSuffix - 1);
}
