// The arguments as the player's command line, and the way back from the names it carries.
#include "player/sdl/sdl_arguments.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "player/file_names.h"

namespace {

std::vector<std::string> gPlainNames;  // the rewritten plain names, with their slashes

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

// The argument as the player reads it: a path becomes "dir\name.vxa|0" (or keeps its own offset).
std::string PlayerName(const char* argument) {
  if (SdlIsSwitchArgument(argument) || !std::strchr(argument, '/')) return argument;
  std::string name = argument;
  if (!std::strchr(argument, '|')) {
    char path[FileNameChars];
    std::snprintf(path, sizeof path, "%s", argument);
    AppendDefaultExtension(path, sizeof path);
    gPlainNames.push_back(path);
    name = std::string(path) + "|0";
  }
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
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
    const std::string name = PlayerName(argv[i]);
    const bool quote = name.find_first_of(" \t") != std::string::npos;
    if (!text.empty()) text += ' ';
    text += quote ? "\"" + name + "\"" : name;
  }
  if (capacity) std::snprintf(line, capacity, "%s", text.c_str());
}

void SdlFileName(const char* name, char* path, size_t capacity) {
  if (!capacity) return;
  std::snprintf(path, capacity, "%s", name);
  for (char* c = path; *c; ++c)
    if (*c == '\\') *c = '/';
}

int SdlWasPlainName(const char* path) {
  for (const std::string& n : gPlainNames)
    if (n == path) return 1;
  return 0;
}
