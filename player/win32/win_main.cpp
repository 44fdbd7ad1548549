// VexaPlay.exe's entry: hands the user's command line (without the program name) to the player.
#include <windows.h>

#include "player/player_host.h"
#include "player/win32/player_host_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  return PlayerMain(Win32PlayerHost(), commandLine ? commandLine : "");
}
