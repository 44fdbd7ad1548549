// The update prompt: when the suite's "corvane.exe" lies beside the player, the build is more than
// two months old and the last check is more than a week ago, the player offers once to look for a
// newer version on the maker's site. The date of the last check is kept as "YYYY-MM-DD" text in
// the user's profile and in the registry.
#pragma once

#include <cstddef>
#include <cstdint>

struct PlayerState;

struct CalendarDate {
  int32_t Year, Month, Day;  // Month 1-12, Day 1-31
};

constexpr uint32_t StoredDateChars = 16;       // a stored date, terminator included
constexpr uint32_t StoredDateMaxBytes = 15;    // the longest registry value accepted
constexpr char UpdateBuildDate[] = "2008-05-30";
constexpr char UpdateDateName[] = "LastVersionCheckDate";  // profile key and registry value
constexpr char UpdateSuiteProgram[] = "corvane.exe";
constexpr char UpdateQuestionTitle[] = "New version check...";
extern const char UpdateQuestionText[];

// The platform services the prompt uses; bound to the real calls on Windows.
struct UpdateServices {
  void (*Today)(CalendarDate* date);  // the local date
  int (*FileExists)(const char* path);
  // The profile string `key` of `section` as terminated text of at most capacity - 1 characters;
  // 0 when there is none.
  int (*ReadProfile)(const char* section, const char* key, char* out, uint32_t capacity);
  void (*WriteProfile)(const char* section, const char* key, const char* text);
  // The raw data of a value under HKEY_LOCAL_MACHINE: at most `capacity` bytes, their number and
  // whether the value is a string. 0 when the key or the value is missing or larger.
  int (*ReadRegistry)(const char* keyPath, const char* valueName, uint8_t* data, uint32_t capacity,
                      uint32_t* bytes, int* isString);
  // Creates or opens the key with full access and sets a string value (terminator included).
  // Failures are ignored.
  void (*WriteRegistry)(const char* keyPath, const char* valueName, const char* text);
  // A Yes/No question box owned by the window: 1 for Yes.
  int (*AskYesNo)(void* window, const char* title, const char* text);
  // Whether the process runs under the 32-bit emulation of a 64-bit system.
  int (*IsEmulated32)();
};

// "%04i-%02i-%02i" into out (StoredDateChars bytes); fields are clamped to their digits.
void FormatDate(char* out, CalendarDate date);
// The same day two months back (the day is not checked against the month's length).
CalendarDate TwoMonthsBack(CalendarDate date);
// Seven days back; the first seven days of a month go to day + 23 of the month before.
CalendarDate WeekBack(CalendarDate date);

// Takes a registry value as a stored date: only a string of at most StoredDateMaxBytes bytes,
// always terminated in out (StoredDateChars bytes). 0 when it is refused.
int StoredDateFromRegistry(const uint8_t* data, uint32_t bytes, int isString, char* out);
// The date of the last check: the later of the profile's and the registry's (the build date
// when neither has one). out holds StoredDateChars bytes.
void LastCheckDate(const UpdateServices* services, char* out);
// Writes today's date to the profile and the registry.
void SaveLastCheckDate(const UpdateServices* services);
// 1 when the question is due: the suite's program lies beside `programFile`, the build is more
// than two months old and the last check more than a week ago.
int UpdateCheckDue(const UpdateServices* services, const char* programFile);
// The update page's address, with "win64&" in the query when running emulated.
void UpdatePageAddress(char* out, size_t capacity, int emulated32);

// Before a file named `name`: asks, once per run and never in a screen saver or for a movie inside
// the program (":" names), whether to look for a newer version. Yes opens the update page and
// destroys the window: returns 1 and the program ends with code 1. Otherwise 0.
int OfferUpdateCheck(PlayerState* player, const char* name);
// Opens the update page in the browser, stores today's date again and destroys the window.
void OpenUpdatePage(PlayerState* player);
