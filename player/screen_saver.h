// Screen-saver mode: the player's file renamed to end in "scr" is the desktop's screen saver. The
// platform's argument picks the mode (run, configure, preview inside a window); input ends a
// running screen saver, through the platform's password service where one is in use.
#pragma once

#include <cstdint>

struct PlayerState;

// ScreenSaverMode values; 4 and above are run modes up to 16, preview parent handles from 17.
constexpr int64_t SaverNone = 0;
constexpr int64_t SaverRun = 1;           // started without an argument
constexpr int64_t SaverRunArgument = 2;   // /s: the platform started it
constexpr int64_t SaverConfigure = 3;     // /c
constexpr int64_t SaverLastRunMode = 15;
constexpr int64_t SaverPreviewFirst = 17; // /p <handle>: the preview's parent window

constexpr int SaverPlay = -1;             // ScreenSaverStart: go on and play
constexpr uint32_t SaverAllControlsDisabled = 15;
constexpr uint32_t SaverMouseMovesToEnd = 6;
constexpr char SaverNoSettingsText[] = "There are no settings for this screensaver.";
constexpr char SaverPasswordKey[] = "Control Panel\\Desktop";  // under HKEY_CURRENT_USER
constexpr char SaverPasswordValue[] = "ScreenSaveUsePassword";
constexpr char SaverPasswordModule[] = "PASSWORD.CPL";
constexpr char SaverPasswordEntry[] = "VerifyScreenSavePwd";
constexpr uint32_t SaverPasswordPlatformId = 1;  // the only platform line that asks for it

// The platform services the screen saver uses; bound to the real calls on Windows.
struct ScreenSaverServices {
  // The platform id of the system's version information.
  uint32_t (*PlatformId)();
  // Reads a 4-byte value under HKEY_CURRENT_USER; 0 when the key or the value is missing. The
  // key is closed again before the call returns.
  int (*ReadUserValue)(const char* keyPath, const char* valueName, uint32_t* value);
  void* (*LoadModule)(const char* name);      // none when it cannot be loaded
  void* (*FindEntry)(void* module, const char* name);
  // Calls the password entry with the window: non-zero when the password was accepted.
  int (*CallPasswordEntry)(void* entry, void* window);
  void (*UnloadModule)(void* module);
  // The client size of the window with this handle; 0 when there is no such window.
  int (*ClientSize)(uintptr_t window, uint32_t* width, uint32_t* height);
};

// The mode the platform's argument asks for (the command line without the program's name).
int64_t ScreenSaverModeFromArgs(const char* args);

// After the parse: when the player runs as a screen saver, decides the mode from `args` and sets
// the options up for it. Returns SaverPlay to go on, or the exit code to end the program with.
int ScreenSaverStart(PlayerState* player, const char* args);

// 1 when input may end the screen saver, 0 when the password was refused (keep running).
int VerifyScreenSaverPassword(PlayerState* player);
