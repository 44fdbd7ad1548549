// The program's arguments as the player's command line. The player finds its switches wherever a
// "/" and a letter stand, and takes any "/" left over for an unknown switch; so a POSIX path
// cannot reach it as it is. An argument that is not a switch but holds a "/" goes to the player
// as a movie inside a file, "dir\name.vxa|0" (backslashes for its slashes, the ".vxa" rule already
// applied); the host's file open turns the backslashes back.
#pragma once

#include <cstddef>

// 1 when the argument is one or more switches ("/L", "/F29.97", "/-Q", "/L/S", "/!", "/#123").
int SdlIsSwitchArgument(const char* argument);
// Joins the arguments into `line` (capacity bytes), quoting those that hold a blank and
// rewriting paths as above; a line too long is cut.
void SdlCommandLine(int argc, char** argv, char* line, size_t capacity);
// The file a name given to the host's file open stands for: backslashes become slashes.
void SdlFileName(const char* name, char* path, size_t capacity);
// 1 when the command line carried `path` (as SdlFileName gives it) as a rewritten plain name.
int SdlWasPlainName(const char* path);
