// The program's entry: decode workers, the command line, then the run of PlayerRun.
#include <cstring>
#include <memory>

#include "player/decode_workers.h"
#include "player/main_loop.h"
#include "player/command_line.h"
#include "player/screen_saver.h"
#include "player/stats_line.h"
#include "player/summary.h"

namespace {

// The program runs as a screen saver when its file name (without a trailing quote) is longer
// than four characters and ends in "scr".
bool IsScreenSaverName(const char* program) {
  size_t n = std::strlen(program);
  if (n && program[n - 1] == '"') --n;
  if (n <= 4) return false;
  const char* end = program + n - 3;
  for (int i = 0; i < 3; ++i)
    if ((end[i] | 0x20) != "scr"[i]) return false;
  return true;
}

bool StartWorkers(uint32_t processors) {
  StartDecodeWorker(0);
  const bool dual = processors > 1 && StartDecodeWorker(1);
  SetDualWorkers(dual);
  return dual;
}

}  // namespace

int PlayerMain(const PlayerHost* host, const char* userCommandLine) {
  auto options = std::make_unique<PlayOptions>();
  auto player = std::make_unique<PlayerState>();
  player->Host = host;
  player->Options = options.get();
  const uint32_t processors = host->ProcessorCount();
  player->DualWorkers = StartWorkers(processors ? processors : 1);

  char embedded[CommandLineChars] = {};
  char program[CommandLineChars] = {};
  host->EmbeddedCommandLine(embedded, sizeof embedded);
  host->ProgramFileName(program, sizeof program);
  const bool saver = IsScreenSaverName(program);
  options->ScreenSaverMode = saver ? 1 : 0;
  AssembleCommandLine(options->CommandLine, embedded, saver ? nullptr : userCommandLine);
  CancelSwitches(options->CommandLine);
  uint32_t width = 0, height = 0;
  host->ScreenSize(&width, &height);
  ParseCommandLine(options.get(), host->QuickPlay, width, height);
  if (const int exit = ScreenSaverStart(player.get(), userCommandLine); exit != SaverPlay) return exit;
  if (CommandLineNeedsHelp(options->CommandLine)) {
    host->ShowMessage(PlayerHelpTitle, PlayerHelpText, HostIconInformation);
    return 1;
  }
  return PlayerRun(player.get());
}
