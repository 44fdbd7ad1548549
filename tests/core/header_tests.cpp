// Header acceptance and the frame index scan: every rule at its limit and one past it.
#include <gtest/gtest.h>

#include <vector>

#include "core/movie_header.h"

namespace {

const char* const kNotVexa = "Not a Vexa file.";
const char* const kCorrupt = "The file has a corrupt header.";
const char* const kNoFrames = "The file doesn't contain any compressed frames yet.";

struct HeaderCase {
  const char* what;
  void (*edit)(MovieHeader*);
  const char* error;  // null: accepted
};
const HeaderCase kHeaderCases[] = {
    {"version f", [](MovieHeader* h) { h->Version = 'f'; }, nullptr},
    {"version e", [](MovieHeader* h) { h->Version = 'e'; }, kNotVexa},
    {"version j", [](MovieHeader* h) { h->Version = 'j'; }, kNotVexa},
    {"version I", [](MovieHeader* h) { h->Version = 'I'; }, kNotVexa},
    {"magic", [](MovieHeader* h) { h->Magic[1] = 'Y'; }, kNotVexa},
    {"no frames before any limit", [](MovieHeader* h) { h->Frames = 0, h->Width = 99999; },
     kNoFrames},
    {"1000000 entries", [](MovieHeader* h) { h->IndexEntries = 1000000; }, nullptr},
    {"1000001 entries", [](MovieHeader* h) { h->IndexEntries = 1000001; }, kCorrupt},
    {"fewer entries than frames", [](MovieHeader* h) { h->IndexEntries = 9; }, kCorrupt},
    {"256 tracks", [](MovieHeader* h) { h->NumTracks = 256; }, nullptr},
    {"257 tracks", [](MovieHeader* h) { h->NumTracks = 257; }, kCorrupt},
    {"width 32767", [](MovieHeader* h) { h->Width = 32767; }, nullptr},
    {"width 32768", [](MovieHeader* h) { h->Width = 32768; }, kCorrupt},
    {"height 32767", [](MovieHeader* h) { h->Height = 32767; }, nullptr},
    {"height 32768", [](MovieHeader* h) { h->Height = 32768; }, kCorrupt},
    {"no frame rate", [](MovieHeader* h) { h->FrameRate = 0; }, kCorrupt},
    {"no frame rate divisor", [](MovieHeader* h) { h->FrameRateDiv = 0; }, kCorrupt},
    {"largest frame the file size", [](MovieHeader* h) { h->LargestFrameSize = 100000000; },
     nullptr},
    {"largest frame past the file", [](MovieHeader* h) { h->LargestFrameSize = 100000001; },
     kCorrupt},
    // (tracks + 1) x entries x 4 bytes of tables must fit the file.
    {"tables fill the file", [](MovieHeader* h) { h->NumTracks = 3, h->FileSizeLess8 = 160000; },
     nullptr},
    {"tables past the file", [](MovieHeader* h) { h->NumTracks = 3, h->FileSizeLess8 = 159999; },
     kCorrupt},
};

TEST(MovieHeader, LimitsAreAcceptedAndOnePastIsRefused) {
  for (const HeaderCase& c : kHeaderCases) {
    MovieHeader h{};
    h.Magic[0] = 'V', h.Magic[1] = 'X', h.Magic[2] = 'A', h.Version = 'i';
    h.FileSizeLess8 = 100000000, h.LargestFrameSize = 100;
    h.Frames = 10, h.IndexEntries = 10000;
    h.Width = 320, h.Height = 240, h.FrameRate = 25, h.FrameRateDiv = 1;
    c.edit(&h);
    if (c.error)
      EXPECT_STREQ(MovieCheckHeader(&h), c.error) << c.what;
    else
      EXPECT_EQ(MovieCheckHeader(&h), nullptr) << c.what;
  }
}

TEST(MovieHeader, VersionFlagsAndRoundedFramesPerSecond) {
  EXPECT_EQ(MovieVersionFlags('f'), MovieFlagPreI | MovieFlagSwapUV);
  EXPECT_EQ(MovieVersionFlags('g'), MovieFlagPreI | MovieFlagSwapUV);
  EXPECT_EQ(MovieVersionFlags('h'), MovieFlagPreI);
  EXPECT_EQ(MovieVersionFlags('i'), 0u);
  EXPECT_EQ(MovieRoundedFps(30000, 1001), 30u);
  EXPECT_EQ(MovieRoundedFps(25, 2), 13u);  // 12.5 rounds up
  EXPECT_EQ(MovieRoundedFps(1, 10), 1u);   // at least one
  EXPECT_EQ(MovieRoundedFps(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
}

// Index entries are frame offsets with the key bit in bit 0; slots past the frames are unchecked.
// A window's bytes are the difference of its entries; a movie shorter than the window counts by
// proportion.
struct IndexCase {
  const char* what;
  std::vector<uint32_t> entries;
  uint32_t frames, window, length, largest;
  int ok;
  FrameIndexScan scan;  // PeakSecondBytes, PeakSecondFrame, AllKeyFrames when ok
};
const IndexCase kIndexCases[] = {
    {"repeated offset", {1000, 2000, 2000, 3000}, 3, 1, 1u << 30, 1u << 30, 0, {}},
    {"backwards", {5000, 4000, 6000}, 2, 1, 1u << 30, 1u << 30, 0, {}},
    {"only the key bit differs", {1000, 1001, 3000}, 2, 25, 1u << 30, 1u << 30, 1, {25000, 0, 0}},
    {"spare slots", {100, 200, 300, 0, 0}, 2, 1, 1u << 30, 1u << 30, 1, {100, 0, 0}},
    {"window longer than the movie", {1000, 11000, 21000}, 2, 25, 1u << 30, 1u << 30, 1,
     {250000, 0, 0}},
    {"first of equal peaks", {0, 10, 60, 70, 120, 130, 140}, 6, 2, 140, 50, 1, {60, 0, 0}},
    {"later peak", {0, 10, 20, 90, 100, 110}, 5, 2, 110, 70, 1, {80, 1, 0}},
    {"all key frames", {1, 11, 21, 30}, 3, 1, 30, 10, 1, {10, 0, 1}},
    {"not all key frames", {1, 10, 21, 30}, 3, 1, 30, 11, 1, {11, 1, 0}},
    {"end at the file's end", {100, 200, 300}, 2, 1, 300, 100, 1, {100, 0, 0}},
    {"end past the file", {100, 200, 300}, 2, 1, 299, 100, 0, {}},
    {"frame past the largest", {100, 200, 300}, 2, 1, 300, 99, 0, {}},
};

TEST(MovieFrameIndex, ScanChecksOrderAndSizesAndFindsThePeakSecond) {
  for (const IndexCase& c : kIndexCases) {
    SCOPED_TRACE(c.what);
    FrameIndexScan scan{};
    ASSERT_EQ(MovieScanFrameIndex(c.entries.data(), c.frames, c.window, c.length, c.largest,
                                  &scan),
              c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(scan.PeakSecondBytes, c.scan.PeakSecondBytes);
    EXPECT_EQ(scan.PeakSecondFrame, c.scan.PeakSecondFrame);
    EXPECT_EQ(scan.AllKeyFrames, c.scan.AllKeyFrames);
  }
}

TEST(MovieFrameIndex, LocatesFramesOneBasedWithZeroAsOne) {
  const uint32_t e[] = {101, 200, 351};
  auto fields = [&](uint32_t frame) {
    FrameLocation at = MovieLocateFrame(e, frame);
    return std::vector<uint32_t>{at.Offset, at.Bytes, at.IsKey};
  };
  EXPECT_EQ(fields(0), (std::vector<uint32_t>{100, 100, 1}));
  EXPECT_EQ(fields(2), (std::vector<uint32_t>{200, 150, 0}));
}

}  // namespace
