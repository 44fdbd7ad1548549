// A plane's bundles written by the encoder and refilled by the decoder row by row: every row
// finds the values it takes, including rows that take none of a bundle (their values arrive
// early) and bundles that end (a count of 0).
#include <gtest/gtest.h>

#include <vector>

#include "encoder/video_bundle_writer.h"
#include "video/bundles.h"

namespace {

using RowValues = std::vector<std::vector<int32_t>>;  // values taken by each row

void FillBundle(EncoderPlaneBundles* bundles, VideoBundleKind kind, const RowValues& rows) {
  bundles->Values[kind].clear();
  bundles->RowEnd[kind].clear();
  for (const std::vector<int32_t>& row : rows) {
    bundles->Values[kind].insert(bundles->Values[kind].end(), row.begin(), row.end());
    bundles->RowEnd[kind].push_back(uint32_t(bundles->Values[kind].size()));
  }
}

int32_t Take(VideoBundle* bundle, VideoBundleKind kind) {
  if (kind == VideoBundleDcIntra) return int32_t(VideoTakeDc(bundle));
  if (kind == VideoBundleDcInter) return int16_t(uint16_t(VideoTakeDc(bundle)));
  if (kind == VideoBundleXOffsets || kind == VideoBundleYOffsets)
    return int8_t(VideoTakeByte(bundle));
  return int32_t(VideoTakeByte(bundle));
}

void ExpectBundlesRead(const EncoderPlaneBundles& bundles,
                       const RowValues (&rows)[VideoBundleCount], bool oldColours) {
  const std::vector<uint8_t> bytes = EncoderWritePlane(&bundles, nullptr);
  uint64_t sizes[VideoBundleCount];
  VideoBundleBufferSizes(bundles.Width, sizes);
  std::vector<uint8_t> storage[VideoBundleCount];
  uint8_t* buffers[VideoBundleCount];
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    storage[i].assign(size_t(sizes[i]), 0);
    buffers[i] = storage[i].data();
  }
  VideoBundles b;
  VideoBundlesInit(&b, buffers, bundles.Width, oldColours ? 1 : 0);
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  VideoReadBundleTrees(&b, &r);
  for (uint32_t row = 0; row < bundles.Rows; ++row) {
    VideoRefillBundles(&b, &r, bytes.size() + 4);
    for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
      for (int32_t want : rows[kind][row]) {
        ASSERT_FALSE(VideoBundleEmpty(&b.Bundles[kind])) << "bundle " << kind << " row " << row;
        EXPECT_EQ(Take(&b.Bundles[kind], VideoBundleKind(kind)), want)
            << "bundle " << kind << " row " << row;
      }
      // A row that takes nothing may already hold the values of a later row.
      if (!rows[kind][row].empty()) {
        EXPECT_TRUE(VideoBundleEmpty(&b.Bundles[kind])) << "bundle " << kind << " row " << row;
      }
    }
  }
  EXPECT_EQ(r.Pos, bytes.size());
}

RowValues Rows(std::initializer_list<std::vector<int32_t>> rows) {
  return RowValues(rows);
}

TEST(VideoEncoderBundles, RowsFindTheirValuesInEveryBundle) {
  for (bool oldColours : {false, true}) {
    EncoderPlaneBundles bundles;
    EncoderBundlesInit(&bundles, 64, 4, oldColours);
    RowValues rows[VideoBundleCount] = {
        Rows({{5, 5, 5, 5, 5, 5, 5, 5},
              {0, 1, 2, 3, 4, 6, 7, 9},
              {2, 2, 2, 2, 2, 2, 2, 8},
              {6, 6, 6, 6, 6, 6, 6, 6}}),
        Rows({{3, 5}, {}, {}, {9, 9, 6, 8}}),
        Rows({{1, 200, 255, 128}, {}, {7, 7, 7}, {}}),
        Rows({{0, 255, 17, 128, 1, 2, 3, 4}, {}, {}, {}}),
        Rows({{-15, 15, 0}, {3}, {}, {-2, -2}}),
        Rows({{0, -1, 14}, {-3}, {}, {5, 5}}),
        Rows({{1024, 0, 2047, 2040, 3, 1000, 1001, 1002, 1003, 1004}, {}, {17}, {}}),
        Rows({{-1023, 1023, 0, 0, 0, -5}, {4}, {}, {}}),
        Rows({{0, 15, 3}, {}, {}, {2, 2, 2, 2}}),
    };
    for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
      FillBundle(&bundles, VideoBundleKind(kind), rows[kind]);
    }
    ExpectBundlesRead(bundles, rows, oldColours);
  }
}

// Colour 0 cannot be shown before 'i'; the encoder writes the nearest colour, 1.
TEST(VideoEncoderBundles, OldVersionsWriteColourZeroAsOne) {
  EXPECT_EQ(EncoderCodedColour(0, false), 0u);
  EXPECT_EQ(EncoderCodedColour(0, true), EncoderCodedColour(1, true));
  EXPECT_EQ(EncoderCodedColour(128, true), 0u);
  EXPECT_EQ(EncoderCodedColour(255, true), 127u);
  EXPECT_EQ(EncoderCodedColour(127, true), 129u);
}

TEST(VideoEncoderBundles, RowLimitsFitTheCountField) {
  for (uint32_t width : {8u, 640u, 4096u, 32768u}) {
    for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
      uint32_t bits, capacity;
      VideoBundleLimits(width, VideoBundleKind(kind), &bits, &capacity);
      const uint32_t limit = EncoderBundleRowLimit(width, VideoBundleKind(kind));
      EXPECT_LE(limit, capacity);
      EXPECT_LT(limit, 1u << bits);
    }
  }
}

}  // namespace
