// MovieCopyToSurface on known planes: every surface type in every scaling mode against the
// per-pixel model, full and changed-area copies, negative pitch, the 75 % threshold, grey scale,
// swapped chroma and alpha, and the arguments it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tests/pixels/pixel_test_support.h"

namespace {

constexpr uint8_t kUntouched = 0xCD;
constexpr uint32_t kSlack = 8;  // bytes after each row that the copy must not touch

// A destination buffer for the whole displayed picture of a movie.
struct Surface {
  uint32_t Type = 0;
  uint32_t Rows = 0;
  int32_t Pitch = 0;
  std::vector<uint8_t> Bytes;
};

Surface MakeSurface(const Movie* m, uint32_t type, uint32_t rows = 0) {
  Surface s;
  s.Type = type;
  s.Rows = rows ? rows : m->Height;
  s.Pitch = int32_t(m->Width * TestBytesPerPixel(type) + kSlack);
  s.Bytes.assign(size_t(s.Pitch) * s.Rows, kUntouched);
  return s;
}

uint32_t Copy(Movie* m, Surface* s, uint32_t flags, uint32_t width, uint32_t height) {
  return MovieCopyToSurface(m, s->Bytes.data(), s->Pitch, s->Rows, 0, 0, 0, 0, width, height,
                            flags | s->Type);
}

uint32_t CopyAllOf(Movie* m, Surface* s, uint32_t flags = 0) {
  return Copy(m, s, flags, m->Width, m->Height);
}

// How a scaling mode maps source rows and pixels to the destination.
struct ModeGeometry {
  uint32_t RowFactor;     // destination row of source row y is y * RowFactor
  bool RepeatRow;         // the row below gets the same pixels
  bool EvenRowsOnly;      // only even source rows are copied
  bool WidthDoubled;
};

ModeGeometry GeometryOf(uint32_t mode) {
  switch (mode) {
    case 1: return {2, true, false, false};
    case 2: return {2, false, false, false};
    case 3: return {1, false, false, true};
    case 4: return {2, true, false, true};
    case 5: return {2, false, false, true};
    case 6: return {1, false, true, false};
    default: return {1, false, false, false};
  }
}

// Sample transform for the copy flags under test.
struct SampleOptions {
  bool SwapUV = false;
  bool Grey = false;
};

TestSample Adjust(TestSample s, const SampleOptions& o) {
  if (o.SwapUV) std::swap(s.U, s.V);
  if (o.Grey) s.U = s.V = 128;
  return s;
}

// The picture the copy should leave in surface s: source pixels for which keep(x, y) holds are
// converted, everything else stays untouched.
template <typename Keep>
std::vector<uint8_t> Expected(const Movie* m, const Surface& s, uint32_t mode,
                              const SampleOptions& o, Keep keep) {
  std::vector<uint8_t> out(s.Bytes.size(), kUntouched);
  const ModeGeometry g = GeometryOf(mode);
  const uint32_t bytes = TestBytesPerPixel(s.Type) * (g.WidthDoubled ? 2 : 1);
  for (uint32_t y = 0; y < m->FileHeight; ++y) {
    if (g.EvenRowsOnly && (y & 1)) continue;
    for (uint32_t x = 0; x < m->FileWidth; ++x) {
      if (!keep(x, y)) continue;
      const std::vector<uint8_t> px =
          TestExpectedPixel(s.Type, Adjust(TestSampleAt(m, x, y), o), x, y, g.WidthDoubled);
      for (uint32_t r = 0; r < (g.RepeatRow ? 2u : 1u); ++r) {
        const uint32_t row = y * g.RowFactor + r;
        if (row >= s.Rows) continue;
        std::memcpy(out.data() + size_t(row) * s.Pitch + size_t(x) * bytes, px.data(), bytes);
      }
    }
  }
  return out;
}

std::vector<uint8_t> Expected(const Movie* m, const Surface& s, uint32_t mode,
                              const SampleOptions& o = {}) {
  return Expected(m, s, mode, o, [](uint32_t, uint32_t) { return true; });
}

// Makes the copy use a change map: the first copy below 75 % allocates it, then the map of the
// frame to show is pointed at it with the given marks.
void UseChangeMap(Movie* m, Surface* scratch, const std::vector<uint8_t>& marks, uint32_t percent) {
  m->ChangedPercent = 10;
  Copy(m, scratch, 0, m->Width, m->Height);
  ASSERT_NE(m->ChangeMap, nullptr);
  std::memcpy(m->ChangeMap, marks.data(), std::min<size_t>(marks.size(), m->ChangeMapBytes));
  m->ChangeMapLast = m->ChangeMap;
  m->ChangedPercent = percent;
}

// Every surface type in every scaling mode: 37 x 35 stored pixels, so that the last 16-pixel
// column and band are partial and the last row and column odd.
class CopyTypeMode : public ::testing::TestWithParam<std::tuple<uint32_t, uint32_t>> {
 protected:
  void SetUp() override {
    std::tie(type_, mode_) = GetParam();
    ASSERT_TRUE(TestOpenPictureMovie(&movie_, 37, 35, (mode_ << 28) | OpenAlpha));
    TestFillPlanesRandom(movie_.M, 17 * type_ + mode_);
  }
  void TearDown() override { TestClosePictureMovie(&movie_); }
  uint32_t type_ = 0, mode_ = 0;
  TestPictureMovie movie_;
};

TEST_P(CopyTypeMode, FullCopyMatchesModel) {
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, type_);
  EXPECT_EQ(CopyAllOf(m, &s, CopyAll), 0u);
  EXPECT_EQ(s.Bytes, Expected(m, s, mode_));
}

TEST_P(CopyTypeMode, ChangedAreaCopyWritesTheSamePictureWhereMarked) {
  Movie* m = movie_.M;
  Surface scratch = MakeSurface(m, type_);
  std::vector<uint8_t> all(m->ChangeMapBytes, 1);
  UseChangeMap(m, &scratch, all, 50);
  Surface s = MakeSurface(m, type_);
  EXPECT_EQ(CopyAllOf(m, &s), 0u);
  EXPECT_EQ(s.Bytes, Expected(m, s, mode_));

  // A checkerboard of areas: unmarked areas keep what the surface held.
  std::vector<uint8_t> marks(m->ChangeMapBytes, 0);
  for (uint32_t band = 0; band < 3; ++band) {
    for (uint32_t col = 0; col < 3; ++col) marks[band * m->BlocksPerRow + col] = (band + col) & 1;
  }
  std::memcpy(m->ChangeMapLast, marks.data(), marks.size());
  Surface part = MakeSurface(m, type_);
  EXPECT_EQ(CopyAllOf(m, &part), 0u);
  EXPECT_EQ(part.Bytes, Expected(m, part, mode_, {}, [&](uint32_t x, uint32_t y) {
              return marks[(y / 16) * m->BlocksPerRow + x / 16] != 0;
            }));
}

TEST_P(CopyTypeMode, NegativePitchWritesRowsUpwards) {
  Movie* m = movie_.M;
  Surface down = MakeSurface(m, type_);
  CopyAllOf(m, &down, CopyAll);
  Surface up = MakeSurface(m, type_);
  ASSERT_EQ(MovieCopyToSurface(m, up.Bytes.data(), -up.Pitch, up.Rows, 0, 0, 0, 0, m->Width,
                               m->Height, CopyAll | type_),
            0u);
  for (uint32_t row = 0; row < up.Rows; ++row) {
    const uint8_t* flipped = up.Bytes.data() + size_t(up.Rows - 1 - row) * up.Pitch;
    ASSERT_EQ(std::memcmp(flipped, down.Bytes.data() + size_t(row) * down.Pitch, down.Pitch), 0)
        << "row " << row;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypesAndModes, CopyTypeMode,
                         ::testing::Combine(::testing::Range(0u, 15u), ::testing::Range(0u, 8u)),
                         [](const auto& param) {
                           return "Type" + std::to_string(std::get<0>(param.param)) + "Mode" +
                                  std::to_string(std::get<1>(param.param));
                         });

class CopyPicture : public ::testing::Test {
 protected:
  void Open(uint32_t width, uint32_t height, uint32_t flags = 0) {
    ASSERT_TRUE(TestOpenPictureMovie(&movie_, width, height, flags));
    TestFillPlanesRandom(movie_.M, 5);
  }
  void TearDown() override { TestClosePictureMovie(&movie_); }
  TestPictureMovie movie_;
};

TEST_F(CopyPicture, WorkedExamplesThroughTheCopy) {
  Open(16, 16);
  Movie* m = movie_.M;
  TestFillPlane(m, PlaneY, 81);
  TestFillPlane(m, PlaneChroma2, 90);   // U
  TestFillPlane(m, PlaneChroma1, 240);  // V
  Surface s = MakeSurface(m, SurfaceRGB24);
  CopyAllOf(m, &s, CopyAll);
  EXPECT_EQ(s.Bytes[0], 255);
  EXPECT_EQ(s.Bytes[1], 1);
  EXPECT_EQ(s.Bytes[2], 0);
  TestFillPlane(m, PlaneY, 235);
  TestFillPlane(m, PlaneChroma1, 128);
  TestFillPlane(m, PlaneChroma2, 128);
  CopyAllOf(m, &s, CopyAll);
  EXPECT_EQ(s.Bytes[0], 254);
  EXPECT_EQ(s.Bytes[1], 255);
  EXPECT_EQ(s.Bytes[2], 254);
}

TEST_F(CopyPicture, ThresholdOf75PercentChangedBlocks) {
  Open(48, 32);
  Movie* m = movie_.M;
  Surface scratch = MakeSurface(m, SurfaceBGRX32);
  std::vector<uint8_t> marks(m->ChangeMapBytes, 0);
  marks[1] = 1;  // band 0, columns 16..31
  UseChangeMap(m, &scratch, marks, 74);
  auto onlyMarked = [](uint32_t x, uint32_t y) { return y < 16 && x >= 16 && x < 32; };

  Surface s74 = MakeSurface(m, SurfaceBGRX32);
  CopyAllOf(m, &s74);
  EXPECT_EQ(s74.Bytes, Expected(m, s74, 0, {}, onlyMarked));

  m->ChangedPercent = 75;
  Surface s75 = MakeSurface(m, SurfaceBGRX32);
  CopyAllOf(m, &s75);
  EXPECT_EQ(s75.Bytes, Expected(m, s75, 0));

  m->ChangedPercent = 74;
  Surface all = MakeSurface(m, SurfaceBGRX32);
  CopyAllOf(m, &all, CopyAll);
  EXPECT_EQ(all.Bytes, Expected(m, all, 0));
}

TEST_F(CopyPicture, FirstChangedCopyMakesTheMapAndCopiesEverything) {
  Open(40, 24);
  Movie* m = movie_.M;
  ASSERT_EQ(m->ChangeMap, nullptr);
  const uint32_t memoryBefore = m->TotalMemory;
  m->ChangedPercent = 20;
  Surface s = MakeSurface(m, SurfaceBGRX32);
  CopyAllOf(m, &s);
  ASSERT_NE(m->ChangeMap, nullptr);
  EXPECT_EQ(m->ChangedPercent, 100u);
  EXPECT_EQ(m->ChangedPercentMax, 100u);
  EXPECT_GE(m->TotalMemory, memoryBefore + m->ChangeMapBytes);
  for (uint32_t i = 0; i <= m->ChangeMapBytes; ++i) ASSERT_EQ(m->ChangeMap[i], 0) << i;
  EXPECT_EQ(s.Bytes, Expected(m, s, 0));
}

TEST_F(CopyPicture, GreyScaleIgnoresChroma) {
  Open(32, 16);
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, SurfaceBGRX32);
  CopyAllOf(m, &s, OpenGrayscale | CopyAll);
  SampleOptions grey;
  grey.Grey = true;
  EXPECT_EQ(s.Bytes, Expected(m, s, 0, grey));
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 32; ++x) {
      const uint8_t* px = s.Bytes.data() + y * s.Pitch + 4 * x;
      const int lo = std::min({px[0], px[1], px[2]}), hi = std::max({px[0], px[1], px[2]});
      ASSERT_LE(hi - lo, 2) << x << "," << y;
    }
  }
  TestFillPlane(m, PlaneY, 128);
  CopyAllOf(m, &s, OpenGrayscale | CopyAll);
  EXPECT_EQ(s.Bytes[0], 129);  // blue
  EXPECT_EQ(s.Bytes[1], 131);  // green
  EXPECT_EQ(s.Bytes[2], 130);  // red
}

TEST_F(CopyPicture, GreyMovieIsGreyOnEveryCopyAndInLongRows) {
  Open(600, 4, OpenGrayscale);  // rows longer than the 256-pixel grey chroma row
  Movie* m = movie_.M;
  for (uint32_t type : {uint32_t(SurfaceRGB24), uint32_t(Surface565), uint32_t(SurfaceYUY2)}) {
    Surface s = MakeSurface(m, type);
    CopyAllOf(m, &s, CopyAll);
    SampleOptions grey;
    grey.Grey = true;
    EXPECT_EQ(s.Bytes, Expected(m, s, 0, grey)) << "type " << type;
  }
}

TEST_F(CopyPicture, SwappedChroma) {
  Open(24, 8);
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, SurfaceRGBX32);
  CopyAllOf(m, &s, MovieFlagSwapUV | CopyAll);
  SampleOptions swapped;
  swapped.SwapUV = true;
  EXPECT_EQ(s.Bytes, Expected(m, s, 0, swapped));
  EXPECT_NE(s.Bytes, Expected(m, s, 0));
}

TEST_F(CopyPicture, Type5WithoutAlphaIsType3WithZeroOnTop) {
  Open(24, 8);
  Movie* m = movie_.M;
  Surface bgra = MakeSurface(m, SurfaceBGRA32);
  Surface bgrx = MakeSurface(m, SurfaceBGRX32);
  CopyAllOf(m, &bgra, CopyAll | CopySwapAlpha);  // swapping needs an alpha plane: dropped
  CopyAllOf(m, &bgrx, CopyAll);
  EXPECT_EQ(bgra.Bytes, bgrx.Bytes);
  EXPECT_EQ(m->LastCopyFlags & CopySwapAlpha, 0u);
  for (uint32_t x = 0; x < 24; ++x) EXPECT_EQ(bgra.Bytes[4 * x + 3], 0);
}

TEST_F(CopyPicture, AlphaPlaneAndSwappedAlpha) {
  Open(24, 8, OpenAlpha);
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, SurfaceBGRA32);
  CopyAllOf(m, &s, CopyAll);
  EXPECT_EQ(s.Bytes, Expected(m, s, 0));
  EXPECT_EQ(s.Bytes[3], TestSampleAt(m, 0, 0).A);

  CopyAllOf(m, &s, CopyAll | CopySwapAlpha);
  const TestSample plain = TestSampleAt(m, 3, 2);
  const TestSample swapped{plain.A, plain.U, plain.V, plain.Y};
  std::vector<uint8_t> px(s.Bytes.begin() + 2 * s.Pitch + 12, s.Bytes.begin() + 2 * s.Pitch + 16);
  EXPECT_EQ(px, TestExpectedPixel(SurfaceBGRA32, swapped, 3, 2, false));
}

// Mode 6 converts source rows 0, 2, 4 ... each with its own chroma row y / 2 and the dither of
// an even row, exactly as a full copy does for those rows.
TEST_F(CopyPicture, EverySecondRowUsesItsOwnChromaAndDither) {
  Open(16, 8, 6u << 28);
  Movie* m = movie_.M;
  Surface alternate = MakeSurface(m, Surface565);
  CopyAllOf(m, &alternate, CopyAll);
  for (uint32_t y = 0; y < 8; ++y) {
    const uint8_t* row = alternate.Bytes.data() + y * alternate.Pitch;
    if (y & 1) {
      EXPECT_EQ(std::vector<uint8_t>(row, row + 32), std::vector<uint8_t>(32, kUntouched)) << y;
    } else {
      std::vector<uint8_t> expected;
      for (uint32_t x = 0; x < 16; ++x) {
        const std::vector<uint8_t> px = TestExpectedPixel(Surface565, TestSampleAt(m, x, y), x, y,
                                                          false);
        expected.insert(expected.end(), px.begin(), px.end());
      }
      EXPECT_EQ(std::vector<uint8_t>(row, row + 32), expected) << y;
    }
  }
}

TEST_F(CopyPicture, PlanarTypeWritesNothing) {
  Open(16, 16);
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, SurfaceYUY2);
  s.Type = SurfacePlanar;
  const std::vector<uint8_t> untouched = s.Bytes;
  EXPECT_EQ(CopyAllOf(m, &s, CopyAll), 0u);
  EXPECT_EQ(CopyAllOf(m, &s), 0u);
  EXPECT_EQ(s.Bytes, untouched);
  EXPECT_EQ(m->LastCopyFlags & CopySurfaceTypeMask, uint32_t(SurfacePlanar));
}

TEST_F(CopyPicture, EmptyRectangleAndBadArgumentsWriteNothing) {
  Open(16, 16);
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, SurfaceBGRX32);
  const std::vector<uint8_t> untouched = s.Bytes;
  EXPECT_EQ(Copy(m, &s, CopyAll, 0, 16), 0u);
  EXPECT_EQ(Copy(m, &s, CopyAll, 16, 0), 0u);
  EXPECT_EQ(MovieCopyToSurface(nullptr, s.Bytes.data(), s.Pitch, 16, 0, 0, 0, 0, 16, 16, 3), 0u);
  EXPECT_EQ(MovieCopyToSurface(m, nullptr, s.Pitch, 16, 0, 0, 0, 0, 16, 16, 3), 0u);
  EXPECT_EQ(MovieCopyToSurface(m, s.Bytes.data(), s.Pitch, 0, 0, 0, 0, 0, 16, 16, 3), 0u);
  // A pitch shorter than one destination row would make rows overlap and run past the buffer.
  EXPECT_EQ(MovieCopyToSurface(m, s.Bytes.data(), 60, 16, 0, 0, 0, 0, 16, 16, 3), 0u);
  EXPECT_EQ(MovieCopyToSurface(m, s.Bytes.data(), -60, 16, 0, 0, 0, 0, 16, 16, 3), 0u);
  EXPECT_EQ(MovieCopyToSurface(m, s.Bytes.data(), 60, 1, 0, 0, 0, 0, 16, 16, 3), 0u);
  EXPECT_EQ(s.Bytes, untouched);
  // An already dropped frame: 1, nothing written.
  m->SkipState = 2;
  EXPECT_EQ(Copy(m, &s, CopyAll, 16, 16), 1u);
  EXPECT_EQ(s.Bytes, untouched);
}

// Any flags, sizes, row counts and pitches: the copy stays inside rows * |pitch| bytes.
TEST_F(CopyPicture, RandomArgumentsStayInsideTheBuffer) {
  Open(45, 27, OpenAlpha);
  Movie* m = movie_.M;
  std::mt19937 rng(11);
  constexpr uint32_t kGuard = 64;
  for (int trial = 0; trial < 400; ++trial) {
    const uint32_t flags = uint32_t(rng());
    const uint32_t rows = 1 + uint32_t(rng() % 70);
    const uint32_t pitch = uint32_t(rng() % 420);
    const bool upwards = rng() & 1;
    std::vector<uint8_t> buffer(size_t(rows) * pitch + kGuard, kUntouched);
    const uint32_t width = uint32_t(rng() % 100), height = uint32_t(rng() % 70);
    MovieCopyToSurface(m, buffer.data(), upwards ? -int32_t(pitch) : int32_t(pitch), rows, 0, 0,
                       0, 0, width, height, flags);
    for (size_t i = size_t(rows) * pitch; i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], kUntouched) << "trial " << trial << " flags " << std::hex << flags;
    }
    m->SkipState = 0;
  }
}

TEST_F(CopyPicture, PartOfThePictureAndRowsTheBufferHolds) {
  Open(40, 30, 4u << 28);  // both doubled: 80 x 60 displayed
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, Surface555);
  Copy(m, &s, CopyAll, 20, 60);  // 20 displayed = 10 stored columns
  EXPECT_EQ(s.Bytes, Expected(m, s, 4, {}, [](uint32_t x, uint32_t) { return x < 10; }));
  // A buffer of 13 rows: the copy stops there (an exact-size buffer, checked by ASan).
  Surface small = MakeSurface(m, Surface555, 13);
  small.Bytes.resize(size_t(small.Pitch) * 13);
  CopyAllOf(m, &small, CopyAll);
  EXPECT_EQ(small.Bytes, Expected(m, small, 4));
}

TEST_F(CopyPicture, ScaleModeSevenForcesNoScaling) {
  Open(20, 10, 7u << 28);
  Movie* m = movie_.M;
  EXPECT_EQ(m->Width, 20u);
  EXPECT_EQ(m->Height, 10u);
  Surface s = MakeSurface(m, SurfaceUYVY);
  CopyAllOf(m, &s, CopyAll);
  EXPECT_EQ(s.Bytes, Expected(m, s, 0));
}

TEST_F(CopyPicture, StatisticsMarksAndFlags) {
  Open(16, 16, OpenGrayscale | (1u << 28));
  Movie* m = movie_.M;
  Surface s = MakeSurface(m, SurfaceBGRX32);
  m->CopyStart = 0xFFFFFFFFu;
  m->Reader.Busy = 1;
  m->SkippedLast = 1;
  CopyAllOf(m, &s, CopyAll | 0x00000400u);
  EXPECT_NE(m->CopyStart, 0xFFFFFFFFu);
  EXPECT_EQ(m->Reader.Busy, 1u);  // what the decode beside the copy had set is kept
  EXPECT_EQ(m->SkippedLast, 0u);
  EXPECT_EQ(m->LastCopyFlags,
            CopyAll | 0x00000400u | SurfaceBGRX32 | OpenGrayscale | (1u << 28));
  const uint32_t started = m->CopyStart;
  CopyAllOf(m, &s, CopyAll);
  EXPECT_EQ(m->CopyStart, started);  // only an armed start is set
}

}  // namespace
