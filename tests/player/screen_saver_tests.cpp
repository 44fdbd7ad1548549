#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/main_loop.h"
#include "player/screen_saver.h"
#include "surface/surface_flags.h"

namespace {

// The password service answers only under the real names; -1 = that part is missing.
struct Password { uint32_t PlatformId; int Use, Module, Entry; };
Password pw;
int loads, unloads, calls;
std::string message;
const ScreenSaverServices fakeSaver = {
    [] { return pw.PlatformId; },
    [](const char* key, const char* value, uint32_t* use) -> int {
      return *use = uint32_t(pw.Use), pw.Use >= 0 && !strcmp(key, "Control Panel\\Desktop") && !strcmp(value, "ScreenSaveUsePassword"); },
    [](const char* name) -> void* { return pw.Module >= 0 && !strcmp(name, "PASSWORD.CPL") ? (++loads, &pw) : nullptr; },
    [](void*, const char* name) -> void* { return pw.Entry >= 0 && !strcmp(name, "VerifyScreenSavePwd") ? &pw : nullptr; },
    [](void*, void*) { return ++calls, pw.Entry; },
    [](void*) { ++unloads; },
    [](uintptr_t w, uint32_t* cw, uint32_t* ch) -> int { return *cw = 152, *ch = 112, w == 1234; },
};

struct Saver {
  PlayerHost Host{};
  PlayOptions Options{};
  PlayerState State{};
  explicit Saver(int64_t mode) {
    Host.ShowMessage = [](const char* title, const char* text, HostIcon) { message = std::string(title) + ": " + text; };
    Host.Now = [] { return 1000u; }, Host.Saver = &fakeSaver;
    Options.ScreenSaverMode = mode, Options.SurfaceFlags = SurfaceSetMode | 2, Options.FillScreen = true;
    State.Host = &Host, State.Options = &Options;
    loads = unloads = calls = 0, message.clear(), pw = {1, 1, 1, 1};
  }
};

TEST(ScreenSaver, ModeFromArgs) {
  const struct { const char* args; int64_t mode; } cases[] = {
      {"", 1}, {"/", 1}, {"/x", 1}, {"/s", 2}, {"  -S", 2}, {"a.b /c", 3}, {"/C:1234", 3},
      {"/p 1234", 1234}, {"/P:5678 9", 5678}, {"/p", 0}, {"/p x", 0}, {"/p 99999999999999999999", INT64_MAX}};
  for (const auto& c : cases) EXPECT_EQ(ScreenSaverModeFromArgs(c.args), c.mode) << c.args;
}

// Each row: the mode before, the argument, and "exit code|message|on top, disabled keys|output
// width, parent|fill screen, delay start, sound track, surface flags".
TEST(ScreenSaver, StartSetsUpEachMode) {
  const std::string untouched = "|0,0|0,0|1,0,0,8388610", preview = "|0,1001,4294967295,2";
  const struct { int64_t mode; const char* args; std::string want; } cases[] = {
      {0, "/c", "-1|" + untouched}, {1, "/s", "-1||1,15|0,0|1,0,0,8388610"}, {1, "", "-1||1,15|0,0|1,0,0,8388610"},
      {1, "/c", "0|Vexa Video Player: There are no settings for this screensaver." + untouched},
      {1, "/p", "0|" + untouched}, {1, "/p 16", "0|" + untouched},
      {1, "/p 1234", "-1||0,0|152,1234" + preview}, {1, "/p 4321", "-1||0,0|0,4321" + preview}};
  for (const auto& c : cases) {
    Saver s(c.mode);
    const int exit = ScreenSaverStart(&s.State, c.args);
    const PlayOptions& o = s.Options;
    char got[200];
    snprintf(got, sizeof got, "%d|%s|%u,%u|%d,%ju|%d,%u,%u,%u", exit, message.c_str(), o.AlwaysOnTop,
             o.DisabledControls, o.OutWidth, uintmax_t(o.ParentWindow), o.FillScreen,
             s.State.PreviewDelayStart, o.SoundTrack, o.SurfaceFlags);
    EXPECT_EQ(got, c.want) << c.args;
  }
}

// d: deactivated; w: a blocked system command (counted in `swallowed`); m: a mouse move to a new
// place, M: to (0, 0), the first one only places the pointer; k: a key or button; s: suspend.
TEST(ScreenSaver, InputEndsRunModesOnly) {
  const struct { int64_t mode; int entry; const char* input; uint32_t end; int swallowed; } cases[] = {
      {1, 1, "mmmmmm", EndNone, 0}, {1, 1, "mmmmmmm", EndPlay, 0}, {1, 1, "MMMMMMMMMM", EndNone, 0},
      {1, 1, "MmMmMmM", EndPlay, 0}, {1, 1, "k", EndPlay, 0}, {1, 0, "d", EndPlay, 0},
      {1, 1, "s", EndPlay, 0}, {1, 1, "ww", EndNone, 2}, {0, 1, "kdsmmmmmmmw", EndNone, 0},
      {1234, 1, "kdsmmmmmmmw", EndNone, 0}, {2, 0, "kdmmmmmmm", EndNone, 0}, {2, 1, "k", EndPlay, 0},
      {2, 1, "d", EndPlay, 0}};
  for (const auto& c : cases) {
    Saver s(c.mode);
    int swallowed = 0, x = 0;
    pw.Entry = c.entry;
    for (const char* i = c.input; *i; ++i) {
      const int32_t at = *i == 'm' ? ++x : 0;
      const auto input = HostSaverInput(std::strchr("dwmks", *i == 'M' ? 'm' : *i) - "dwmks");
      swallowed += PlayerScreenSaverEvent(&s.State, input, at, at);
    }
    EXPECT_EQ(s.State.EndRequest, c.end) << c.mode << c.input;
    EXPECT_EQ(swallowed, c.swallowed) << c.mode << c.input;
  }
}

TEST(ScreenSaver, PasswordDecisionTree) {
  const struct { Password pw; int answer, called; } cases[] = {
      {{2, 1, 1, 0}, 1, 0}, {{1, -1, 1, 0}, 1, 0}, {{1, 0, 1, 0}, 1, 0}, {{1, 1, -1, 0}, 1, 0},
      {{1, 1, 1, -1}, 1, 0}, {{1, 1, 1, 0}, 0, 1}, {{1, 1, 1, 1}, 1, 1}};
  for (const auto& c : cases) {
    Saver s(2);
    pw = c.pw;
    EXPECT_EQ(VerifyScreenSaverPassword(&s.State), c.answer) << &c - cases;
    EXPECT_TRUE(calls == c.called && loads == unloads) << &c - cases;
    pw.Entry = 0;  // once accepted, the password is not asked again
    EXPECT_EQ(VerifyScreenSaverPassword(&s.State), c.answer) << &c - cases;
  }
}

}  // namespace
