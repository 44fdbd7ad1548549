// Opening and closing movies from every kind of source, and the texts of failed opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/core/fake_sound.h"

namespace {

using MovieOpening = MovieTest;

std::string gCustomPath;  // what the custom opener reads, whatever name the open was given
int gCloses = 0;

// Every source delivers frame 1 at the open and frame 2 on request, zero-padded when streamed
// into the frame buffer. Memory images are used in place, a movie whose peak second nearly fills
// it is preloaded, larger ones stream, and a caller's handle stays open at the end.
TEST_F(MovieOpening, EverySourceDeliversTheFramePackets) {
  const std::vector<uint8_t> large = TestMakeMovie(Shape(400, 1000));
  const std::vector<uint8_t> small = TestMakeMovie(Shape(25, 40000));  // preloaded
  const std::string smallPath = TestWriteFile("small.vxa", small);
  std::vector<uint8_t> wrapped(5000 + large.size(), 0xEE);
  std::copy(large.begin(), large.end(), wrapped.begin() + 5000);
  const void* handle = TestOpenHandle(TestWriteFile("wrapped.bin", wrapped), 5000);
  gCustomPath = TestWriteFile("large.vxa", large);
  MovieSetPendingStreamOpener([](StreamReader* r, const void*, uint32_t flags) {
    return StreamOpenFile(r, gCustomPath.c_str(), flags);
  });  // used up by the first open
  MovieSetCloseHook([](Movie*) { ++gCloses; });
  const struct {
    const void* name;
    uint32_t flags;
    const std::vector<uint8_t>& image;
    bool preloaded;
  } sources[] = {
      {"no such name", OpenCustomStream | OpenNoIoThread, large, false},
      {large.data(), OpenFromMemory, large, true},
      {gCustomPath.c_str(), 0, large, false},
      {smallPath.c_str(), 0, small, true},
      {handle, OpenFromHandle | OpenNoIoThread, large, false},
  };
  for (const auto& s : sources) {
    SCOPED_TRACE(&s - sources);
    MovieSetPendingImageSize(uint32_t(s.image.size()));
    m = MovieOpen(s.name, s.flags);
    ASSERT_NE(m, nullptr) << MovieGetError();
    EXPECT_EQ(m->Preloaded != nullptr, s.preloaded);
    for (uint32_t frame = 1; frame <= 2; MovieLoadFramePacket(m, ++frame)) {
      std::vector<uint8_t> packet = TestFramePacket(s.image, frame - 1);
      packet.resize(packet.size() + (s.preloaded ? 0 : MOVIE_FRAME_PADDING));
      ASSERT_EQ(m->FrameNum, frame);
      EXPECT_EQ(std::memcmp(m->FramePtr, packet.data(), packet.size()), 0) << frame;
    }
    MovieClose(m);
  }
  m = nullptr;
  MovieSetCloseHook(nullptr);
  EXPECT_EQ(gCloses, 5);
  EXPECT_GE(TestHandlePosition(handle), 5000);
  TestCloseHandle(handle);
}

// The header and index rules have their own tests; here each source's failures get their texts.
TEST(MovieOpen, RefusalsSayWhy) {
  std::vector<uint8_t> image = TestMakeMovie(MovieTest::Shape(10, 1000)), cut = image;
  TestPutLe32(&image, 52, TestGetLe32(image, 48));  // a repeated index entry
  EXPECT_EQ(TestOpenImage(image), nullptr);
  EXPECT_STREQ(MovieGetError(), "This file has bad frame size data.");
  cut.resize(44 + 20);  // the header whole, the index cut short
  const std::string missing = TestTempDir() + "/missing.vxa";
  MovieSetPendingStreamOpener([](StreamReader*, const void*, uint32_t) {
    return MovieSetError("The network share is gone."), 0;
  });
  const struct {
    std::string name;
    uint32_t flags;
    const char* error;
  } files[] = {{"ignored", OpenCustomStream, "The network share is gone."},
               {missing, OpenCustomStream, "Error opening file."},  // the opener is used up
               {missing, 0, "Error opening file."},
               {TestTempDir(), 0, "Error opening file."},
               {TestWriteFile("empty.vxa", {}), 0, "Not a Vexa file."},
               {TestWriteFile("cut.vxa", cut), 0, "Error reading Vexa header."}};
  for (const auto& f : files) {
    EXPECT_EQ(MovieOpen(f.name.c_str(), f.flags), nullptr) << f.name;
    EXPECT_STREQ(MovieGetError(), f.error) << f.name;
  }
}

// The caller's scale modes are the pixel tests' business; the file's own mode 4 doubles both ways.
TEST_F(MovieOpening, TheFilesScaleModeShapesTheMovie) {
  TestMovieShape s = Shape(10, 1000);
  s.Config.VideoFlags = 4u << OpenScaleShift;
  Open(s);
  EXPECT_EQ((std::vector<uint32_t>{m->Width, m->Height}), (std::vector<uint32_t>{96, 64}));
}

}  // namespace
