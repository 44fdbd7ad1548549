// Header acceptance and the frame index scan: every rule at its limit and one past it.
#include <gtest/gtest.h>

#include <vector>

#include "core/movie_header.h"

namespace {

// One field of a valid header changed: accepted (no error) or refused with the error's text.
struct HeaderCase {
  uint32_t MovieHeader::*field;
  uint32_t value;
  const char* error;
};
const char* const kCorrupt = kMovieErrorCorruptHeader;
const HeaderCase kHeaderCases[] = {
    // Before any limit: the width is out of range too.
    {&MovieHeader::Frames, 0, kMovieErrorNoFrames},
    {&MovieHeader::IndexEntries, 1000000, nullptr}, {&MovieHeader::IndexEntries, 1000001, kCorrupt},
    {&MovieHeader::IndexEntries, 9, kCorrupt},  // fewer than the frames
    {&MovieHeader::NumTracks, 256, nullptr},        {&MovieHeader::NumTracks, 257, kCorrupt},
    {&MovieHeader::Width, 32767, nullptr},          {&MovieHeader::Width, 32768, kCorrupt},
    {&MovieHeader::Height, 32767, nullptr},         {&MovieHeader::Height, 32768, kCorrupt},
    {&MovieHeader::FrameRate, 0, kCorrupt},         {&MovieHeader::FrameRateDiv, 0, kCorrupt},
    {&MovieHeader::LargestFrameSize, 100000000, nullptr},  // the file's size
    {&MovieHeader::LargestFrameSize, 100000001, kCorrupt},
    // (tracks + 1) x entries x 4 bytes of tables must fit the file: 5 x 10000 x 4.
    {&MovieHeader::FileSizeLess8, 200000, nullptr}, {&MovieHeader::FileSizeLess8, 199999, kCorrupt},
};

MovieHeader ValidHeader(char version) {
  MovieHeader h{};
  h.Magic[0] = 'V', h.Magic[1] = 'X', h.Magic[2] = 'A', h.Version = version;
  h.FileSizeLess8 = 100000000, h.LargestFrameSize = 100, h.Frames = 10, h.IndexEntries = 10000;
  h.NumTracks = 4, h.Width = 320, h.Height = 240, h.FrameRate = 25, h.FrameRateDiv = 1;
  return h;
}

TEST(MovieHeader, LimitsAreAcceptedAndOnePastIsRefused) {
  for (const HeaderCase& c : kHeaderCases) {
    MovieHeader h = ValidHeader('i');
    h.*c.field = c.value;
    if (c.field == &MovieHeader::Frames) h.Width = 99999;
    EXPECT_STREQ(MovieCheckHeader(&h), c.error) << c.value;
  }
  for (char v : {'f', 'i', 'e', 'j', 'I'}) {
    MovieHeader h = ValidHeader(v);
    EXPECT_EQ(MovieCheckHeader(&h) == nullptr, v == 'f' || v == 'i') << v;
  }
  MovieHeader h = ValidHeader('i');
  h.Magic[1] = 'Y';
  EXPECT_STREQ(MovieCheckHeader(&h), kMovieErrorNotVexa);
}

// Index entries are frame offsets with the key bit in bit 0; slots past the frames are unchecked.
// A window's bytes are the difference of its entries; a movie shorter than the window counts by
// proportion. Expected: peak window bytes, its first frame, all key frames; none when refused.
constexpr uint32_t kAny = 1u << 30;
struct IndexCase {
  const char* what;
  std::vector<uint32_t> entries;
  uint32_t frames, window, length, largest;
  std::vector<uint32_t> scan;
};
const IndexCase kIndexCases[] = {
    {"repeated offset", {1000, 2000, 2000, 3000}, 3, 1, kAny, kAny, {}},
    {"backwards", {5000, 4000, 6000}, 2, 1, kAny, kAny, {}},
    {"only the key bit differs", {1000, 1001, 3000}, 2, 25, kAny, kAny, {25000, 0, 0}},
    {"spare slots", {100, 200, 300, 0, 0}, 2, 1, kAny, kAny, {100, 0, 0}},
    {"window longer than the movie", {1000, 11000, 21000}, 2, 25, kAny, kAny, {250000, 0, 0}},
    {"first of equal peaks", {0, 10, 60, 70, 120, 130, 140}, 6, 2, 140, 50, {60, 0, 0}},
    {"later peak", {0, 10, 20, 90, 100, 110}, 5, 2, 110, 70, {80, 1, 0}},
    {"all key frames", {1, 11, 21, 30}, 3, 1, 30, 10, {10, 0, 1}},
    {"not all key frames", {1, 10, 21, 30}, 3, 1, 30, 11, {11, 1, 0}},
    {"end at the file's end", {100, 200, 300}, 2, 1, 300, 100, {100, 0, 0}},
    {"end past the file", {100, 200, 300}, 2, 1, 299, 100, {}},
    {"frame past the largest", {100, 200, 300}, 2, 1, 300, 99, {}},
};

TEST(MovieFrameIndex, ScanChecksOrderAndSizesAndFindsThePeakSecond) {
  for (const IndexCase& c : kIndexCases) {
    FrameIndexScan s{};
    std::vector<uint32_t> scan;
    if (MovieScanFrameIndex(c.entries.data(), c.frames, c.window, c.length, c.largest, &s))
      scan = {s.PeakSecondBytes, s.PeakSecondFrame, s.AllKeyFrames};
    EXPECT_EQ(scan, c.scan) << c.what;
  }
}

}  // namespace
