// Header acceptance and the frame index scan: every rule at its limit and one past it.
#include <gtest/gtest.h>

#include "core/movie_header.h"
#include "tests/support/test_support.h"

namespace {

MovieHeader ValidHeader() {
  MovieHeader h{};
  h.Magic[0] = 'V', h.Magic[1] = 'X', h.Magic[2] = 'A', h.Version = 'i';
  h.FileSizeLess8 = 100000000;
  h.Frames = 10;
  h.LargestFrameSize = 5000;
  h.IndexEntries = 10;
  h.Width = 320;
  h.Height = 240;
  h.FrameRate = 25;
  h.FrameRateDiv = 1;
  return h;
}

const char* Check(void (*edit)(MovieHeader*)) {
  MovieHeader h = ValidHeader();
  edit(&h);
  return MovieCheckHeader(&h);
}

TEST(MovieHeader, AcceptsEveryVersionLetterFromFToI) {
  for (char v : {'f', 'g', 'h', 'i'}) {
    MovieHeader h = ValidHeader();
    h.Version = v;
    EXPECT_EQ(MovieCheckHeader(&h), nullptr) << v;
  }
  for (char v : {'e', 'j', 'I', '\0'}) {
    MovieHeader h = ValidHeader();
    h.Version = v;
    EXPECT_STREQ(MovieCheckHeader(&h), "Not a Vexa file.") << int(v);
  }
  EXPECT_STREQ(Check([](MovieHeader* h) { h->Magic[1] = 'Y'; }), "Not a Vexa file.");
}

TEST(MovieHeader, ZeroFramesIsReportedBeforeAnyLimit) {
  EXPECT_STREQ(Check([](MovieHeader* h) {
                 h->Frames = 0;
                 h->Width = 99999;
                 h->FrameRate = 0;
               }),
               "The file doesn't contain any compressed frames yet.");
}

TEST(MovieHeader, LimitsAreAcceptedAndOnePastIsCorrupt) {
  const char* corrupt = "The file has a corrupt header.";
  EXPECT_EQ(Check([](MovieHeader* h) { h->IndexEntries = 1000000; }), nullptr);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->IndexEntries = 1000001; }), corrupt);
  EXPECT_EQ(Check([](MovieHeader* h) { h->NumTracks = 256; }), nullptr);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->NumTracks = 257; }), corrupt);
  EXPECT_EQ(Check([](MovieHeader* h) { h->Width = 32767; }), nullptr);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->Width = 32768; }), corrupt);
  EXPECT_EQ(Check([](MovieHeader* h) { h->Height = 32767; }), nullptr);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->Height = 32768; }), corrupt);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->IndexEntries = 9; }), corrupt);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->FrameRate = 0; }), corrupt);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->FrameRateDiv = 0; }), corrupt);
  EXPECT_EQ(Check([](MovieHeader* h) { h->LargestFrameSize = h->FileSizeLess8; }), nullptr);
  EXPECT_STREQ(Check([](MovieHeader* h) { h->LargestFrameSize = h->FileSizeLess8 + 1; }), corrupt);
}

TEST(MovieHeader, TablesMustFitTheFileSize) {
  // (tracks + 1) x entries x 4 <= FileSizeLess8, at the limit and one byte short of it.
  EXPECT_EQ(Check([](MovieHeader* h) {
              h->NumTracks = 3;
              h->IndexEntries = 1000;
              h->FileSizeLess8 = 16000;
              h->LargestFrameSize = 100;
            }),
            nullptr);
  EXPECT_STREQ(Check([](MovieHeader* h) {
                 h->NumTracks = 3;
                 h->IndexEntries = 1000;
                 h->FileSizeLess8 = 15999;
                 h->LargestFrameSize = 100;
               }),
               "The file has a corrupt header.");
}

TEST(MovieHeader, VersionLettersSetTheDecoderFlags) {
  EXPECT_EQ(MovieVersionFlags('f'), MovieFlagPreI | MovieFlagSwapUV);
  EXPECT_EQ(MovieVersionFlags('g'), MovieFlagPreI | MovieFlagSwapUV);
  EXPECT_EQ(MovieVersionFlags('h'), MovieFlagPreI);
  EXPECT_EQ(MovieVersionFlags('i'), 0u);
}

TEST(MovieHeader, RoundedFramesPerSecondIsAtLeastOne) {
  EXPECT_EQ(MovieRoundedFps(30000, 1001), 30u);
  EXPECT_EQ(MovieRoundedFps(25, 2), 13u);  // 12.5 rounds up
  EXPECT_EQ(MovieRoundedFps(1, 10), 1u);
  EXPECT_EQ(MovieRoundedFps(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
}

struct Index {
  std::vector<uint32_t> e;
  FrameIndexScan scan{};
  int Scan(uint32_t frames, uint32_t window, uint64_t length = 1u << 30, uint32_t largest = 1u << 30) {
    return MovieScanFrameIndex(e.data(), frames, window, length, largest, &scan);
  }
};

TEST(MovieFrameIndex, EntriesMustIncreaseIncludingTheKeyBit) {
  Index ix{{1000, 2000, 2000, 3000}};
  EXPECT_EQ(ix.Scan(3, 1), 0);
  Index keyOnly{{1000, 1001, 3000}};  // 1000 -> 1001 differs only by the key bit
  EXPECT_EQ(keyOnly.Scan(2, 1), 1);   // the empty frame passes: only the order is checked
  Index backwards{{5000, 4000, 6000}};
  EXPECT_EQ(backwards.Scan(2, 1), 0);
}

TEST(MovieFrameIndex, SlotsAfterTheStoredFramesAreNotChecked) {
  Index ix{{100, 200, 300, 0, 0}};
  EXPECT_EQ(ix.Scan(2, 1), 1);
}

TEST(MovieFrameIndex, PeakByProportionWhenFewerFramesThanOneSecond) {
  Index ix;
  for (uint32_t k = 0; k <= 10; ++k) ix.e.push_back(1000 + k * 10000);
  ASSERT_EQ(ix.Scan(10, 25), 1);
  EXPECT_EQ(ix.scan.PeakSecondBytes, 250000u);
  EXPECT_EQ(ix.scan.PeakSecondFrame, 0u);
}

TEST(MovieFrameIndex, PeakWindowKeepsTheFirstLargest) {
  // Frame sizes 10, 50, 10, 50, 10, 10 with a two-frame window: windows 60, 60, 60, 60, 20.
  Index ix{{0, 10, 60, 70, 120, 130, 140}};
  ASSERT_EQ(ix.Scan(6, 2), 1);
  EXPECT_EQ(ix.scan.PeakSecondBytes, 60u);
  EXPECT_EQ(ix.scan.PeakSecondFrame, 0u);
  Index later{{0, 10, 20, 90, 100, 110}};  // windows 20, 80, 80: the first 80 starts at frame 1
  ASSERT_EQ(later.Scan(5, 2), 1);
  EXPECT_EQ(later.scan.PeakSecondBytes, 80u);
  EXPECT_EQ(later.scan.PeakSecondFrame, 1u);
}

TEST(MovieFrameIndex, AllKeyFramesIsTheAndOfTheStoredFramesKeyBits) {
  Index all{{1, 11, 21, 30}};
  ASSERT_EQ(all.Scan(3, 1), 1);
  EXPECT_EQ(all.scan.AllKeyFrames, 1u);
  Index some{{1, 10, 21, 30}};
  ASSERT_EQ(some.Scan(3, 1), 1);
  EXPECT_EQ(some.scan.AllKeyFrames, 0u);
}

TEST(MovieFrameIndex, RefusesFramesBeyondTheFileOrLargerThanTheLargestFrame) {
  Index ix{{100, 200, 300}};
  EXPECT_EQ(ix.Scan(2, 1, 300, 100), 1);
  EXPECT_EQ(ix.Scan(2, 1, 299, 100), 0);  // the last frame ends past the file
  EXPECT_EQ(ix.Scan(2, 1, 300, 99), 0);   // a frame larger than the frame buffer
}

TEST(MovieFrameIndex, LocatesFramesOneBasedWithZeroAsOne) {
  std::vector<uint32_t> e = {101, 200, 351};
  FrameLocation first = MovieLocateFrame(e.data(), 0);
  EXPECT_EQ(first.Offset, 100u);
  EXPECT_EQ(first.Bytes, 100u);
  EXPECT_EQ(first.IsKey, 1u);
  FrameLocation second = MovieLocateFrame(e.data(), 2);
  EXPECT_EQ(second.Offset, 200u);
  EXPECT_EQ(second.Bytes, 150u);
  EXPECT_EQ(second.IsKey, 0u);
}

}  // namespace
