// The player's options: one record filled from the command line at start-up (and the stored
// defaults the /! switch appends). Parsing cuts every recognised switch out of CommandLine; what is
// left is the list of movie names.
#pragma once

#include <cstdint>

constexpr int32_t CentreMarker = -3000;        // WindowX/WindowY: centre the window on the screen
constexpr uint32_t OptionNotGiven = 0xFFFFFFFFu;
constexpr uint32_t CommandLineChars = 1024;    // the text buffer, terminator included

// DisabledControls bits (/U).
constexpr uint32_t DisablePauseKeys = 1;
constexpr uint32_t DisableSkipKey = 2;
constexpr uint32_t DisableQuitKey = 4;

struct PlayOptions {
  char CommandLine[CommandLineChars];
  uint32_t OpenFlags;         // handed to MovieOpen
  uint32_t SurfaceFlags;      // handed to SurfaceOpen: style, SurfaceSetMode, stretch bits
  uint32_t ExtraCopyFlags;    // OR'ed into every MovieCopyToSurface
  uint32_t LoopCount;         // plays of each movie; 0 = endless
  uint32_t ListLoopCount;     // plays of the whole list
  uintptr_t ParentWindow;     // hidden /# switch: the parent window's handle, 0 = none
  uint32_t FrameRate, FrameRateDiv;  // OptionNotGiven when /F is absent; 0/0 = as fast as possible
  uint32_t SoundTrack;        // 0 = the movie's default
  uint32_t SimulatedSpeed;    // bytes per second, 0 = off
  uint32_t IoBufferSize;      // OptionNotGiven = the library's default
  uint32_t DisabledControls;  // DisablePauseKeys | DisableSkipKey | DisableQuitKey
  uint32_t AlwaysOnTop;       // /I value / 100
  uint32_t WindowStyle;       // /I value % 100: 0 normal, 1 no caption, 2 nothing
  bool UseWaveOut;
  bool ShowSummary;
  bool ShowStats;
  bool KeepPlayingUnfocused;
  bool FillScreen;
  bool HideCursor;
  int32_t WindowX, WindowY;   // requested position (CentreMarker = centre); later the movie's
                              // offset inside the client area
  int32_t OutWidth;
  uint32_t OutWidthDiv;       // /W as a fraction; 0 = the movie's width
  int32_t OutHeight;
  uint32_t OutHeightDiv;
  uint32_t ScreenWidth, ScreenHeight;  // the screen size used for centring and full screen
  uint32_t ModeWidth, ModeHeight, ModeDepth;  // /D: the display mode to ask the next SurfaceOpen
                                              // for (0 = none); the depth is a pending-depth code
  int64_t ScreenSaverMode;    // 0 none, 1 run, 2 run (/s), 3 configure, larger: preview parent
};
