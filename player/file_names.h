// The forms a movie name takes on the command line: ":offset" (a movie stored inside the player's
// own program file), "file|offset" (a movie inside another file) and a plain file name, which gets
// the ".vxa" extension when it has none; and the window title made from a name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/play_options.h"

constexpr char DefaultExtension[] = ".vxa";
constexpr char WindowTitleSuffix[] = " - Vexa Video Player";
// A name buffer holds the whole file list plus the appended extension.
constexpr size_t FileNameChars = CommandLineChars + sizeof DefaultExtension - 1;
constexpr size_t WindowTitleChars = FileNameChars + sizeof WindowTitleSuffix - 1;

enum MovieNameKind : uint32_t {
  MovieNamePlain = 0,     // a file name, opened by name
  MovieNameOwnProgram,    // ":offset": the player's own program file
  MovieNameInFile,        // "file|offset"
};

struct MovieName {
  MovieNameKind Kind;
  char Path[FileNameChars];  // the file to open: plain names with the extension rule applied;
                             // empty for MovieNameOwnProgram
  uint64_t Offset;           // byte offset of the movie in that file (0 for plain names)
};

// Splits a name taken from the file list. Returns 0 when the offset of a ":" or "|" name is
// missing, not a plain decimal number or beyond the 63-bit seek range; Kind is set even then, so
// the caller can show the matching error.
int SplitMovieName(const char* name, MovieName* out);

// Appends ".vxa" when the name has no "." after its last ":", "\" or "/". Returns 0, leaving the
// name unchanged, when it does not fit `capacity` bytes.
int AppendDefaultExtension(char* name, size_t capacity);

// The name's last component (after the last ":", "\" or "/") followed by " - Vexa Video Player",
// cut to `capacity` bytes.
void MakeWindowTitle(const char* name, char* title, size_t capacity);
