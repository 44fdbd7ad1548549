// The nine value lists: counts, refills, the list readers and fetches from exhausted lists.
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"
#include "video/bundles.h"

namespace {

constexpr uint32_t kWidth = 64;  // eight blocks per row

struct ListsUnderTest {
  std::vector<uint8_t> Storage[VideoBundleCount];
  uint8_t* Buffers[VideoBundleCount];
  VideoBundles Bundles;
  std::vector<uint8_t> Stream;
  uint64_t BitsWritten;  // before the padding to whole words
  VideoBitReader Reader;
};

// Lists over buffers pre-filled with `fill` (standing for what earlier rows left there), and a
// reader over the stream that follows the identity trees.
void Start(ListsUnderTest* t, TestBitWriter* w, uint32_t width = kWidth, uint8_t fill = 0,
           uint32_t oldColours = 0) {
  uint64_t sizes[VideoBundleCount];
  VideoBundleBufferSizes(width, sizes);
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    t->Storage[i].assign(sizes[i], fill);
    t->Buffers[i] = t->Storage[i].data();
  }
  VideoBundlesInit(&t->Bundles, t->Buffers, width, oldColours);
  t->BitsWritten = TestBitCount(w);
  t->Stream = TestFinish(w);
  VideoBitReaderInit(&t->Reader, t->Stream.data(), t->Stream.size(), 0);
  VideoReadBundleTrees(&t->Bundles, &t->Reader);
}

uint64_t BitsRead(const VideoBitReader* r) { return r->Pos * 8 - r->BitsLeft; }

void Refill(ListsUnderTest* t) { VideoRefillBundles(&t->Bundles, &t->Reader, t->Stream.size() + 4); }

VideoBundle* List(ListsUnderTest* t, VideoBundleKind kind) { return &t->Bundles.Bundles[kind]; }

TEST(VideoLists, CountWidthsAndCapacitiesFollowThePlaneWidth) {
  uint8_t* none[VideoBundleCount] = {};
  VideoBundles b;
  VideoBundlesInit(&b, none, 64, 0);
  EXPECT_EQ(b.Bundles[VideoBundleBlockTypes].CountBits, 10u);    // log2(8 + 511) + 1
  EXPECT_EQ(b.Bundles[VideoBundleBlockTypes].Capacity, 528u);    // (8 + 527) & ~15
  EXPECT_EQ(b.Bundles[VideoBundleSubBlockTypes].Capacity, 528u);  // (4 + 527) & ~15
  EXPECT_EQ(b.Bundles[VideoBundleColours].CountBits, 10u);        // log2(512 + 511) + 1
  EXPECT_EQ(b.Bundles[VideoBundleColours].Capacity, 1024u);      // (512 + 527) & ~15
  EXPECT_EQ(b.Bundles[VideoBundleDcIntra].Capacity, (16u + 1039u) / 16u * 16u / 2u);
  EXPECT_EQ(b.Bundles[VideoBundleRuns].Capacity, (384u + 527u) & ~15u);
  // Very wide planes: the count is 15 bits wide at most.
  VideoBundlesInit(&b, none, 32768, 0);
  EXPECT_EQ(b.Bundles[VideoBundleColours].CountBits, 15u);
  EXPECT_EQ(b.Bundles[VideoBundleRuns].CountBits, 15u);
  EXPECT_EQ(b.Bundles[VideoBundleBlockTypes].CountBits, 13u);
}

TEST(VideoLists, BufferSizesCoverTheCapacitiesAndTheirSlack) {
  for (uint32_t width : {8u, 100u, 1920u, 32767u}) {
    uint64_t sizes[VideoBundleCount];
    VideoBundleBufferSizes(width, sizes);
    uint8_t* none[VideoBundleCount] = {};
    VideoBundles b;
    VideoBundlesInit(&b, none, (width + 7) / 8 * 8, 0);
    EXPECT_GE(sizes[VideoBundleColours], b.Bundles[VideoBundleColours].Capacity + 63u);
    EXPECT_GE(sizes[VideoBundlePatterns], b.Bundles[VideoBundlePatterns].Capacity + 7u);
    EXPECT_GE(sizes[VideoBundleDcIntra], 2u * b.Bundles[VideoBundleDcIntra].Capacity);
    EXPECT_GE(sizes[VideoBundleRuns], b.Bundles[VideoBundleRuns].Capacity);
  }
}

TEST(VideoLists, CountZeroFinishesTheListForThePlane) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  for (uint32_t k = 0; k < VideoBundleCount; ++k) TestPutBundle(&w, kWidth, VideoBundleKind(k), {});
  TestPutBits(&w, 0x3FF, 10);  // would be a count if the lists were refilled again
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  const uint64_t after = BitsRead(&t.Reader);
  for (uint32_t k = 0; k < VideoBundleCount; ++k) EXPECT_TRUE(VideoBundleEmpty(&t.Bundles.Bundles[k]));
  Refill(&t);
  Refill(&t);
  EXPECT_EQ(BitsRead(&t.Reader), after);
}

TEST(VideoLists, CountAboveCapacityFinishesWithoutReadingValues) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBits(&w, 529, TestBundleCountBits(kWidth, VideoBundleBlockTypes));
  for (uint32_t k = 1; k < VideoBundleCount; ++k) TestPutBundle(&w, kWidth, VideoBundleKind(k), {});
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  EXPECT_TRUE(VideoBundleEmpty(List(&t, VideoBundleBlockTypes)));
  uint64_t expected = 23 * 4;
  for (uint32_t k = 0; k < VideoBundleCount; ++k) {
    expected += TestBundleCountBits(kWidth, VideoBundleKind(k));
  }
  EXPECT_EQ(BitsRead(&t.Reader), expected);
}

TEST(VideoLists, BlockTypeRunsRepeatTheLastType) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBits(&w, 20, TestBundleCountBits(kWidth, VideoBundleBlockTypes));
  TestPutBits(&w, 0, 1);
  for (uint32_t s : {7u, 12u, 2u, 13u, 14u}) TestPutBits(&w, s, 4);  // 7, 4x7, 2, 8x2, 12x2 ...
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  // 1 + 4 + 1 + 8 = 14 values; the run of 12 exceeds the 6 still missing and ends the refill.
  const VideoBundle* types = List(&t, VideoBundleBlockTypes);
  EXPECT_EQ(types->End, 20u);
  const uint8_t expected[14] = {7, 7, 7, 7, 7, 2, 2, 2, 2, 2, 2, 2, 2, 2};
  for (uint32_t i = 0; i < 14; ++i) EXPECT_EQ(types->Buffer[i], expected[i]) << i;
}

TEST(VideoLists, OvershootingRunKeepsTheCountAndTheOldContents) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBits(&w, 6, TestBundleCountBits(kWidth, VideoBundleBlockTypes));
  TestPutBits(&w, 0, 1);
  TestPutBits(&w, 3, 4);
  TestPutBits(&w, 12, 4);  // four more 3s: 5 stored
  TestPutBits(&w, 13, 4);  // eight more: overshoots the one missing value
  TestPutBundle(&w, kWidth, VideoBundleSubBlockTypes, {9});
  ListsUnderTest t;
  Start(&t, &w, kWidth, 0x77);
  Refill(&t);
  const VideoBundle* types = List(&t, VideoBundleBlockTypes);
  EXPECT_EQ(types->End, 6u);
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(types->Buffer[i], 3);
  EXPECT_EQ(types->Buffer[5], 0x77);  // never written
  // The refill of the next list starts right after the overshooting run code.
  EXPECT_EQ(List(&t, VideoBundleSubBlockTypes)->End, 1u);
  EXPECT_EQ(List(&t, VideoBundleSubBlockTypes)->Buffer[0], 9);
}

TEST(VideoLists, FillModeStoresOneValueCountTimes) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBits(&w, 5, TestBundleCountBits(kWidth, VideoBundleBlockTypes));
  TestPutBits(&w, 1, 1);
  TestPutBits(&w, 6, 4);
  TestPutBundle(&w, kWidth, VideoBundleSubBlockTypes, {});
  TestPutBits(&w, 3, TestBundleCountBits(kWidth, VideoBundleColours));
  TestPutBits(&w, 1, 1);
  TestPutBits(&w, 0xC, 4);
  TestPutBits(&w, 0x4, 4);
  TestPutBundle(&w, kWidth, VideoBundlePatterns, {});
  TestPutBits(&w, 4, TestBundleCountBits(kWidth, VideoBundleXOffsets));
  TestPutBits(&w, 1, 1);
  TestPutBits(&w, 9, 4);
  TestPutBits(&w, 1, 1);  // negative
  TestPutBits(&w, 2, TestBundleCountBits(kWidth, VideoBundleYOffsets));
  TestPutBits(&w, 1, 1);
  TestPutBits(&w, 0, 4);  // zero has no sign bit
  TestPutBundle(&w, kWidth, VideoBundleDcIntra, {});
  TestPutBundle(&w, kWidth, VideoBundleDcInter, {});
  TestPutBits(&w, 3, TestBundleCountBits(kWidth, VideoBundleRuns));
  TestPutBits(&w, 1, 1);
  TestPutBits(&w, 11, 4);
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[0], t.Buffers[0] + 5), std::vector<uint8_t>(5, 6));
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[2], t.Buffers[2] + 3),
            std::vector<uint8_t>(3, 0xC4));
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[4], t.Buffers[4] + 4),
            std::vector<uint8_t>(4, uint8_t(-9)));
  EXPECT_EQ(List(&t, VideoBundleYOffsets)->End, 2u);
  EXPECT_EQ(t.Buffers[5][1], 0);
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[8], t.Buffers[8] + 3), std::vector<uint8_t>(3, 11));
  EXPECT_EQ(BitsRead(&t.Reader), t.BitsWritten);
}

TEST(VideoLists, ExplicitValuesOfEveryKind) {
  TestBitWriter w;
  const std::vector<int> dcIntra = {2047, 2000, 2000, 2010, 0, 65, 65, 65, 66, 1000};
  const std::vector<int> dcInter = {-1023, -1000, 5, 5, 5, 5, 5, 5, 5, 5, 1023};
  TestPutFirstRow(&w, kWidth,
                  {{VideoBundleBlockTypes, {0, 11, 5}},
                   {VideoBundleColours, {0x00, 0xFF, 0x5A}},
                   {VideoBundlePatterns, {0x81, 0x7E}},
                   {VideoBundleXOffsets, {-15, 0, 15}},
                   {VideoBundleYOffsets, {3, -1}},
                   {VideoBundleDcIntra, dcIntra},
                   {VideoBundleDcInter, dcInter},
                   {VideoBundleRuns, {0, 15, 7}}});
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  EXPECT_EQ(BitsRead(&t.Reader), t.BitsWritten);
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[0], t.Buffers[0] + 3), (std::vector<uint8_t>{0, 11, 5}));
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[2], t.Buffers[2] + 3),
            (std::vector<uint8_t>{0x00, 0xFF, 0x5A}));
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[3], t.Buffers[3] + 2),
            (std::vector<uint8_t>{0x81, 0x7E}));
  EXPECT_EQ(int8_t(t.Buffers[4][0]), -15);
  EXPECT_EQ(int8_t(t.Buffers[4][2]), 15);
  EXPECT_EQ(int8_t(t.Buffers[5][1]), -1);
  VideoBundle* intra = List(&t, VideoBundleDcIntra);
  for (int v : dcIntra) EXPECT_EQ(VideoTakeDc(intra), uint32_t(v));
  VideoBundle* inter = List(&t, VideoBundleDcInter);
  for (int v : dcInter) EXPECT_EQ(VideoTakeDc(inter), uint32_t(uint16_t(v)));
  EXPECT_EQ(std::vector<uint8_t>(t.Buffers[8], t.Buffers[8] + 3), (std::vector<uint8_t>{0, 15, 7}));
}

TEST(VideoLists, DcDifferencesWrapAt16Bits) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  for (uint32_t k = 0; k < VideoBundleDcIntra; ++k) TestPutBundle(&w, kWidth, VideoBundleKind(k), {});
  TestPutBits(&w, 3, TestBundleCountBits(kWidth, VideoBundleDcIntra));
  TestPutBits(&w, 5, 11);
  TestPutBits(&w, 4, 4);   // group of two differences, 4 bits each
  TestPutBits(&w, 9, 4);
  TestPutBits(&w, 1, 1);   // -9: 5 - 9 wraps to 65532
  TestPutBits(&w, 15, 4);
  TestPutBits(&w, 0, 1);   // +15: back to 11
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  VideoBundle* intra = List(&t, VideoBundleDcIntra);
  EXPECT_EQ(VideoTakeDc(intra), 5u);
  EXPECT_EQ(VideoTakeDc(intra), 65532u);
  EXPECT_EQ(VideoTakeDc(intra), 11u);
}

TEST(VideoLists, ColourHighNibbleUsesTheTreeOfThePreviousHighNibble) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBundle(&w, kWidth, VideoBundleBlockTypes, {});
  TestPutBundle(&w, kWidth, VideoBundleSubBlockTypes, {});
  TestPutBits(&w, 2, TestBundleCountBits(kWidth, VideoBundleColours));
  TestPutBits(&w, 0, 1);
  TestPutBits(&w, 3, 4);   // high 3 with tree 0 (identity)
  TestPutBits(&w, 10, 4);  // low 10
  TestPutBits(&w, 3, 4);   // code 3 with tree 3, which maps it to 12
  TestPutBits(&w, 1, 4);
  ListsUnderTest t;
  Start(&t, &w);
  for (uint32_t i = 0; i < 16; ++i) t.Bundles.HighTrees[3].Symbols[i] = uint8_t(15 - i);
  Refill(&t);
  EXPECT_EQ(t.Buffers[VideoBundleColours][0], 0x3A);
  EXPECT_EQ(t.Buffers[VideoBundleColours][1], 0xC1);
  EXPECT_EQ(t.Bundles.LastHigh, 12u);
}

TEST(VideoLists, OldRevisionsCodeColoursAsOffsetsFrom128) {
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBundle(&w, kWidth, VideoBundleBlockTypes, {});
  TestPutBundle(&w, kWidth, VideoBundleSubBlockTypes, {});
  TestPutBundle(&w, kWidth, VideoBundleColours, {0x05, 0x85, 0x00, 0x80, 0x7F, 0xFF});
  ListsUnderTest t;
  Start(&t, &w, kWidth, 0, 1);
  Refill(&t);
  const uint8_t expected[6] = {133, 123, 128, 128, 255, 1};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(t.Buffers[VideoBundleColours][i], expected[i]) << i;
}

TEST(VideoLists, UnusedValuesCarryOverWithoutReading) {
  TestBitWriter w;
  TestPutFirstRow(&w, kWidth, {{VideoBundleBlockTypes, {1, 2, 3}}, {VideoBundleColours, {9}}});
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  VideoBundle* types = List(&t, VideoBundleBlockTypes);
  EXPECT_EQ(VideoTakeByte(types), 1u);
  const uint64_t before = BitsRead(&t.Reader);
  Refill(&t);  // BlockTypes still has two values and Colours one: nothing is read
  EXPECT_EQ(BitsRead(&t.Reader), before);
  EXPECT_EQ(VideoTakeByte(types), 2u);
  EXPECT_EQ(VideoTakeByte(types), 3u);
  EXPECT_TRUE(VideoBundleEmpty(types));
}

TEST(VideoLists, AnEmptiedListIsRefilledAtTheNextRow) {
  TestBitWriter w;
  TestPutFirstRow(&w, kWidth, {{VideoBundleBlockTypes, {4}}, {VideoBundleColours, {9}}});
  TestPutBundle(&w, kWidth, VideoBundleBlockTypes, {8, 8});  // the second row's refill
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  EXPECT_EQ(VideoTakeByte(List(&t, VideoBundleBlockTypes)), 4u);
  Refill(&t);  // Colours still holds its value; only BlockTypes is refilled
  EXPECT_EQ(List(&t, VideoBundleBlockTypes)->End, 2u);
  EXPECT_EQ(VideoTakeByte(List(&t, VideoBundleBlockTypes)), 8u);
  EXPECT_EQ(VideoTakeByte(List(&t, VideoBundleColours)), 9u);
}

TEST(VideoLists, ExhaustedListRestartsAtByteFour) {
  TestBitWriter w;
  TestPutFirstRow(&w, kWidth, {{VideoBundleColours, {1, 2, 3, 4, 5, 6}}});
  TestPutBundle(&w, kWidth, VideoBundleColours, {77});  // the next row's refill
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  VideoBundle* colours = List(&t, VideoBundleColours);
  for (uint32_t v = 1; v <= 6; ++v) EXPECT_EQ(VideoTakeByte(colours), v);
  // Empty: the cursor restarts at byte 4 and walks on through the earlier values.
  EXPECT_EQ(VideoTakeByte(colours), 5u);
  EXPECT_EQ(VideoTakeByte(colours), 6u);
  // The cursor is at the end again, so the next row refills the list.
  Refill(&t);
  EXPECT_EQ(colours->End, 1u);
  EXPECT_EQ(VideoTakeByte(colours), 77u);
}

TEST(VideoLists, ListWhoseCursorRanPastItsEndIsNotRefilled) {
  TestBitWriter w;
  TestPutFirstRow(&w, kWidth, {{VideoBundleColours, {10, 20}}});
  TestPutBits(&w, 0x7FF, 11);  // a count, if Colours were refilled
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  VideoBundle* colours = List(&t, VideoBundleColours);
  colours->Buffer[4] = 44;
  EXPECT_EQ(VideoTakeByte(colours), 10u);
  EXPECT_EQ(VideoTakeByte(colours), 20u);
  EXPECT_EQ(VideoTakeByte(colours), 44u);
  EXPECT_EQ(VideoTakeByte(colours), 44u);  // cursor 5 is past end 2: restarts every time
  const uint64_t before = BitsRead(&t.Reader);
  Refill(&t);
  EXPECT_EQ(BitsRead(&t.Reader), before);
}

TEST(VideoLists, GroupTakeChecksOnceAndRunsPastTheEnd) {
  TestBitWriter w;
  TestPutFirstRow(&w, kWidth, {{VideoBundleColours, {1, 2, 3}}});
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  VideoBundle* colours = List(&t, VideoBundleColours);
  EXPECT_EQ(VideoTakeByte(colours), 1u);
  const uint8_t* group = VideoTakeBytes(colours, 64);  // two values left: taken from byte 1 on
  EXPECT_EQ(group, colours->Buffer + 1);
  EXPECT_EQ(colours->Cursor, 65u);
  EXPECT_EQ(VideoTakeBytes(colours, 64), colours->Buffer + 4);
}

TEST(VideoLists, FinishedListHandsOutByteFourOnEveryFetch) {
  TestBitWriter w;
  TestPutFirstRow(&w, kWidth, {});
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  VideoBundle* x = List(&t, VideoBundleXOffsets);
  x->Buffer[4] = 0xFD;
  x->Buffer[5] = 0x01;
  EXPECT_EQ(int8_t(VideoTakeByte(x)), -3);
  EXPECT_EQ(int8_t(VideoTakeByte(x)), -3);
  // DC lists restart at their third entry.
  VideoBundle* dc = List(&t, VideoBundleDcInter);
  dc->Buffer[4] = 0x34;
  dc->Buffer[5] = 0x12;
  EXPECT_EQ(VideoTakeDc(dc), 0x1234u);
  EXPECT_EQ(VideoTakeDc(dc), 0x1234u);
}

TEST(VideoLists, DataEndFinishesTheListAndStopsTheRefill) {
  // Colours claims 100 values, but the data ends after a few: the list is finished and the
  // lists after it are not read.
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBundle(&w, kWidth, VideoBundleBlockTypes, {6, 6});
  TestPutBundle(&w, kWidth, VideoBundleSubBlockTypes, {});
  TestPutBits(&w, 100, TestBundleCountBits(kWidth, VideoBundleColours));
  TestPutBits(&w, 0, 1);
  for (int i = 0; i < 3; ++i) TestPutBits(&w, 0x21, 8);
  ListsUnderTest t;
  Start(&t, &w);
  Refill(&t);
  EXPECT_EQ(List(&t, VideoBundleBlockTypes)->End, 2u);
  EXPECT_TRUE(VideoBundleEmpty(List(&t, VideoBundleColours)));
  EXPECT_EQ(List(&t, VideoBundleColours)->End, 0u);
  EXPECT_EQ(List(&t, VideoBundlePatterns)->CountBits, TestBundleCountBits(kWidth, VideoBundlePatterns));
  EXPECT_EQ(List(&t, VideoBundlePatterns)->End, 0u);
  EXPECT_EQ(List(&t, VideoBundlePatterns)->Cursor, 0u);  // never reached
  EXPECT_LE(t.Reader.Pos, t.Stream.size() + 4);
}

}  // namespace
