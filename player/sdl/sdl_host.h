// vexaplay's host: the player's host table bound to SDL2, its one window, the built-in text font
// and the hooks the tests drive it through.
#pragma once

#include <cstdint>

#include "player/player_host.h"
#include "surface/sdl_display_device.h"

struct SdlHost {
  SdlCanvas Canvas;        // the player window's handle is &Canvas
  PlayerState* Player;
  bool Headless;           // SDL's dummy or offscreen video driver: no display
  bool Destroyed;          // the window was destroyed: its events are no longer dispatched
  bool QuitPosted;
  bool PaintPending;       // part of the client area was invalidated
};

extern SdlHost gSdlHost;
extern const PlayerHost SdlPlayerHost;

// Starts SDL's video, falling back to the dummy driver without a display; 0 on failure.
int SdlHostBegin();
void SdlHostEnd();

// The built-in font: size of a text line, and drawing it into the canvas at (x, y).
void SdlMeasureText(const char* text, int32_t* width, int32_t* height);
void SdlDrawText(SdlCanvas* canvas, const char* text, int32_t x, int32_t y);

// Test hooks, set from the environment (VEXAPLAY_TEST_KEYS, VEXAPLAY_TEST_DUMP,
// VEXAPLAY_TEST_LOG); without them they do nothing.
void SdlTestHooksBegin();
void SdlTestHooksPump();                     // pushes the scripted keys that are due
void SdlTestHooksPresented(SdlCanvas* canvas);
