#include "tests/support/test_support.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "io/timer.h"
#include "vexa/vexa.h"

namespace fs = std::filesystem;

static uint64_t gClockMs = 0;
constexpr auto kMs32 = [] { return uint32_t(gClockMs); };  // the tick count and multimedia time
const MovieTimerSource kClock = {[] { return uint64_t{1000}; }, [] { return gClockMs; }, kMs32,
                                 kMs32};

std::string TestTempDir() {
  static struct TempDir {
    fs::path path =
        fs::temp_directory_path() / ("vexa-test-" + std::to_string(std::random_device()()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path, ignored); }
    std::error_code ignored;  // a directory that cannot be removed is left to the system
  } dir;
  return dir.path.string();
}

void TestClockUse(bool use) {
  MovieTimerUseSource(use ? &kClock : nullptr);
  if (use) MovieTimerMs();  // the first reading is 0, which a run would take for "no run"
  gClockMs += 1000;
}

void TestClockAdvance(uint32_t ms) { gClockMs += ms; }

std::string TestWriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = (fs::path(TestTempDir()) / name).string();
  std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
  return path;
}

std::vector<uint8_t> TestMakeMovie(const TestMovieShape& shape) {
  MovieWriter w;
  MovieWriterInit(&w, shape.Config);
  std::mt19937 rng(12345);
  for (uint32_t k = 0; k < shape.Frames; ++k) {
    MovieWriterFrame f;
    f.IsKey = shape.KeyEvery && k % shape.KeyEvery == 0;
    f.Audio.assign(shape.Config.Tracks.size(), std::vector<uint8_t>(shape.AudioBytes, uint8_t(k)));
    for (uint32_t i = 0; i < shape.VideoBytes; ++i) f.Video.push_back(uint8_t(rng()));
    MovieWriterAddFrame(&w, f);
  }
  return MovieWriterImage(&w);
}

std::vector<uint8_t> TestEncodeMovie(const VideoEncoderConfig& config, uint32_t frames,
                                     TestPaint paint) {
  const uint32_t w = config.Width, h = config.Height, cw = (w + 1) / 2;
  MovieWriter writer;
  MovieWriterInit(&writer, {config.Version, w, h, 25, 1, VideoEncoderVideoFlags(&config), {}, 0});
  VideoEncoder encoder;
  if (!VideoEncoderInit(&encoder, &config)) return {};
  std::vector<uint8_t> y(size_t(w) * h), u(size_t(cw) * ((h + 1) / 2)), v(u.size());
  VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr}, {w, cw, cw, 0}};
  bool ok = true;
  for (uint32_t k = 0; k < frames && ok; ++k) {
    paint(k, w, h, y.data(), u.data(), v.data());
    VideoEncodedFrame e;
    ok = VideoEncodeFrame(&encoder, &picture, &e) && MovieWriterAddFrame(&writer, {{}, e.Data, e.IsKey});
  }
  VideoEncoderFree(&encoder);
  return ok ? MovieWriterImage(&writer) : std::vector<uint8_t>();
}

uint32_t TestGetLe32(const std::vector<uint8_t>& image, size_t offset) {
  return uint32_t(image[offset]) | uint32_t(image[offset + 1]) << 8 |
         uint32_t(image[offset + 2]) << 16 | uint32_t(image[offset + 3]) << 24;
}

void TestPutLe32(std::vector<uint8_t>* image, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) image->at(offset + i) = uint8_t(value >> (8 * i));
}

std::vector<uint8_t> TestFramePacket(const std::vector<uint8_t>& image, uint32_t frame) {
  size_t entry = 44 + 12 * size_t(TestGetLe32(image, 40)) + 4 * size_t(frame);
  uint32_t start = TestGetLe32(image, entry) & ~1u, end = TestGetLe32(image, entry + 4) & ~1u;
  return std::vector<uint8_t>(image.begin() + start, image.begin() + end);
}
