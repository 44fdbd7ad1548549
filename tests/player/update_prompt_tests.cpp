#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/main_loop.h"
#include "player/update_prompt.h"

namespace {

TEST(UpdatePrompt, DateArithmetic) {
  const struct { CalendarDate today; const char *twoMonths, *week; } cases[] = {
      {{2024, 3, 15}, "2024-01-15", "2024-03-08"}, {{2024, 1, 5}, "2023-11-05", "2023-12-28"},
      {{2024, 2, 7}, "2023-12-07", "2024-01-30"}, {{2024, 2, 8}, "2023-12-08", "2024-02-01"},
      {{2024, 12, 1}, "2024-10-01", "2024-11-24"}};
  for (const auto& c : cases) {
    char two[StoredDateChars], week[StoredDateChars];
    FormatDate(two, TwoMonthsBack(c.today)), FormatDate(week, WeekBack(c.today));
    EXPECT_EQ(std::string(two) + " " + week, std::string(c.twoMonths) + " " + c.week);
  }
}

TEST(UpdatePrompt, RegistryDateIsATerminatedShortString) {
  const struct { const char* data; uint32_t bytes; int isString; const char* want; } cases[] = {
      {"2024-01-01\0", 11, 1, "2024-01-01"}, {"2024-01-01xxxxxyz", 15, 1, "2024-01-01xxxxx"},
      {"2024-01-01xxxxxyz", 16, 1, nullptr}, {"2024-01-01\0", 11, 0, nullptr}};
  for (const auto& c : cases) {
    char out[StoredDateChars];  // the result must be terminated inside it
    const int taken = StoredDateFromRegistry(reinterpret_cast<const uint8_t*>(c.data), c.bytes, c.isString, out);
    EXPECT_EQ(taken, c.want != nullptr);
    EXPECT_STREQ(taken ? out : nullptr, c.want);
  }
}

// The stores answer only under the real names; writes are recorded but not kept.
struct Stores { CalendarDate Today; const char *File, *Profile, *Registry; int Yes; };
Stores st;
std::string log;
const UpdateServices fakeUpdate = {
    [](CalendarDate* d) { *d = st.Today; },
    [](const char* path) { return int(std::strcmp(path, st.File) == 0); },
    [](const char* section, const char* key, char* out, uint32_t capacity) -> int {
      return st.Profile && !strcmp(section, "Corvane") && !strcmp(key, "LastVersionCheckDate") && snprintf(out, capacity, "%s", st.Profile); },
    [](const char*, const char* key, const char* text) { log += std::string("P:") + key + "=" + text + " "; },
    [](const char* path, const char* value, uint8_t* data, uint32_t, uint32_t* bytes, int* isString) -> int {
      *bytes = st.Registry ? uint32_t(std::strlen(st.Registry) + 1) : 0, *isString = 1;
      return st.Registry && !strcmp(path, "Software\\Ostrel\\Corvane") && !strcmp(value, "LastVersionCheckDate") &&
             std::memcpy(data, st.Registry, *bytes);
    },
    [](const char* path, const char*, const char* text) { log += std::string("R:") + path + "=" + text + " "; },
    [](void*, const char* title, const char* text) { log += std::string("ASK:") + title + (std::strlen(text) > 200 ? " " : ""); return st.Yes; },
    [] { return 0; },
};

TEST(UpdatePrompt, AskedWhenDueOncePerRun) {
  const char* saved = "P:LastVersionCheckDate=2024-03-15 R:Software\\Ostrel\\Corvane=2024-03-15 ";
  const std::string asked = std::string(saved) + "ASK:New version check... ";
  const char* here = "C:\\Vexa\\corvane.exe";  // beside the player
  const CalendarDate t{2024, 3, 15};
  const struct { Stores stores; int64_t mode; const char* name; int calls; int exit; std::string log; } cases[] = {
      {{t, "C:\\corvane.exe", "2024-03-07", nullptr, 0}, 0, "a", 1, 0, ""}, {{t, here, "2024-03-07", nullptr, 0}, 0, "a", 3, 0, asked},
      {{t, here, "2024-03-14", nullptr, 0}, 0, "a", 1, 0, ""}, {{t, here, "2024-03-07", "2024-03-14", 0}, 0, "a", 1, 0, ""},
      {{t, here, "2024-03-14", "2024-03-07", 0}, 0, "a", 1, 0, ""}, {{t, here, nullptr, "2024-03-07", 0}, 0, "a", 1, 0, asked},
      {{t, here, "2024-03-07", nullptr, 0}, 2, "a", 1, 0, ""}, {{t, here, "2024-03-07", nullptr, 0}, 0, ":123", 1, 0, ""},
      {{{2008, 7, 29}, here, nullptr, nullptr, 0}, 0, "a", 1, 0, ""},
      {{{2008, 8, 1}, here, nullptr, nullptr, 0}, 0, "a", 1, 0,
       "P:LastVersionCheckDate=2008-08-01 R:Software\\Ostrel\\Corvane=2008-08-01 ASK:New version check... "},
      {{t, here, "2024-03-07", nullptr, 1}, 0, "a", 1, 1,
       asked + "SITE:https://vexa.ostrel.net/scripts/vexaver.asp?ver=1.9h " + saved + "DESTROY"}};
  for (const auto& c : cases) {
    PlayerHost host{};
    host.ProgramFileName = [](char* name, uint32_t capacity) { snprintf(name, capacity, "C:\\Vexa\\VexaPlay.exe"); };
    host.OpenWebSite = [](const char* address) { log += std::string("SITE:") + address + " "; };
    host.Sleep = [](uint32_t) {}, host.DestroyMainWindow = [](void*) { log += "DESTROY"; }, host.Update = &fakeUpdate;
    PlayOptions options{};
    PlayerState state{};
    options.ScreenSaverMode = c.mode, state.Host = &host, state.Options = &options, st = c.stores, log.clear();
    int exit = 0;
    for (int i = 0; i < c.calls; ++i) exit |= OfferUpdateCheck(&state, c.name);
    EXPECT_EQ(exit, c.exit) << &c - cases;
    EXPECT_EQ(log, c.log) << &c - cases;
  }
  char address[160];
  UpdatePageAddress(address, sizeof address, 1);
  EXPECT_STREQ(address, "https://vexa.ostrel.net/scripts/vexaver.asp?win64&ver=1.9h");
}

}  // namespace
