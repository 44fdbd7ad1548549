#include "tests/support/test_support.h"

#include <cstdio>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    std::random_device rd;
    path = fs::temp_directory_path() / ("vexa-test-" + std::to_string(rd()));
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

}  // namespace

std::string TestTempDir() {
  static TempDir dir;
  return dir.path.string();
}

std::string TestWriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = (fs::path(TestTempDir()) / name).string();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

std::vector<uint8_t> TestMakeMovie(const TestMovieShape& shape) {
  MovieWriter w;
  MovieWriterInit(&w, shape.Config);
  std::mt19937 rng(12345);
  for (uint32_t k = 0; k < shape.Frames; ++k) {
    MovieWriterFrame f;
    f.IsKey = shape.KeyEvery && k % shape.KeyEvery == 0;
    f.Audio.resize(shape.Config.Tracks.size());
    for (auto& a : f.Audio) a.assign(shape.AudioBytes, uint8_t(k));
    f.Video.resize(shape.VideoBytes);
    for (auto& b : f.Video) b = uint8_t(rng());
    MovieWriterAddFrame(&w, f);
  }
  return MovieWriterImage(&w);
}

uint32_t TestGetLe32(const std::vector<uint8_t>& image, size_t offset) {
  return uint32_t(image[offset]) | uint32_t(image[offset + 1]) << 8 |
         uint32_t(image[offset + 2]) << 16 | uint32_t(image[offset + 3]) << 24;
}

void TestPutLe32(std::vector<uint8_t>* image, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*image)[offset + i] = uint8_t(value >> (8 * i));
}

std::vector<uint8_t> TestFramePacket(const std::vector<uint8_t>& image, uint32_t frame) {
  uint32_t tracks = TestGetLe32(image, 40);
  size_t index = 44 + 12 * size_t(tracks);
  uint32_t start = TestGetLe32(image, index + 4 * frame) & ~1u;
  uint32_t end = TestGetLe32(image, index + 4 * (frame + 1)) & ~1u;
  return std::vector<uint8_t>(image.begin() + start, image.begin() + end);
}
