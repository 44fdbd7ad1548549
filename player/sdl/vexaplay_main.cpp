// vexaplay: the Vexa player on SDL2. The same slash switches and movie names as VexaPlay.exe,
// plus --help and -h.
#include <cstdio>
#include <cstring>

#include "player/command_line.h"
#include "player/sdl/sdl_arguments.h"
#include "player/sdl/sdl_host.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::printf("%s\n", PlayerHelpText);
      return 0;
    }
  }
  static char line[CommandLineChars];
  SdlCommandLine(argc, argv, line, sizeof line);
  if (!SdlHostBegin()) {
    std::fprintf(stderr, "vexaplay: SDL could not start: %s\n", SDL_GetError());
    return 1;
  }
  DisplayUseDevice(SdlDisplayDevice());
  const int code = PlayerMain(&SdlPlayerHost, line);
  SdlHostEnd();
  return code;
}
