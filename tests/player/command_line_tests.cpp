#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/command_line.h"
#include "player/quick_play_defaults.h"
#include "surface/surface_flags.h"
#include "vexa/copy.h"
#include "vexa/movie.h"

namespace {

// The fake store answers only under the real names, so a wrong name loses the defaults.
const char* registryValue = nullptr;
int FakeProfile(const char* section, const char* key, char* out, uint32_t capacity) {
  if (strcmp(section, "Corvane") != 0 || strcmp(key, "VexaQuickPlay") != 0) return 0;
  return snprintf(out, capacity, "b /S") > 0;
}
int FakeRegistry(const char* path, const char* value, char* out, uint32_t capacity) {
  if (registryValue == nullptr || strcmp(path, "Software\\Ostrel\\Corvane") != 0 ||
      strcmp(value, "VexaQuickPlay") != 0)
    return 0;
  return snprintf(out, capacity, "%s", registryValue) > 0;
}
const QuickPlayReader fakeReader = {FakeProfile, FakeRegistry};

std::string Trimmed(const char* text) {
  std::string s(text);
  s.erase(0, s.find_first_not_of(' '));
  return s.erase(s.find_last_not_of(' ') + 1);
}

PlayOptions Parse(const char* line, int64_t screenSaverMode = 0) {
  PlayOptions o{};
  o.ScreenSaverMode = screenSaverMode;
  snprintf(o.CommandLine, sizeof o.CommandLine, "%s", line);
  ParseCommandLine(&o, &fakeReader, 1920, 1080);
  return o;
}

#define FIELD(f) [](const PlayOptions& o) { return static_cast<int64_t>(o.f); }
struct ParseCase {
  const char* line;
  const char* rest;
  int64_t (*field)(const PlayOptions&);
  int64_t want;
  int64_t screenSaverMode = 0;
};

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
  };
  for (const ParseCase& c : cases) {
    PlayOptions o = Parse(c.line, c.screenSaverMode);
    EXPECT_EQ(Trimmed(o.CommandLine), c.rest) << c.line;
    EXPECT_EQ(c.field(o), c.want) << c.line;
  }
}

TEST(CommandLine, StoredDefaultsFollowTheTextAfterABlankAndTheRegistryWins) {
  registryValue = nullptr;
  PlayOptions o = Parse("a/!");
  EXPECT_EQ(Trimmed(o.CommandLine), "a b");
  EXPECT_TRUE(o.ShowSummary);
  registryValue = "c /Q";
  o = Parse("/! a");
  EXPECT_EQ(Trimmed(o.CommandLine), "a c");
  EXPECT_TRUE(o.ShowStats && !o.ShowSummary);
  std::string longValue(300, 'x');
  registryValue = longValue.c_str();
  EXPECT_EQ(strlen(Parse("/!").CommandLine), QuickPlayMaxChars);
  registryValue = nullptr;
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

TEST(CommandLine, CancelRemovesEarlierSwitchesWithTheirArguments) {
  const struct { const char* line; const char* want; } cases[] = {
      {"/P a /-P", " a "}, {"/F29.97/-f a", " a"}, {"/p /-P /P a", "  /P a"},
      {"/L3 /Pa/-p b", "/L3  b"}, {"a /-", "a "}, {"/P /-Q", "/P "},
  };
  for (const auto& c : cases) {
    char text[64];
    snprintf(text, sizeof text, "%s", c.line);
    CancelSwitches(text);
    EXPECT_STREQ(text, c.want) << c.line;
  }
}

TEST(CommandLine, FractionsReduceAndSaturate) {
  const struct { const char* text; int32_t num; uint32_t den; size_t used; } cases[] = {
      {"29.97", 2997, 100, 5}, {"30;1.001", 30000, 1001, 8}, {"-2", -2, 1, 2}, {"-1.5", -3, 2, 4},
      {"30;0", 30, 1, 4}, {"30;x", 30, 1, 2}, {"0.00", 0, 100, 4}, {"99999999999999999999999", INT32_MAX, 1, 23},
      {"4294967296;2", INT32_MAX, 1, 12}, {"-6;4", -3, 2, 4},
  };
  for (const auto& c : cases) {
    int32_t num = 0;
    uint32_t den = 0;
    EXPECT_EQ(static_cast<size_t>(ParseFraction(c.text, &num, &den) - c.text), c.used) << c.text;
    EXPECT_EQ(num, c.num) << c.text;
    EXPECT_EQ(den, c.den) << c.text;
  }
  int32_t num;
  uint32_t den;
  ParseFraction("0.333333333333333333333333", &num, &den);
  EXPECT_NEAR(static_cast<double>(num) / den, 1.0 / 3, 1e-8);
}

TEST(CommandLine, FileNamesComeFromTheFront) {
  const struct { const char* list; const char* name; const char* rest; } cases[] = {
      {"  a.vxa  b c ", "a.vxa", "b c"}, {"\"my clip.vxa\"b", "my clip.vxa", "b"},
      {"\"open b", "\"open", "b"}, {"\" x \"", "x", ""}, {" ", "", ""},
  };
  for (const auto& c : cases) {
    char list[32], name[32];
    snprintf(list, sizeof list, "%s", c.list);
    TakeNextFileName(name, sizeof name, list);
    EXPECT_STREQ(name, c.name) << c.list;
    EXPECT_STREQ(list, c.rest) << c.list;
  }
  EXPECT_TRUE(CommandLineNeedsHelp(" \t") && CommandLineNeedsHelp("a /P") && !CommandLineNeedsHelp("a"));
  EXPECT_EQ(std::string(PlayerHelpText).find("Vexa Video Player 1.9h\n  SYNTAX: VexaPlay "), 0u);
  EXPECT_STREQ(PlayerHelpTitle, "Vexa Video Player Help");
}

}  // namespace
