// The program's arguments as the player's command line. Names are quoted when they hold a blank
// or a "/", since the player looks for its switches wherever a "/" stands outside quotes.
#pragma once

#include <cstddef>

// 1 when the argument is one or more switches ("/L", "/F29.97", "/-Q", "/L/S", "/!", "/#123").
int SdlIsSwitchArgument(const char* argument);
// Joins the arguments into `line` (capacity bytes), quoting names as above; a line too long is
// cut.
void SdlCommandLine(int argc, char** argv, char* line, size_t capacity);
