// The Windows host of the player: the PlayerHost table filled with USER, GDI, shell and WINMM
// calls, and the window class and window it drives.
#pragma once

struct HostWindowLook;
struct PlayerHost;
struct PlayerState;

// The table WinMain hands to PlayerMain.
const PlayerHost* Win32PlayerHost();

// The window class "VexaWin" and the player window (player_window_win32.cpp).
int Win32RegisterWindowClass(const HostWindowLook* look);
void* Win32CreateMainWindow(const HostWindowLook* look, PlayerState* player);
