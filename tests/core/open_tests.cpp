// Opening and closing movies from every kind of source, with every error text of the open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/movie_planes.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

TestMovieShape SmallShape() {
  TestMovieShape s;
  s.Config.Width = 64;
  s.Config.Height = 48;
  s.Frames = 10;
  s.VideoBytes = 1000;
  return s;
}

// Opens an image from memory without the background thread: the quickest way to the record.
Movie* OpenImage(const std::vector<uint8_t>& image, uint32_t flags = 0) {
  MovieSetPendingImageSize(uint32_t(image.size()));
  return MovieOpen(image.data(), flags | OpenFromMemory);
}

std::string OpenError(const std::vector<uint8_t>& image) {
  Movie* m = OpenImage(image);
  EXPECT_EQ(m, nullptr);
  MovieClose(m);
  return MovieGetError();
}

TEST(MovieOpen, FromMemoryPointsIntoTheImageAndLoadsFrameOne) {
  std::vector<uint8_t> image = TestMakeMovie(SmallShape());
  Movie* m = OpenImage(image);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_STREQ(MovieGetError(), "");
  EXPECT_EQ(m->FrameNum, 1u);
  EXPECT_EQ(m->Frames, 10u);
  EXPECT_EQ(m->Width, 64u);
  EXPECT_EQ(m->FrameIndex, reinterpret_cast<const uint32_t*>(image.data() + 44));
  EXPECT_EQ(m->Preloaded, image.data() + (m->FrameIndex[0] & ~1u));
  EXPECT_EQ(m->FramePtr, m->Preloaded);
  std::vector<uint8_t> packet = TestFramePacket(image, 0);
  ASSERT_EQ(m->FrameBytes, packet.size());
  EXPECT_EQ(std::memcmp(m->FramePtr, packet.data(), packet.size()), 0);
  MovieClose(m);
  EXPECT_EQ(TestGetLe32(image, 8), 10u);  // the caller's image is left alone
}

TEST(MovieOpen, ByNameReadsThroughTheRingAndClosesCleanly) {
  TestMovieShape s = SmallShape();
  s.Frames = 400;  // 400 KB: too large to preload with a 260 KB read buffer
  std::vector<uint8_t> image = TestMakeMovie(s);
  std::string path = TestWriteFile("by_name.vxa", image);
  MovieSetPendingIoBufferSize(0);
  Movie* m = MovieOpen(path.c_str(), OpenIoBufferSize);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_EQ(m->Preloaded, nullptr);
  EXPECT_EQ(m->ReadBufferSize, 266240u);
  std::vector<uint8_t> packet = TestFramePacket(image, 0);
  ASSERT_EQ(m->FrameBytes, packet.size());
  EXPECT_EQ(std::memcmp(m->FramePtr, packet.data(), packet.size()), 0);
  for (uint32_t i = 0; i < MOVIE_FRAME_PADDING; ++i) ASSERT_EQ(m->FramePtr[packet.size() + i], 0);
  // Frame 2 comes out of the ring that the open filled.
  MovieLoadFramePacket(m, 2);
  packet = TestFramePacket(image, 1);
  EXPECT_EQ(m->FrameNum, 2u);
  EXPECT_EQ(std::memcmp(m->FramePtr, packet.data(), packet.size()), 0);
  MovieClose(m);
}

TEST(MovieOpen, FromAHandleCountsOffsetsFromItsPositionAndLeavesItOpen) {
  std::vector<uint8_t> movie = TestMakeMovie(SmallShape());
  std::vector<uint8_t> container(5000 + movie.size(), 0xEE);
  std::copy(movie.begin(), movie.end(), container.begin() + 5000);
  std::string path = TestWriteFile("inside.bin", container);
  const void* handle = TestOpenHandle(path, 5000);
  ASSERT_NE(handle, nullptr);
  Movie* m = MovieOpen(handle, OpenFromHandle | OpenNoIoThread);
  ASSERT_NE(m, nullptr) << MovieGetError();
  std::vector<uint8_t> packet = TestFramePacket(movie, 0);
  EXPECT_EQ(std::memcmp(m->FramePtr, packet.data(), packet.size()), 0);
  MovieClose(m);
  EXPECT_GE(TestHandlePosition(handle), 5000);  // still open
  TestCloseHandle(handle);
}

TEST(MovieOpen, PreloadsWhenTheReadBufferWouldHoldNinetyPercentOfTheFile) {
  // About 1 MB in 25 frames at 25 fps: the peak second is nearly the whole file.
  TestMovieShape s = SmallShape();
  s.Frames = 25;
  s.VideoBytes = 40000;
  std::vector<uint8_t> image = TestMakeMovie(s);
  std::string path = TestWriteFile("preload.vxa", image);
  Movie* m = MovieOpen(path.c_str(), 0);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_TRUE(m->OpenFlags & OpenPreload);
  ASSERT_NE(m->Preloaded, nullptr);
  EXPECT_EQ(m->ReadBuffer, nullptr);
  EXPECT_EQ(std::memcmp(m->Preloaded, image.data() + (m->FrameIndex[0] & ~1u),
                        image.size() - (m->FrameIndex[0] & ~1u)),
            0);
  MovieClose(m);

  // With a longer movie the peak second is a small part and the file streams.
  s.Frames = 250;
  s.VideoBytes = 4000;
  path = TestWriteFile("stream.vxa", TestMakeMovie(s));
  m = MovieOpen(path.c_str(), OpenNoIoThread);
  ASSERT_NE(m, nullptr);
  EXPECT_FALSE(m->OpenFlags & OpenPreload);
  EXPECT_EQ(m->Preloaded, nullptr);
  MovieClose(m);
}

TEST(MovieOpen, ErrorTextsForMissingDirectoryEmptyAndTruncatedFiles) {
  EXPECT_EQ(MovieOpen((TestTempDir() + "/missing.vxa").c_str(), 0), nullptr);
  EXPECT_STREQ(MovieGetError(), "Error opening file.");
  EXPECT_EQ(MovieOpen(TestTempDir().c_str(), 0), nullptr);
  EXPECT_STREQ(MovieGetError(), "Error opening file.");
  EXPECT_EQ(MovieOpen(TestWriteFile("empty.vxa", {}).c_str(), 0), nullptr);
  EXPECT_STREQ(MovieGetError(), "Not a Vexa file.");

  std::vector<uint8_t> image = TestMakeMovie(SmallShape());
  image.resize(44 + 20);  // header whole, index cut short
  EXPECT_EQ(MovieOpen(TestWriteFile("cut.vxa", image).c_str(), 0), nullptr);
  EXPECT_STREQ(MovieGetError(), "Error reading Vexa header.");

  // A later successful open empties the text.
  Movie* m = MovieOpen(TestWriteFile("ok.vxa", TestMakeMovie(SmallShape())).c_str(), 0);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(MovieGetError(), "");
  MovieClose(m);
}

TEST(MovieOpen, HostileIndexesAreRefused) {
  std::vector<uint8_t> image = TestMakeMovie(SmallShape());
  const size_t index = 44;
  std::vector<uint8_t> repeated = image;
  TestPutLe32(&repeated, index + 8, TestGetLe32(repeated, index + 4));
  EXPECT_EQ(OpenError(repeated), "This file has bad frame size data.");

  std::vector<uint8_t> beyond = image;  // the last frame claims to end past the file
  TestPutLe32(&beyond, index + 40, uint32_t(image.size()) + 2);
  TestPutLe32(&beyond, 12, TestGetLe32(image, 4));  // frames of any size fit the frame buffer
  EXPECT_EQ(OpenError(beyond), "This file has bad frame size data.");

  std::vector<uint8_t> oversized = image;  // a frame larger than the header's largest frame
  TestPutLe32(&oversized, 12, TestGetLe32(image, 12) - 2);
  EXPECT_EQ(OpenError(oversized), "This file has bad frame size data.");

  std::vector<uint8_t> noFrames = image;
  TestPutLe32(&noFrames, 8, 0);
  EXPECT_EQ(OpenError(noFrames), "The file doesn't contain any compressed frames yet.");

  std::vector<uint8_t> wide = image;
  TestPutLe32(&wide, 20, 32768);
  EXPECT_EQ(OpenError(wide), "The file has a corrupt header.");

  std::vector<uint8_t> shortImage = image;  // the header claims more bytes than the image has
  shortImage.resize(image.size() - 100);
  EXPECT_EQ(OpenError(shortImage), "This file has bad frame size data.");
}

TEST(MovieOpen, ScalingModesDoubleTheDisplayedSize) {
  std::vector<uint8_t> image = TestMakeMovie(SmallShape());
  const uint32_t expected[8][2] = {{64, 48}, {64, 96}, {64, 96}, {128, 48},
                                   {128, 96}, {128, 96}, {64, 48}, {64, 48}};
  for (uint32_t mode = 0; mode < 8; ++mode) {
    Movie* m = OpenImage(image, mode << OpenScaleShift);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Width, expected[mode][0]) << mode;
    EXPECT_EQ(m->Height, expected[mode][1]) << mode;
    EXPECT_EQ(m->FileWidth, 64u);
    EXPECT_EQ((m->OpenFlags & OpenScaleMask) >> OpenScaleShift, mode);
    EXPECT_EQ(m->ChangeMapBytes, (m->Height + 15) / 16 * 16);
    MovieClose(m);
  }
  // The file's own mode is used when the caller names none.
  TestPutLe32(&image, 36, 0x40000000u);
  Movie* m = OpenImage(image);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Width, 128u);
  EXPECT_EQ(m->Height, 96u);
  MovieClose(m);
}

TEST(MovieOpen, AlphaIsHonouredOnlyWhenTheFileHasItAndGreyComesFromTheFile) {
  TestMovieShape s = SmallShape();
  std::vector<uint8_t> plain = TestMakeMovie(s);
  Movie* m = OpenImage(plain, OpenAlpha);
  ASSERT_NE(m, nullptr);
  EXPECT_FALSE(m->OpenFlags & OpenAlpha);
  EXPECT_EQ(m->Planes->Sets[0][PlaneA].Wanted, 0u);
  MovieClose(m);

  s.Config.VideoFlags = VideoFlagAlpha | VideoFlagGrayscale;
  s.Config.Version = 'g';
  std::vector<uint8_t> alpha = TestMakeMovie(s);
  m = OpenImage(alpha, OpenAlpha);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->OpenFlags & OpenAlpha);
  EXPECT_TRUE(m->OpenFlags & OpenGrayscale);
  EXPECT_TRUE(m->OpenFlags & MovieFlagPreI);
  EXPECT_TRUE(m->OpenFlags & MovieFlagSwapUV);
  EXPECT_EQ(m->Planes->Sets[1][PlaneA].Wanted, 1u);
  EXPECT_NE(m->Planes->Sets[1][PlaneA].Pixels, nullptr);
  MovieClose(m);
}

TEST(MovieOpen, PlanesAreZeroedOneSetForASingleFrameAndCountedInTotalMemory) {
  TestMovieShape s = SmallShape();
  s.Config.Width = 37;
  s.Config.Height = 21;
  s.Frames = 1;
  Movie* m = OpenImage(TestMakeMovie(s));
  ASSERT_NE(m, nullptr);
  const VideoPlanes* p = m->Planes;
  EXPECT_EQ(p->SetCount, 1u);
  EXPECT_EQ(p->Width, 40u);
  EXPECT_EQ(p->Height, 24u);
  EXPECT_EQ(p->ChromaWidth, 24u);   // (37 + 1) / 2 = 19, rounded up to 8
  EXPECT_EQ(p->ChromaHeight, 16u);  // 11 -> 16
  EXPECT_EQ(p->Sets[0][PlaneChroma1].Pitch, 32u);
  EXPECT_EQ(p->Sets[1][PlaneY].Pixels, nullptr);
  for (uint32_t i = 0; i < p->Width * p->Height; ++i) ASSERT_EQ(p->Sets[0][PlaneY].Pixels[i], 0);
  EXPECT_GT(m->TotalMemory, sizeof(Movie) + 40u * 24u + 2u * 32u * 16u);
  MovieClose(m);

  Movie* bare = OpenImage(TestMakeMovie(s), OpenNoFrameBuffers);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->Planes, nullptr);
  MovieClose(bare);
}

TEST(MovieOpen, DecodeScratchSizesFollowTheWidth) {
  uint64_t sizes[9];
  MovieComputeScratchSizes(640, sizes);  // W16 = 640, B = 80
  const uint64_t expected[9] = {(80 + 527) & ~15ull,           (40 + 527) & ~15ull,
                                ((64 * 80 + 527) & ~15ull) + 64, ((8 * 80 + 527) & ~15ull) + 8,
                                (80 + 527) & ~15ull,           (80 + 527) & ~15ull,
                                (160 + 1039) & ~15ull,         (160 + 1039) & ~15ull,
                                ((48 * 80 + 527) & ~15ull) + 64};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(sizes[i], expected[i]) << i;
  MovieComputeScratchSizes(17, sizes);  // W16 = 32 (17 + 15 rounded down to 16s)
  EXPECT_EQ(sizes[1], (2u + 527u) & ~15u);
}

TEST(MovieOpen, PendingFrameRateIsUsedOnceAndSlackIsTwoFrames) {
  std::vector<uint8_t> image = TestMakeMovie(SmallShape());
  MovieSetPendingFrameRate(50, 1);
  Movie* m = OpenImage(image, OpenFrameRate);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->FrameRate, 50u);
  EXPECT_EQ(m->FileFrameRate, 25u);
  EXPECT_EQ(m->SlackMs, 40u);
  EXPECT_EQ(m->WindowFrames, 25u);  // from the file's rate, not the override
  MovieClose(m);
  m = OpenImage(image, OpenFrameRate);  // consumed: the file's rate again
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->FrameRate, 25u);
  EXPECT_EQ(m->SlackMs, 80u);
  MovieClose(m);
}

int gCustomOpens = 0;
const std::vector<uint8_t>* gCustomImage = nullptr;

uint32_t CustomReadAt(StreamReader* r, uint32_t offset, void* dest, uint32_t size) {
  if (offset != STREAM_CONTINUE) r->FilePos = offset;
  uint32_t left = uint32_t(gCustomImage->size()) - r->FilePos;
  uint32_t n = size < left ? size : left;
  std::memcpy(dest, gCustomImage->data() + r->FilePos, n);
  r->FilePos += n;
  if (n < size) r->ReadError = 1;
  return n;
}
uint32_t CustomReadFrame(StreamReader* r, uint32_t, uint32_t offset, void* dest, uint32_t size) {
  return CustomReadAt(r, offset, dest, size);
}
uint32_t CustomBufferSize(StreamReader*, uint32_t) { return 0; }
void CustomSetBuffer(StreamReader*, void*, uint32_t, uint32_t, uint32_t) {}
uint32_t CustomFill(StreamReader*, uint32_t) { return 0; }
void CustomClose(StreamReader*) {}
uint32_t CustomBackground(StreamReader*, uint32_t) { return 0; }

int CustomOpener(StreamReader* r, const void*, uint32_t) {
  ++gCustomOpens;
  *r = StreamReader{};
  r->StreamReadAt = CustomReadAt;
  r->StreamReadFrame = CustomReadFrame;
  r->StreamBufferSize = CustomBufferSize;
  r->StreamSetBuffer = CustomSetBuffer;
  r->StreamFill = CustomFill;
  r->StreamClose = CustomClose;
  r->StreamBackground = CustomBackground;
  return 1;
}

int RefusingOpener(StreamReader*, const void*, uint32_t) {
  MovieSetError("The network share is gone.");
  return 0;
}

TEST(MovieOpen, CustomStreamOpenersAreUsedOnceAndKeepTheirErrorText) {
  std::vector<uint8_t> image = TestMakeMovie(SmallShape());
  gCustomImage = &image;
  gCustomOpens = 0;
  MovieSetPendingStreamOpener(CustomOpener);
  Movie* m = MovieOpen("ignored", OpenCustomStream | OpenNoIoThread | OpenNoFillIo);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_EQ(gCustomOpens, 1);
  std::vector<uint8_t> packet = TestFramePacket(image, 0);
  EXPECT_EQ(std::memcmp(m->FramePtr, packet.data(), packet.size()), 0);
  MovieClose(m);

  MovieSetPendingStreamOpener(RefusingOpener);
  EXPECT_EQ(MovieOpen("ignored", OpenCustomStream), nullptr);
  EXPECT_STREQ(MovieGetError(), "The network share is gone.");
  // The opener was consumed: the next open uses the file reader.
  EXPECT_EQ(MovieOpen((TestTempDir() + "/nothing-here.vxa").c_str(), OpenCustomStream), nullptr);
  EXPECT_STREQ(MovieGetError(), "Error opening file.");
}

int gHookCalls = 0;
void CountingCloseHook(Movie*) { ++gHookCalls; }

TEST(MovieClose, CallsTheCloseHookAndAcceptsNull) {
  MovieClose(nullptr);
  gHookCalls = 0;
  MovieSetCloseHook(CountingCloseHook);
  Movie* m = OpenImage(TestMakeMovie(SmallShape()));
  ASSERT_NE(m, nullptr);
  MovieClose(m);
  MovieSetCloseHook(nullptr);
  EXPECT_EQ(gHookCalls, 1);
}

}  // namespace

namespace {

TEST(MovieLogo, TheBuiltInLogoOpensAndDecodesAsOneFrame) {
  uint32_t bytes = 0;
  const uint8_t* image = MovieLogoImage(&bytes);
  MovieSetPendingImageSize(bytes);
  Movie* m = MovieOpen(image, OpenFromMemory);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_EQ(m->Width, 224u);
  EXPECT_EQ(m->Height, 252u);
  EXPECT_EQ(m->Frames, 1u);
  EXPECT_EQ(m->FrameRate, 10u);
  EXPECT_EQ(m->NumTracks, 0u);
  EXPECT_EQ(m->Planes->SetCount, 1u);
  ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
  MovieDecodeFrame(m, DecodeAll);
  MovieFrameEnd(m, MovieTimerMs());
  // The emblem's orange stroke crosses the top middle; the corners are the dark background.
  const VideoPlane& y = m->Planes->Sets[m->Planes->Current][PlaneY];
  EXPECT_LT(y.Pixels[0], 60);
  EXPECT_GT(y.Pixels[40 * y.Pitch + 60], 110);
  MovieClose(m);
}

}  // namespace
