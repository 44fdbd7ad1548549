// The player's main loop and the steps it is made of, shared by the files of the loop and by the
// window events. Everything here runs on the main thread.
#pragma once

#include <cstdint>

#include "player/player_host.h"
#include "player/player_state.h"

// The maker's web site; a click on the closing logo opens it with PlayerSiteQuery appended.
constexpr const char* PlayerSiteAddress = "https://vexa.ostrel.net/";
constexpr const char* PlayerSiteQuery = "?from=vexaplay64&ver=1.9h";
constexpr int32_t IdleFloorMs = -100;   // oversleep carried forward at most this far
constexpr uint32_t IdleSleepMaxMs = 10;

// Runs the player from the parsed options (the start-up after the parse): window, sound back end,
// every file, the closing logo and the shut-down. Returns the process exit code.
int PlayerRun(PlayerState* player);

// The window look the options ask for.
HostWindowLook PlayerWindowLook(const PlayOptions* options);

// Per file: opens the movie `name` and its surface and places the window; 0 after a failure, which
// was reported to the user.
int PlayFileStart(PlayerState* player, const char* name);
// Ends the current file: closes the movie and the embedded file, keeps the surface for the next.
void PlayFileEnd(PlayerState* player);
// Closes the current movie and its embedded file.
void PlayerCloseMovie(PlayerState* player);
// Closes every movie, surface and file the player holds.
void PlayerCloseAll(PlayerState* player);

// Sleeps for the idle count (at most IdleSleepMaxMs) and carries the oversleep forward.
void IdleSleep(PlayerState* player);
// One pass of the main loop: 1 to go on, 0 to leave for the next file, -1 on the quit message.
int MainLoopPass(PlayerState* player);

// Finishes, copies and shows the next frame.
void ShowNextFrame(PlayerState* player);
// Replaces the finished movie by the closing logo.
void StartEndLogo(PlayerState* player);
// Escape or the screen saver ending: ends play now (through the closing logo when it does not play
// yet).
void PlayerEndRequest(PlayerState* player);
// Takes the current movie's playback summary for the shut-down.
void TakeSummary(PlayerState* player);

// Moves and sizes the window; with ShowStats it first makes room for the statistics line above
// the picture (WindowY must hold the picture's offset in the client area).
void PlaceWindow(PlayerState* player, int32_t x, int32_t y, int32_t width, int32_t height);
void PaintWindow(PlayerState* player);
