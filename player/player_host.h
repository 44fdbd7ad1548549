// The player's host: every window-system and operating-system call the portable player makes, as
// one table of function pointers. The Windows host (player/win32/) fills it with USER, GDI, shell
// and WINMM calls; an SDL2 host and the tests' fake host fill it with their own. Window handles,
// file handles and device contexts are opaque pointers here.
//
// The host also owns the real window procedure: it turns the window system's messages into the
// Player*Event calls at the end of this header, which hold all of the player's decisions.
#pragma once

#include <cstdint>

#include "vexa/sound.h"

struct PlayerState;
struct QuickPlayReader;
struct ScreenSaverServices;
struct UpdateServices;

// The result of one PumpMessage.
enum HostPump : int {
  HostPumpNone = 0,        // no message was waiting
  HostPumpDispatched = 1,  // one message was taken and dispatched to the window procedure
  HostPumpQuit = 2,        // the quit message (posted when the window is destroyed) was taken
};

enum HostIcon : int {
  HostIconStop = 0,
  HostIconInformation = 1,
  HostIconNone = 2,  // a plain OK box
};

// A rectangle in client or screen pixels.
struct HostRect {
  int32_t X, Y, Width, Height;
};

// How the player window looks, decided from the options (PlayerWindowLook).
struct HostWindowLook {
  bool TopMost;          // top-most window (/I1xx)
  bool DialogFrame;      // a dialog frame (every style but 2)
  bool Caption;          // a caption bar (style 0)
  bool Child;            // a child of Parent (screen-saver preview) instead of a popup
  bool HideCursor;       // the window class's cursor is fully transparent (/C)
  uintptr_t Parent;      // parent window handle, 0 = none
};

// The window class is "VexaWin", the title "Vexa Video Player" (PlayerWindowClass, PlayerTitle).
struct PlayerHost {
  // --- Window ---
  // Registers the window class (program icon, transparent cursor when look->HideCursor, no
  // background brush). 1 on success.
  int (*RegisterWindowClass)(const HostWindowLook* look);
  // Creates the 32 x 32 player window at the default position with the given look. The window
  // procedure hands its events to `player`. Returns the window, or none on failure.
  void* (*CreateMainWindow)(const HostWindowLook* look, PlayerState* player);
  // Destroys the window; this posts the quit message that a later PumpMessage returns.
  void (*DestroyMainWindow)(void* window);
  // Shows the window normally (1) or hides it (0).
  void (*ShowMainWindow)(void* window, int show);
  // Moves and sizes the window (outer rectangle, screen pixels).
  void (*MoveMainWindow)(void* window, const HostRect* rect);
  // The window's outer top-left corner on the screen.
  void (*GetWindowTopLeft)(void* window, int32_t* x, int32_t* y);
  int (*IsMinimized)(void* window);
  int (*HasFocus)(void* window);
  void (*SetWindowTitle)(void* window, const char* title);
  // Marks a client rectangle for repainting (the PaintEvent follows).
  void (*InvalidateClient)(void* window, const HostRect* rect);
  // Inside a paint event: paints the client area black (when blacken), leaving out *exclude when
  // it is not none, and validates the client area.
  void (*PaintClient)(void* window, const HostRect* exclude, int blacken);
  // Outside a paint event: paints the whole client area black now.
  void (*FillClientBlack)(void* window);
  // Repaints every window whose update region is not empty (before the summary box).
  void (*UpdateAllWindows)();

  // --- Messages and time ---
  // Takes one waiting message, if any, and dispatches it.
  HostPump (*PumpMessage)();
  void (*Sleep)(uint32_t ms);
  // The millisecond clock of the main loop (MovieTimerMs on a real host).
  uint32_t (*Now)();
  // Raises (Begin) and restores (End) the platform's timer resolution to 1 ms.
  void (*TimerResolutionBegin)();
  void (*TimerResolutionEnd)();

  // --- Dialogs and text ---
  // A message box without owner window.
  void (*ShowMessage)(const char* title, const char* text, HostIcon icon);
  // Width and height of a text in the window's current font.
  void (*MeasureText)(void* window, const char* text, int32_t* width, int32_t* height);
  // Draws text yellow on black, opaque over `strip`, centred horizontally at centreX, top at
  // strip->Y.
  void (*DrawTextLine)(void* window, const char* text, const HostRect* strip, int32_t centreX);

  // --- Files and system ---
  // Opens a file for reading (shared read, sequential) and moves to byte `offset`. On success
  // writes a handle for MovieOpen with OpenFromHandle and returns 1; 0 on failure.
  int (*OpenFileAt)(const char* name, uint32_t offset, void** handle);
  void (*CloseFile)(void* handle);
  // The program's own file name, terminated; at most capacity characters with the terminator.
  void (*ProgramFileName)(char* name, uint32_t capacity);
  // The embedded command line (the program's string resource, cut at the first "~"), terminated.
  void (*EmbeddedCommandLine)(char* text, uint32_t capacity);
  void (*ScreenSize)(uint32_t* width, uint32_t* height);
  uint32_t (*ProcessorCount)();
  // Opens an address in the user's browser (the shell's "open" verb).
  void (*OpenWebSite)(const char* address);
  // Tells the platform that a screen saver runs (1) or ended (0).
  void (*ScreenSaverRunning)(int on);
  // The stored defaults that /! appends (profile and registry reads); none reads nothing.
  const QuickPlayReader* QuickPlay;
  // The host's own sound back end; none: /Z chooses waveOut, otherwise DirectSound.
  SoundSelector Sound = nullptr;

  // --- Screen saver and update prompt (player/screen_saver.h, player/update_prompt.h) ---
  // None: the platform has no password service and no preview parent / never offers an update.
  const ScreenSaverServices* Saver = nullptr;
  const UpdateServices* Update = nullptr;
};

// Input that may end a running screen saver, as the host's window procedure reports it.
enum HostSaverInput : int {
  HostSaverDeactivated = 0,   // the application is being deactivated
  HostSaverWindowCommand = 1, // a system command that would switch, close or restart the saver
  HostSaverMouseMove = 2,     // with the cursor's client position
  HostSaverPress = 3,         // a key or a mouse button went down
  HostSaverSuspend = 4,       // the system is about to suspend
};

// Events of the player window, called by the host's window procedure on the main thread.
// PlayerDestroyEvent is not among them: destroying the window only posts the quit message.
void PlayerFocusEvent(PlayerState* player, bool gained);
void PlayerPaintEvent(PlayerState* player);
// A character key: Enter (13), Space (32), Escape (27) and "." act; others are ignored.
void PlayerCharEvent(PlayerState* player, uint32_t character);
void PlayerLeftButtonUpEvent(PlayerState* player);
// The window is about to move to (*x, *y), its outer top-left corner: adjusts the position so the
// picture lands aligned (and on the screen where the surface needs it).
void PlayerWindowPosChangingEvent(PlayerState* player, int32_t* x, int32_t* y);
void PlayerWindowPosChangedEvent(PlayerState* player);
// Screen-saver input (acts only while a screen saver runs). Returns 1 when the window procedure
// swallows the message (result 0), 0 for default processing.
int PlayerScreenSaverEvent(PlayerState* player, HostSaverInput input, int32_t x, int32_t y);

// The player program: runs start-up, every file, the closing logo and the shut-down on `host`.
// userCommandLine is the user's part of the command line (without the program name). Returns
// the process exit code: 0 after normal play, 1 after an error or the help message.
int PlayerMain(const PlayerHost* host, const char* userCommandLine);
