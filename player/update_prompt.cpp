// The update prompt: the stored date of the last check, when the question is due, asking it and
// opening the update page.
#include "player/update_prompt.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "player/main_loop.h"
#include "player/quick_play_defaults.h"
#include "player/screen_saver.h"

const char UpdateQuestionText[] =
    "It's been a while since you checked for a more recent Vexa version.\n\nWould you like to "
    "check for a newer version of Vexa on the Internet?\n\nIf you choose to check for a new "
    "version, Vexa will close to allow the update to install.";

namespace {

constexpr uint32_t PageOpenWaitMs = 250;  // lets the browser start before the player ends
constexpr uint32_t PathChars = CommandLineChars + sizeof UpdateSuiteProgram;

// The suite's program in the player's own folder: the last component of the path replaced.
void SuiteProgramPath(char* out, const char* programFile) {
  size_t folder = 0;
  for (size_t i = 0; programFile[i] && i < CommandLineChars; ++i)
    if (programFile[i] == '\\' || programFile[i] == '/') folder = i + 1;
  std::snprintf(out, PathChars, "%.*s%s", int(folder), programFile, UpdateSuiteProgram);
}

void TodayText(const UpdateServices* s, char* out) {
  CalendarDate today{};
  s->Today(&today);
  FormatDate(out, today);
}

}  // namespace

void FormatDate(char* out, CalendarDate date) {
  std::snprintf(out, StoredDateChars, "%04i-%02i-%02i", std::clamp(date.Year, 0, 9999),
                std::clamp(date.Month, 0, 99), std::clamp(date.Day, 0, 99));
}

CalendarDate TwoMonthsBack(CalendarDate d) {
  return {d.Month <= 2 ? d.Year - 1 : d.Year, d.Month > 2 ? d.Month - 2 : d.Month + 10, d.Day};
}

CalendarDate WeekBack(CalendarDate d) {
  if (d.Day > 7) return {d.Year, d.Month, d.Day - 7};
  if (d.Month <= 1) return {d.Year - 1, 12, d.Day + 23};
  return {d.Year, d.Month - 1, d.Day + 23};
}

int StoredDateFromRegistry(const uint8_t* data, uint32_t bytes, int isString, char* out) {
  if (!isString || bytes > StoredDateMaxBytes) return 0;
  // The registry does not promise a terminator: the text ends at the first zero or the last byte.
  const size_t length = strnlen(reinterpret_cast<const char*>(data), bytes);
  std::memcpy(out, data, length);
  out[length] = 0;
  return 1;
}

void LastCheckDate(const UpdateServices* s, char* out) {
  if (!s->ReadProfile(QuickPlaySection, UpdateDateName, out, StoredDateChars))
    std::snprintf(out, StoredDateChars, "%s", UpdateBuildDate);
  out[StoredDateChars - 1] = 0;
  uint8_t data[StoredDateChars] = {};
  uint32_t bytes = 0;
  int isString = 0;
  char stored[StoredDateChars];
  // A stale registry value must not hide a newer profile date: the later of the two counts.
  if (s->ReadRegistry(QuickPlayKeyPath, UpdateDateName, data, sizeof data, &bytes, &isString) &&
      StoredDateFromRegistry(data, bytes, isString, stored) && std::strcmp(stored, out) > 0)
    std::memcpy(out, stored, StoredDateChars);
}

void SaveLastCheckDate(const UpdateServices* s) {
  char today[StoredDateChars];
  TodayText(s, today);
  s->WriteProfile(QuickPlaySection, UpdateDateName, today);
  s->WriteRegistry(QuickPlayKeyPath, UpdateDateName, today);
}

int UpdateCheckDue(const UpdateServices* s, const char* programFile) {
  char path[PathChars];
  SuiteProgramPath(path, programFile);
  if (!s->FileExists(path)) return 0;
  CalendarDate today{};
  s->Today(&today);
  char back[StoredDateChars], last[StoredDateChars];
  FormatDate(back, TwoMonthsBack(today));
  if (std::strcmp(UpdateBuildDate, back) >= 0) return 0;
  FormatDate(back, WeekBack(today));
  LastCheckDate(s, last);
  return std::strcmp(last, back) < 0;
}

void UpdatePageAddress(char* out, size_t capacity, int emulated32) {
  // The site's address ends in "/".
  std::snprintf(out, capacity, "%sscripts/vexaver.asp?%sver=1.9h", PlayerSiteAddress,
                emulated32 ? "win64&" : "");
}

void OpenUpdatePage(PlayerState* p) {
  const PlayerHost* h = p->Host;
  char address[160];
  UpdatePageAddress(address, sizeof address, h->Update->IsEmulated32());
  h->OpenWebSite(address);
  h->Sleep(PageOpenWaitMs);
  SaveLastCheckDate(h->Update);
  p->Destroying = true;
  h->DestroyMainWindow(p->Window);
}

int OfferUpdateCheck(PlayerState* p, const char* name) {
  const PlayerHost* h = p->Host;
  const UpdateServices* s = h->Update;
  // Asked at most once a run: a user who cannot write either store is not asked before every
  // file. Never over a screen saver, and not for the program's own movies.
  if (!s || p->UpdateAsked || p->Options->ScreenSaverMode != SaverNone || name[0] == ':')
    return 0;
  char program[CommandLineChars] = {};
  h->ProgramFileName(program, sizeof program);
  if (!UpdateCheckDue(s, program)) return 0;
  p->UpdateAsked = true;
  SaveLastCheckDate(s);
  if (!s->AskYesNo(p->Window, UpdateQuestionTitle, UpdateQuestionText)) return 0;
  OpenUpdatePage(p);
  return 1;
}
