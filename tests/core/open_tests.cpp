// Opening and closing movies from every kind of source, with every error text of the open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/core/fake_sound.h"

namespace {

TestMovieShape Shape(uint32_t frames = 10, uint32_t videoBytes = 1000) {
  TestMovieShape s;
  s.Config.Width = 64, s.Config.Height = 48;
  s.Frames = frames, s.VideoBytes = videoBytes;
  return s;
}

std::string gCustomPath;  // what the custom opener reads, whatever name the open was given
int CustomOpener(StreamReader* r, const void*, uint32_t flags) {
  return StreamOpenFile(r, gCustomPath.c_str(), flags);
}
int RefusingOpener(StreamReader*, const void*, uint32_t) {
  MovieSetError("The network share is gone.");
  return 0;
}

// Every source delivers frame 1 at the open and frame 2 on request, zero-padded when streamed
// into the frame buffer. Memory images are used in place, a movie whose peak second nearly fills
// it is preloaded, larger ones stream, and a caller's handle stays open at the end.
TEST(MovieOpen, EverySourceDeliversTheFramePackets) {
  const std::vector<uint8_t> large = TestMakeMovie(Shape(400));
  const std::vector<uint8_t> small = TestMakeMovie(Shape(25, 40000));  // preloaded
  const std::string smallPath = TestWriteFile("small.vxa", small);
  std::vector<uint8_t> wrapped(5000 + large.size(), 0xEE);
  std::copy(large.begin(), large.end(), wrapped.begin() + 5000);
  const std::string largePath = TestWriteFile("large.vxa", large);
  const void* handle = TestOpenHandle(TestWriteFile("wrapped.bin", wrapped), 5000);
  gCustomPath = largePath;
  struct {
    const char* what;
    const void* name;
    uint32_t flags;
    const std::vector<uint8_t>& image;
    bool preloaded;
  } const sources[] = {
      {"memory", large.data(), OpenFromMemory, large, true},
      {"streamed file", largePath.c_str(), 0, large, false},
      {"preloaded file", smallPath.c_str(), 0, small, true},
      {"handle", handle, OpenFromHandle | OpenNoIoThread, large, false},
      {"custom stream", "no such name", OpenCustomStream | OpenNoIoThread, large, false},
  };
  for (const auto& s : sources) {
    SCOPED_TRACE(s.what);
    MovieSetPendingImageSize(uint32_t(s.image.size()));
    MovieSetPendingStreamOpener(CustomOpener);  // used by OpenCustomStream only
    Movie* m = MovieOpen(s.name, s.flags);
    ASSERT_NE(m, nullptr) << MovieGetError();
    EXPECT_STREQ(MovieGetError(), "");
    EXPECT_EQ(m->Preloaded != nullptr, s.preloaded);
    for (uint32_t frame = 1; frame <= 2; ++frame) {
      if (frame == 2) MovieLoadFramePacket(m, 2);
      std::vector<uint8_t> packet = TestFramePacket(s.image, frame - 1);
      if (!s.preloaded) packet.resize(packet.size() + MOVIE_FRAME_PADDING);
      ASSERT_EQ(m->FrameNum, frame);
      EXPECT_EQ(std::memcmp(m->FramePtr, packet.data(), packet.size()), 0) << frame;
    }
    MovieClose(m);
  }
  EXPECT_GE(TestHandlePosition(handle), 5000);
  TestCloseHandle(handle);
  MovieSetPendingStreamOpener(nullptr);
}

const char* const kBadSizes = "This file has bad frame size data.";

struct ErrorCase {
  const char* what;
  void (*edit)(std::vector<uint8_t>*);  // of a 10-frame movie whose index starts at byte 44
  const char* error;
};
const ErrorCase kErrorCases[] = {
    {"repeated index entry", [](auto* i) { TestPutLe32(i, 52, TestGetLe32(*i, 48)); }, kBadSizes},
    {"last frame past the file",  // with frames of any size allowed
     [](auto* i) {
       TestPutLe32(i, 84, uint32_t(i->size()) + 2);
       TestPutLe32(i, 12, TestGetLe32(*i, 4));
     },
     kBadSizes},
    {"frame past the largest", [](auto* i) { TestPutLe32(i, 12, TestGetLe32(*i, 12) - 2); },
     kBadSizes},
    {"image shorter than its header", [](auto* i) { i->resize(i->size() - 100); }, kBadSizes},
    {"no frames", [](auto* i) { TestPutLe32(i, 8, 0); },
     "The file doesn't contain any compressed frames yet."},
    {"too wide", [](auto* i) { TestPutLe32(i, 20, 32768); }, "The file has a corrupt header."},
};

TEST(MovieOpen, RefusalsSayWhy) {
  for (const ErrorCase& c : kErrorCases) {
    std::vector<uint8_t> image = TestMakeMovie(Shape());
    c.edit(&image);
    EXPECT_EQ(TestOpenImage(image), nullptr) << c.what;
    EXPECT_STREQ(MovieGetError(), c.error) << c.what;
  }
  std::vector<uint8_t> cut = TestMakeMovie(Shape());
  cut.resize(44 + 20);  // the header whole, the index cut short
  const struct {
    std::string name;
    const char* error;
  } files[] = {{TestTempDir() + "/missing.vxa", "Error opening file."},
               {TestTempDir(), "Error opening file."},
               {TestWriteFile("empty.vxa", {}), "Not a Vexa file."},
               {TestWriteFile("cut.vxa", cut), "Error reading Vexa header."}};
  for (const auto& f : files) {
    EXPECT_EQ(MovieOpen(f.name.c_str(), 0), nullptr) << f.name;
    EXPECT_STREQ(MovieGetError(), f.error) << f.name;
  }
  MovieSetPendingStreamOpener(RefusingOpener);
  EXPECT_EQ(MovieOpen("ignored", OpenCustomStream), nullptr);
  EXPECT_STREQ(MovieGetError(), "The network share is gone.");
  EXPECT_EQ(MovieOpen(files[0].name.c_str(), OpenCustomStream), nullptr);  // opener used up
  EXPECT_STREQ(MovieGetError(), "Error opening file.");
}

TEST(MovieOpen, FlagsFromTheCallerAndTheFileShapeTheMovie) {
  std::vector<uint8_t> image = TestMakeMovie(Shape());
  const uint32_t sizes[8][2] = {{64, 48}, {64, 96}, {64, 96}, {128, 48},
                                {128, 96}, {128, 96}, {64, 48}, {64, 48}};
  for (uint32_t mode = 0; mode <= 8; ++mode) {  // 8: the file's own mode, doubled both ways
    if (mode == 8) TestPutLe32(&image, 36, 0x40000000u);
    Movie* m = TestOpenImage(image, mode == 8 ? 0 : mode << OpenScaleShift);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Width, mode == 8 ? 128u : sizes[mode][0]) << mode;
    EXPECT_EQ(m->Height, mode == 8 ? 96u : sizes[mode][1]) << mode;
    MovieClose(m);
  }
  TestMovieShape s = Shape(1);
  s.Config.VideoFlags = VideoFlagAlpha | VideoFlagGrayscale, s.Config.Version = 'g';
  for (uint32_t fileAlpha : {0u, 1u}) {  // alpha only when the file has it; grey from the file
    image = TestMakeMovie(fileAlpha ? s : Shape(1));
    Movie* m = TestOpenImage(image, OpenAlpha);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ((m->OpenFlags & OpenAlpha) != 0, fileAlpha != 0);
    EXPECT_EQ((m->OpenFlags & OpenGrayscale) != 0, fileAlpha != 0);
    EXPECT_EQ(m->Planes->Sets[0][PlaneA].Wanted, fileAlpha);
    EXPECT_EQ(m->Planes->SetCount, 1u);  // a one-frame movie needs no second set
    MovieClose(m);
  }
}

TEST(MovieOpen, APendingFrameRateIsUsedOnce) {
  std::vector<uint8_t> image = TestMakeMovie(Shape());
  MovieSetPendingFrameRate(50, 1);
  for (uint32_t rate : {50u, 25u}) {
    Movie* m = TestOpenImage(image, OpenFrameRate);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->FrameRate, rate);
    EXPECT_EQ(m->SlackMs, 2000u / rate);  // two frame times
    MovieClose(m);
  }
}

int gCloses = 0;

TEST(MovieLogo, TheBuiltInLogoOpensAndDecodesAndTheCloseHookSeesItGo) {
  uint32_t bytes = 0;
  const uint8_t* logo = MovieLogoImage(&bytes);
  MovieSetPendingImageSize(bytes);
  Movie* m = MovieOpen(logo, OpenFromMemory);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_EQ(m->Width, 224u);
  EXPECT_EQ(m->Height, 252u);
  ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
  MovieDecodeFrame(m, DecodeAll);
  // The emblem's orange stroke crosses the top middle; the corners are the dark background.
  const VideoPlane& y = m->Planes->Sets[m->Planes->Current][PlaneY];
  EXPECT_LT(y.Pixels[0], 60);
  EXPECT_GT(y.Pixels[40 * y.Pitch + 60], 110);
  MovieSetCloseHook([](Movie*) { ++gCloses; });
  MovieClose(m);
  MovieClose(nullptr);
  MovieSetCloseHook(nullptr);
  EXPECT_EQ(gCloses, 1);
}

}  // namespace
