#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <tuple>

#include "tests/player/fake_host.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t Frames = 8, FrameMs = 100;  // 10 frames a second

std::string MakeMovie(const std::string& name, uint32_t cut = 0) {
  TestMovieShape shape;
  shape.Config.Width = 64, shape.Config.Height = 48, shape.Config.FrameRate = 10;
  shape.Frames = Frames;
  std::vector<uint8_t> image = TestMakeMovie(shape);
  image.resize(image.size() - cut);
  return TestWriteFile(name, image);
}

struct Window {  // movie frames blitted from FromMs up to ToMs
  uint32_t FromMs, ToMs, Blits;
};

struct Scenario {
  const char* Name;
  uint32_t Files, LoopCount, Disabled;
  bool KeepPlaying;
  std::vector<ScriptEvent> Script;
  uint32_t Plays, MovieBlits;
  int32_t LogoMs;                       // time from the first logo blit to the end; -1: no logo
  std::vector<Window> Windows;
};

struct Run {
  FakeHost Host;
  int Exit = 0;
  uint32_t MovieBlits() const {
    return uint32_t(std::count_if(Host.Blits.begin(), Host.Blits.end(), [](auto& b) { return !b.Logo; }));
  }
  int32_t LogoMs() const {
    for (const Blit& b : Host.Blits)
      if (b.Logo) return Host.DestroyedAtMs - int32_t(b.AtMs);
    return -1;
  }
};

std::unique_ptr<Run> Play(const std::string& files, uint32_t loops, uint32_t disabled, bool keep,
                          std::vector<ScriptEvent> script, uint32_t oversleep = 0) {
  auto run = std::make_unique<Run>();
  PlayOptions options{};
  std::snprintf(options.CommandLine, sizeof options.CommandLine, "%s", files.c_str());
  options.LoopCount = loops, options.ListLoopCount = 1, options.DisabledControls = disabled;
  options.KeepPlayingUnfocused = keep, options.SurfaceFlags = 2;
  options.FrameRate = options.FrameRateDiv = options.IoBufferSize = OptionNotGiven;
  options.WindowX = options.WindowY = CentreMarker;
  options.ScreenWidth = 1920, options.ScreenHeight = 1080;
  PlayerState player{};
  player.Host = &FakePlayerHost, player.Options = &options;
  run->Host.Script = std::move(script);
  run->Host.OversleepMs = oversleep;
  FakeHostBegin(&run->Host);
  run->Exit = PlayerRun(&player);
  FakeHostEnd();
  return run;
}

std::string Names(uint32_t files) {
  std::string list;
  for (uint32_t i = 0; i < files; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "m%u.vxa", i);
    list.append(MakeMovie(name)).append(" ");
  }
  return list;
}

// Every exit gives back the timer period once, every surface and every movie block.
void ExpectAllClosed(const Run& r) {
  EXPECT_EQ(std::tie(r.Host.TimerBegun, r.Host.TimerEnded, r.Host.LiveDibs, r.Host.LiveBlocks),
            std::make_tuple(1u, 1u, 0, 0));
}

constexpr uint32_t Esc = 27, Space = 32, Enter = 13;

const Scenario Scenarios[] = {
    {"ListTwice", 3, 2, 0, false, {}, 6, 6 * Frames, LogoShowMs, {}},
    {"OneFileTwiceThenLogo", 1, 2, 0, false, {}, 1, 2 * Frames, LogoShowMs, {}},
    {"EscapeShowsLogo", 1, 1, 0, false, {{250, Esc}}, 1, 3, LogoShowMs, {}},
    {"SecondEscapeEndsAtOnce", 1, 1, 0, false, {{250, Esc}, {1000, Esc}}, 1, 3, 750, {}},
    {"QuitKeyDisabled", 1, 1, 4, false, {{250, Esc}}, 1, Frames, LogoShowMs, {}},
    {"SkipEndsFile", 2, 1, 0, false, {{250, '.'}}, 2, 3 + Frames, LogoShowMs, {}},
    {"SkipIgnoredDuringLogo", 1, 1, 0, false, {{1000, '.'}}, 1, Frames, LogoShowMs, {}},
    {"PauseAndStepOneFrame", 1, 1, 0, false, {{250, Space}, {600, Enter}, {1000, Enter}, {1400, Space}},
     1, Frames, LogoShowMs, {{260, 600, 0}, {600, 1000, 1}, {1000, 1400, 1}}},
    {"PauseKeysDisabled", 1, 1, 1, false, {{250, Space}, {600, Enter}}, 1, Frames, LogoShowMs,
     {{260, 600, 3}}},
    {"FocusLossPauses", 1, 1, 0, false, {{250, FocusLost}, {1000, FocusGained}}, 1, Frames,
     LogoShowMs, {{260, 1000, 0}}},
    {"KeepPlayingUnfocused", 1, 1, 0, true, {{250, FocusLost}}, 1, Frames, LogoShowMs,
     {{260, 600, 3}}},
    {"FocusRestoresUserPause", 1, 1, 0, false,
     {{250, Space}, {400, FocusLost}, {600, FocusGained}, {1000, Space}}, 1, Frames, LogoShowMs,
     {{260, 1000, 0}}},
};

// ctest lists the scenarios by name rather than by their bytes.
void PrintTo(const Scenario& s, std::ostream* out) { *out << s.Name; }

class MainLoop : public testing::TestWithParam<Scenario> {};

TEST_P(MainLoop, PlaysAsScripted) {
  const Scenario& s = GetParam();
  auto r = Play(Names(s.Files), s.LoopCount, s.Disabled, s.KeepPlaying, s.Script);
  EXPECT_EQ(r->Exit, 0);
  EXPECT_EQ(r->Host.Titles, s.Plays);
  EXPECT_EQ(r->MovieBlits(), s.MovieBlits);
  EXPECT_NEAR(r->LogoMs(), s.LogoMs, FrameMs);
  for (const Window& w : s.Windows)
    EXPECT_EQ(std::count_if(r->Host.Blits.begin(), r->Host.Blits.end(),
                            [&](auto& b) { return !b.Logo && b.AtMs >= w.FromMs && b.AtMs < w.ToMs; }),
              w.Blits) << w.FromMs;
  ExpectAllClosed(*r);
}

INSTANTIATE_TEST_SUITE_P(, MainLoop, testing::ValuesIn(Scenarios), [](auto& i) { return i.param.Name; });

// A file cut short ends where its data ends, even when it should loop endlessly.
TEST(MainLoopFile, ReadErrorEndsFile) {
  auto r = Play(MakeMovie("cut.vxa", 300), 0, 0, false, {});
  EXPECT_LT(r->Host.Pumps, 20000u);
  EXPECT_LT(r->MovieBlits(), Frames);
  EXPECT_NEAR(r->LogoMs(), LogoShowMs, FrameMs);
  ExpectAllClosed(*r);
}

TEST(MainLoopFile, OpenErrorClosesEverything) {
  auto r = Play(Names(1).append("missing.vxa"), 1, 0, false, {});
  EXPECT_EQ(r->Exit, 1);
  ASSERT_EQ(r->Host.Messages.size(), 1u);
  ExpectAllClosed(*r);
}

// The pictures shown are the decoded frames, also when late copies were dropped in between.
TEST(MainLoopFile, ShowsDecodedPictures) {
  const std::string name = MakeMovie("pictures.vxa");
  std::vector<uint64_t> expected;
  Movie* m = MovieOpen(name.c_str(), 0);
  ASSERT_TRUE(m);
  std::vector<uint8_t> picture(64 * 48 * 4);
  for (uint32_t k = 0; k < Frames; ++k) {
    MovieFrameBegin(m, 0), MovieDecodeFrame(m, DecodeAll), MovieFrameEnd(m, 0);
    MovieCopyToSurface(m, picture.data(), 256, 48, 0, 0, 0, 0, 64, 48, SurfaceBGRX32 | CopyAll);
    expected.push_back(PictureHash(picture.data(), 256, 256, 48));
    MovieNextFrame(m);
  }
  MovieClose(m);
  for (uint32_t oversleep : {0u, 130u}) {
    auto r = Play(name, 1, 0, false, {}, oversleep);
    ASSERT_GT(r->MovieBlits(), 1u);
    for (const Blit& b : r->Host.Blits)
      EXPECT_TRUE(b.Logo || std::count(expected.begin(), expected.end(), b.PictureHash));
    EXPECT_EQ(r->Host.Blits[r->MovieBlits() - 1].PictureHash, expected.back());
  }
}

TEST(MainLoopIdle, CarriesOversleepDownToFloor) {
  const struct {
    int32_t Before;
    uint32_t Oversleep;
    int32_t After;
  } cases[] = {{5, 0, 0}, {25, 0, 0}, {5, 3, -3}, {3, 99, -99}, {10, 500, -100}};
  for (const auto& c : cases) {
    FakeHost host;
    host.OversleepMs = c.Oversleep;
    PlayerState p{};
    p.Host = &FakePlayerHost, p.IdleCount = c.Before;
    FakeHostBegin(&host);
    IdleSleep(&p);
    FakeHostEnd();
    EXPECT_EQ(p.IdleCount, c.After) << c.Before << " " << c.Oversleep;
  }
}

}  // namespace
