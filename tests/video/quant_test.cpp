// The quantiser matrices against the rule that defines them.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <vector>

#include "video/quant.h"

namespace {

const int kIntraBase[64] = {16, 16, 16, 19, 16, 19, 22, 22, 22, 22, 26, 24, 26, 22, 22, 27,
                            27, 27, 26, 26, 26, 29, 29, 29, 27, 27, 27, 26, 34, 34, 34, 29,
                            29, 29, 27, 27, 37, 34, 34, 32, 32, 29, 29, 38, 37, 35, 35, 34,
                            35, 40, 40, 40, 38, 38, 48, 48, 46, 46, 58, 56, 56, 69, 69, 83};
const int kInterBase[64] = {16, 17, 17, 18, 18, 18, 19, 19, 19, 19, 20, 20, 20, 20, 20, 21,
                            21, 21, 21, 21, 21, 22, 22, 22, 22, 22, 22, 22, 23, 23, 23, 23,
                            23, 23, 23, 23, 24, 24, 24, 25, 24, 24, 24, 25, 26, 26, 26, 26,
                            25, 27, 27, 27, 27, 27, 28, 28, 28, 28, 30, 30, 30, 31, 31, 33};
const double kScale[16] = {1,     4.0 / 3, 5.0 / 3, 2,  8.0 / 3, 3.5, 4,  5,
                           6,     8,       12,      17, 22,      28,  34, 44};

// Entries that hold the rounded product plus one, by quantiser (natural positions).
const std::map<int, std::vector<int>> kIntraPlusOne = {
    {5, {33}},
    {6, {48, 53}},
    {7, {10, 21, 42}},
    {9, {8, 24, 35}},
    {10, {25, 48}},
    {11, {2, 6, 20, 24, 28, 33, 35}},
    {12, {37, 40, 51, 59}},
    {13, {2, 11, 12, 20, 29, 31, 48, 60}},
    {14, {1, 10, 11, 17, 18, 19, 21, 25, 26, 29, 42}},
    {15, {21, 42, 44, 46, 48}}};
const std::map<int, std::vector<int>> kInterPlusOne = {
    {0, {18}},
    {1, {27}},
    {3, {33}},
    {4, {34}},
    {7, {18}},
    {8, {33}},
    {9, {34, 61}},
    {10, {3, 37, 40}},
    {11, {13, 16, 18, 20, 25, 43}},
    {12, {14, 19, 26, 30, 33}},
    {13, {43, 48, 49}},
    {14, {10, 19, 22, 26, 33, 54}},
    {15, {12, 17, 22, 25, 27, 41, 55}}};

double Factor(int k) { return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * std::numbers::pi / 16); }

void CheckAgainstRule(const uint32_t (*matrices)[64], const int* base,
                      const std::map<int, std::vector<int>>& plusOne) {
  for (int q = 0; q < 16; ++q) {
    for (int i = 0; i < 64; ++i) {
      const double exact = base[i] * Factor(i / 8) * Factor(i % 8) * 4096 * kScale[q];
      uint32_t expected = uint32_t(std::llround(exact));
      auto listed = plusOne.find(q);
      if (listed != plusOne.end()) {
        for (int position : listed->second) expected += position == i ? 1 : 0;
      }
      EXPECT_EQ(matrices[q][i], expected) << "q " << q << " position " << i;
    }
  }
}

TEST(VideoQuant, IntraMatricesFollowTheRule) {
  CheckAgainstRule(VideoQuantIntra, kIntraBase, kIntraPlusOne);
}

TEST(VideoQuant, InterMatricesFollowTheRule) {
  CheckAgainstRule(VideoQuantInter, kInterBase, kInterPlusOne);
}

TEST(VideoQuant, KnownEntries) {
  EXPECT_EQ(VideoQuantIntra[0][0], 65536u);
  EXPECT_EQ(VideoQuantIntra[0][1], 90901u);
  EXPECT_EQ(VideoQuantIntra[0][2], 85627u);
  EXPECT_EQ(VideoQuantIntra[0][3], 91511u);
  EXPECT_EQ(VideoQuantInter[0][0], 65536u);
  EXPECT_EQ(VideoQuantInter[0][1], 96582u);
  EXPECT_EQ(VideoQuantInter[0][2], 90979u);
  EXPECT_EQ(VideoQuantInter[0][3], 86695u);
  EXPECT_EQ(VideoQuantIntra[15][0], 2883584u);
}

}  // namespace
