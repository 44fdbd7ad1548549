// The player's run-time state: one record per running player (besides its PlayOptions), shared by
// the main loop and the window events.
#pragma once

#include <cstdint>

#include "player/play_options.h"
#include "vexa/movie.h"

struct PlayerHost;
struct Surface;

constexpr const char* PlayerWindowClass = "VexaWin";
constexpr const char* PlayerTitle = "Vexa Video Player";
constexpr uint32_t LogoShowMs = 2250;

// EndRequest values.
constexpr uint32_t EndNone = 0;
constexpr uint32_t EndPlay = 1;      // end of play requested
constexpr uint32_t EndLogo = 2;      // end requested while the closing logo plays

struct PlayerState {
  const PlayerHost* Host;
  PlayOptions* Options;
  void* Window;                  // the player window, or none
  Movie* CurrentMovie;           // the open movie, or none
  Surface* CurrentSurface;       // the open display surface, or none
  Surface* PreviousSurface;      // the previous file's surface, open until the next one exists
  void* EmbedFile;               // file opened for a ":" or "|" name (valid when EmbedFileOpen)
  bool EmbedFileOpen;
  char FileList[CommandLineChars];       // the names not yet played
  char SavedFileList[CommandLineChars];  // the whole list, for replaying it
  uint32_t UserPaused;           // 0, or all bits set after the pause key
  bool HasFocus;
  uint32_t EndRequest;           // EndNone, EndPlay or EndLogo
  bool FileDone;                 // the file played its last loop, or was skipped
  bool Destroying;               // the window is being destroyed
  bool LogoPlaying;
  uint32_t LogoDeadline;         // ms: the closing logo ends then
  uint32_t PreviewDelayStart;    // ms: non-zero during the screen-saver preview's start delay
  bool BackgroundPending;        // no frame shown yet: painting must not blacken the client area
  bool InterlacedBackground;     // interlaced display option: the client area is painted black
  bool DualWorkers;              // a second decode worker runs
  int32_t IdleCount;             // ms the loop owes to sleep (negative: it overslept)
  int32_t StatsTop, StatsWidth, StatsHeight;  // the strip of the statistics line (/Q)
  bool SummaryTaken;             // Summary holds the last movie's playback summary
  PlaybackSummary Summary;
  bool PasswordVerified;         // the screen-saver password was accepted once
  int32_t MouseMoveCount;        // mouse moves seen while the screen saver runs
  int32_t LastMouseX = -1, LastMouseY = -1;
  bool UpdateAsked;              // the update question was asked in this run
};
