// The Windows bindings of the screen saver and the update prompt.
#pragma once

#include <windows.h>

struct PlayerState;
struct ScreenSaverServices;
struct UpdateServices;

extern const ScreenSaverServices Win32ScreenSaverServices;
extern const UpdateServices Win32UpdateServices;

// Hands a window message that may end a running screen saver to the player. Returns 1 when the
// window procedure swallows it (result 0), else 0: default processing follows.
int Win32ScreenSaverMessage(PlayerState* player, UINT message, WPARAM wparam, LPARAM lparam);
