#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "player/command_line.h"
#include "player/quick_play_defaults.h"
#include "surface/surface_flags.h"
#include "vexa/copy.h"
#include "vexa/movie.h"

namespace {

// The fake store answers only under the real names, so a wrong name loses the defaults.
const char* registryValue = nullptr;
int FakeProfile(const char* section, const char* key, char* out, uint32_t capacity) {
  return !strcmp(section, "Corvane") && !strcmp(key, "VexaQuickPlay") && snprintf(out, capacity, "b /S");
}
int FakeRegistry(const char* path, const char* value, char* out, uint32_t capacity) {
  return registryValue != nullptr && strcmp(path, "Software\\Ostrel\\Corvane") == 0 &&
         strcmp(value, "VexaQuickPlay") == 0 && snprintf(out, capacity, "%s", registryValue) > 0;
}
const QuickPlayReader fakeReader = {FakeProfile, FakeRegistry};

#define FIELD(f) [](const PlayOptions& o) { return static_cast<int64_t>(o.f); }
struct ParseCase { const char *line, *rest; int64_t (*field)(const PlayOptions&);
                   int64_t want, screenSaverMode = 0; const char* registry = nullptr; };

// Each row: the line, what is left of it (leading blanks dropped), one field and its value.
TEST(CommandLine, ParseTakesEachSwitchInItsShape) {
  const uint32_t scale7 = 7u << OpenScaleShift;
  const ParseCase cases[] = {
      {"a", "a", FIELD(LoopCount), 1}, {"/L a", "a", FIELD(LoopCount), 0},
      {"/L0 a", "a", FIELD(LoopCount), 0}, {"/l3 a", "a", FIELD(LoopCount), 3},
      {"/L-1 a", "a", FIELD(LoopCount), 1}, {"/L /L3 a", "/L  a", FIELD(LoopCount), 3},
      {"/P /P a", "/P a", FIELD(OpenFlags), OpenPreload}, {"/Q3 a", "/Q3 a", FIELD(ShowStats), 0},
      {"a.vxa/S", "a.vxa", FIELD(ShowSummary), 1}, {"/Z/J a", "a", FIELD(KeepPlayingUnfocused), 1},
      {"a", "a", FIELD(FrameRate), OptionNotGiven}, {"/F a", "a", FIELD(FrameRateDiv), 0},
      {"/F a", "a", FIELD(OpenFlags), OpenFrameRate}, {"/F.5 a", ".5 a", FIELD(FrameRate), 0},
      {"/F29.97 a", "a", FIELD(FrameRate), 2997}, {"/F29.97x a", "x a", FIELD(FrameRateDiv), 100},
      {"/T5 a", "a", FIELD(OpenFlags), OpenTrackList}, {"/M0 a", "a", FIELD(OpenFlags), 0},
      {"/E-1 a", "a", FIELD(OpenFlags), 0}, {"/E4096 a", "a", FIELD(OpenFlags), OpenIoBufferSize},
      {"/I101 a", "a", FIELD(AlwaysOnTop), 1}, {"/I101 a", "a", FIELD(WindowStyle), 1},
      {"/I1 /R a", "a", FIELD(WindowStyle), 2}, {"/#-5 a", "a", FIELD(ParentWindow), -5},
      {"/X99999999999 a", "a", FIELD(WindowX), INT32_MAX}, {"/Y-3000000000 a", "a", FIELD(WindowY), INT32_MIN},
      {"a", "a", FIELD(WindowX), CentreMarker}, {"/w-2 a", "a", FIELD(OutWidth), -2},
      {"/H3;2x a", "x a", FIELD(OutHeightDiv), 2}, {"/A1107 a", "a", FIELD(ExtraCopyFlags), CopySwapAlpha | OpenAlpha},
      {"/A1107 a", "a", FIELD(OpenFlags), OpenAlpha | OpenGrayscale | scale7}, {"/A2000 a", "a", FIELD(OpenFlags), scale7},
      {"/D508 a", "a", FIELD(ScreenWidth), 640}, {"/D508 a", "a", FIELD(ModeDepth), 2},
      {"/D508 a", "a", FIELD(SurfaceFlags), SurfaceSetMode}, {"/D14 a", "a", FIELD(ScreenWidth), 1920},
      {"/D713 a", "a", FIELD(SurfaceFlags), 0}, {"/B37 a", "a", FIELD(SurfaceFlags), 5},
      {"/B5 /L3 a", "a", FIELD(SurfaceFlags), 2, 1}, {"/L3 a", "a", FIELD(LoopCount), 0, 1},
      {"a", "a", FIELD(HideCursor), 1, 2}, {"/I1 a", "a", FIELD(WindowStyle), 2, 3},
      {"a/!", "a b ", FIELD(ShowSummary), 1}, {"/! a", "a c ", FIELD(ShowStats), 1, 0, "c /Q"},
      {"/! a", "a c ", FIELD(ShowSummary), 0, 0, "c /Q"},
      {"\"/d/L3.vxa\" /S", "\"/d/L3.vxa\" ", FIELD(LoopCount), 1},
  };
  for (const ParseCase& c : cases) {
    PlayOptions o{};
    o.ScreenSaverMode = c.screenSaverMode;
    snprintf(o.CommandLine, sizeof o.CommandLine, "%s", c.line);
    registryValue = c.registry;
    ParseCommandLine(&o, &fakeReader, 1920, 1080);
    EXPECT_STREQ(o.CommandLine + strspn(o.CommandLine, " "), c.rest) << c.line;
    EXPECT_EQ(c.field(o), c.want) << c.line;
  }
}

TEST(CommandLine, AssemblyCutsTheEmbeddedTextAndTheWhole) {
  const std::string tildes(512, '~'), wide(600, 'e'), huge(2000, 'u');
  const struct { std::string embedded; const char* user; std::string want; } cases[] = {
      {"/P~~~", "a", "/P a"}, {"/P ~~", "a", "/P a"}, {tildes, "a", "a"}, {"/P", "", "/P"},
      {"/P", nullptr, "/P"}, {wide, "", wide.substr(0, 511)},
      {wide, huge.c_str(), wide.substr(0, 511) + " " + huge.substr(0, 511)},
  };
  for (const auto& c : cases) {
    char text[CommandLineChars];
    AssembleCommandLine(text, c.embedded.c_str(), c.user);
    EXPECT_EQ(text, c.want) << c.embedded.substr(0, 8);
  }
}

TEST(CommandLine, FractionsReduceAndSaturate) {
  const struct { const char* text; int32_t num; uint32_t den; size_t used; } cases[] = {
      {"29.97", 2997, 100, 5}, {"30;1.001", 30000, 1001, 8}, {"-2", -2, 1, 2}, {"-1.5", -3, 2, 4},
      {"30;0", 30, 1, 4}, {"30;x", 30, 1, 2}, {"0.00", 0, 100, 4}, {"99999999999999999999999", INT32_MAX, 1, 23},
      {"4294967296;2", INT32_MAX, 1, 12}, {"-6;4", -3, 2, 4},
  };
  int32_t num = 0;
  uint32_t den = 0;
  for (const auto& c : cases) {
    size_t used = static_cast<size_t>(ParseFraction(c.text, &num, &den) - c.text);
    EXPECT_EQ(std::tie(used, num, den), std::tie(c.used, c.num, c.den)) << c.text;
  }
  ParseFraction("0.333333333333333333333333", &num, &den);
  EXPECT_NEAR(static_cast<double>(num) / den, 1.0 / 3, 1e-8);
}

// In-place edits: cancel switches, and taking a file name (shown as "name|rest").
TEST(CommandLine, CancelsAndFileNamesEditTheText) {
  auto takeName = [](char* text) {
    char name[32];
    TakeNextFileName(name, sizeof name, text);
    snprintf(name + strlen(name), sizeof name - strlen(name), "|%s", std::string(text).c_str());
    strcpy(text, name);
  };
  const struct { void (*edit)(char*); const char *line, *want; } cases[] = {
      {CancelSwitches, "/P a /-P", " a "}, {CancelSwitches, "/F29.97/-f a", " a"},
      {CancelSwitches, "/p /-P /P a", "  /P a"}, {CancelSwitches, "/L3 /Pa/-p b", "/L3  b"},
      {CancelSwitches, "a /-", "a "}, {CancelSwitches, "/P /-Q", "/P "},
      {CancelSwitches, "\"/p/-p\" /-P", "\"/p/-p\" "},
      {takeName, "  a.vxa  b c ", "a.vxa|b c"}, {takeName, "\"my clip.vxa\"b", "my clip.vxa|b"},
      {takeName, "\"open b", "\"open|b"}, {takeName, "\" x \"", "x|"}, {takeName, " ", "|"},
  };
  for (const auto& c : cases) {
    char text[32];
    snprintf(text, sizeof text, "%s", c.line);
    c.edit(text);
    EXPECT_STREQ(text, c.want) << c.line;
  }
  EXPECT_TRUE(CommandLineNeedsHelp(" \t") && CommandLineNeedsHelp("a /P") && !CommandLineNeedsHelp("a") &&
              !CommandLineNeedsHelp("\"/d/a\""));
  EXPECT_EQ(std::string(PlayerHelpText).find("Vexa Video Player 1.9h\n  SYNTAX: VexaPlay "), 0u);
  EXPECT_STREQ(PlayerHelpTitle, "Vexa Video Player Help");
}

}  // namespace
