// The arguments as the player's command line.
#include "player/sdl/sdl_arguments.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == ';' || c == '-'; }

// One switch without its "/": a letter (or "-" and a letter, "!" or "#") and a number's characters.
bool IsSwitchBody(const char* begin, const char* end) {
  if (begin < end && *begin == '-') ++begin;
  if (begin == end || !(IsLetter(*begin) || *begin == '!' || *begin == '#')) return false;
  for (++begin; begin < end; ++begin)
    if (!IsNumberChar(*begin)) return false;
  return true;
}

}  // namespace

int SdlIsSwitchArgument(const char* a) {
  if (a[0] != '/') return 0;
  for (const char* body = a + 1;;) {
    const char* end = std::strchr(body, '/');
    if (!end) end = body + std::strlen(body);
    if (!IsSwitchBody(body, end)) return 0;
    if (!*end) return 1;
    body = end + 1;
  }
}

void SdlCommandLine(int argc, char** argv, char* line, size_t capacity) {
  std::string text;
  for (int i = 1; i < argc; i++) {
    const std::string name = argv[i];
    const bool quote =
        !SdlIsSwitchArgument(argv[i]) && name.find_first_of(" \t/") != std::string::npos;
    if (!text.empty()) text += ' ';
    text += quote ? "\"" + name + "\"" : name;
  }
  if (capacity) std::snprintf(line, capacity, "%s", text.c_str());
}
