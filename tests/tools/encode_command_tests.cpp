// vexa encode end to end: Y4M, PNG and WAV input through our encoders, back through the decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audio_decoder.h"
#include "tests/support/test_support.h"
#include "tools/audio_track_encoder.h"
#include "tools/commands.h"
#include "tools/png_io.h"

namespace {

int Encode(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return CommandEncode(int(argv.size()), argv.data());
}

int Decode(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return CommandDecode(int(argv.size()), argv.data());
}

std::vector<uint8_t> Slurp(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
    std::fclose(f);
  }
  return bytes;
}

// A moving gradient with a bright square: `frames` pictures of w x h as planar Y, U, V planes
// with the chroma of the given Y4M sampling (420, 422 or 444).
struct Clip {
  uint32_t w, h, frames;
  std::string sampling = "420";
  uint32_t ChromaW() const { return sampling == "444" ? w : (w + 1) / 2; }
  uint32_t ChromaH() const { return sampling == "420" ? (h + 1) / 2 : h; }
  uint8_t Luma(uint32_t f, uint32_t x, uint32_t y) const {
    bool square = x >= 4 + 2 * f && x < 14 + 2 * f && y >= 6 && y < 16;
    return square ? 220 : uint8_t(40 + (x * 3 + y * 2 + f * 4) % 150);
  }
  uint8_t ChromaU(uint32_t x, uint32_t) const { return uint8_t(100 + x % 40); }
  uint8_t ChromaV(uint32_t, uint32_t y) const { return uint8_t(150 - y % 30); }
};

std::string WriteY4m(const char* name, const Clip& c) {
  std::vector<uint8_t> out;
  std::string header = "YUV4MPEG2 W" + std::to_string(c.w) + " H" + std::to_string(c.h) +
                       " F30000:1001 Ip A1:1 C" + c.sampling + "\n";
  out.insert(out.end(), header.begin(), header.end());
  for (uint32_t f = 0; f < c.frames; ++f) {
    for (char ch : std::string("FRAME\n")) out.push_back(uint8_t(ch));
    for (uint32_t y = 0; y < c.h; ++y)
      for (uint32_t x = 0; x < c.w; ++x) out.push_back(c.Luma(f, x, y));
    for (uint32_t y = 0; y < c.ChromaH(); ++y)
      for (uint32_t x = 0; x < c.ChromaW(); ++x) out.push_back(c.ChromaU(x, y));
    for (uint32_t y = 0; y < c.ChromaH(); ++y)
      for (uint32_t x = 0; x < c.ChromaW(); ++x) out.push_back(c.ChromaV(x, y));
  }
  return TestWriteFile(name, out);
}

double LumaPsnr(const Clip& c, const std::vector<uint8_t>& i420) {
  const size_t frameBytes = size_t(c.w) * c.h + 2 * size_t((c.w + 1) / 2) * ((c.h + 1) / 2);
  if (i420.size() != frameBytes * c.frames) return 0;
  double error = 0;
  for (uint32_t f = 0; f < c.frames; ++f)
    for (uint32_t y = 0; y < c.h; ++y)
      for (uint32_t x = 0; x < c.w; ++x) {
        double d = double(i420[f * frameBytes + y * c.w + x]) - c.Luma(f, x, y);
        error += d * d;
      }
  error /= double(c.frames) * c.w * c.h;
  return error == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / error);
}

TEST(VexaEncode, Y4mRoundTripKeepsThePictureAndTheRate) {
  for (const char* sampling : {"420", "422", "444"}) {
    Clip clip{45, 27, 6, sampling};
    std::string in = WriteY4m("clip.y4m", clip), movie = TestTempDir() + "/clip.vxa";
    ASSERT_EQ(Encode({"-i", in, "-o", movie, "--quality", "90", "-q"}), 0) << sampling;
    std::string out = TestTempDir() + "/clip.yuv";
    ASSERT_EQ(Decode({movie, "-o", out, "-q"}), 0);
    EXPECT_GT(LumaPsnr(clip, Slurp(out)), 30.0) << sampling;
    std::vector<uint8_t> file = Slurp(movie);
    EXPECT_EQ(TestGetLe32(file, 28), 30000u);  // the Y4M's frame rate
    EXPECT_EQ(TestGetLe32(file, 32), 1001u);
  }
}

TEST(VexaEncode, GreyMoviesDecodeToNeutralChroma) {
  Clip clip{32, 16, 2};
  std::string in = WriteY4m("grey.y4m", clip), movie = TestTempDir() + "/grey.vxa";
  ASSERT_EQ(Encode({"-i", in, "-o", movie, "--gray", "--version", "h", "-q"}), 0);
  std::string out = TestTempDir() + "/grey.yuv";
  ASSERT_EQ(Decode({movie, "-o", out, "-q"}), 0);
  std::vector<uint8_t> yuv = Slurp(out);
  ASSERT_EQ(yuv.size(), 2u * (32 * 16 + 2 * 16 * 8));
  for (size_t i = 32 * 16; i < 32 * 16 + 2 * 16 * 8; ++i) ASSERT_EQ(yuv[i], 128) << i;
}

TEST(VexaEncode, ClearErrorsForBadInput) {
  std::string movie = TestTempDir() + "/bad.vxa";
  EXPECT_EQ(Encode({"-i", TestTempDir() + "/missing.y4m", "-o", movie, "-q"}), 1);
  EXPECT_EQ(Encode({"-i", TestWriteFile("text.y4m", {'h', 'i', '\n'}), "-o", movie, "-q"}), 1);
  std::string cut = WriteY4m("cut.y4m", Clip{16, 16, 1});
  std::vector<uint8_t> bytes = Slurp(cut);
  bytes.resize(bytes.size() - 10);
  EXPECT_EQ(Encode({"-i", TestWriteFile("cut.y4m", bytes), "-o", movie, "-q"}), 1);
  EXPECT_EQ(Encode({"-i", cut, "-o", movie, "--version", "e"}), 2);
  EXPECT_EQ(Encode({"-i", cut}), 2);
}

TEST(VexaEncode, PngSequencesBecomeMoviesAndSizesMustAgree) {
  if (!PngAvailable()) GTEST_SKIP() << "no PNG support in this build";
  std::string dir = TestTempDir() + "/pngs";
  std::vector<uint8_t> rgb(24 * 16 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
  std::string error;
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(PngWrite(dir + "/a.png", rgb.data(), 24, 16, 3, &error)) << error;
  ASSERT_TRUE(PngWrite(dir + "/b.png", rgb.data(), 24, 16, 3, &error)) << error;
  std::string movie = TestTempDir() + "/png.vxa";
  ASSERT_EQ(Encode({"-i", dir, "-o", movie, "-q"}), 0);
  EXPECT_EQ(TestGetLe32(Slurp(movie), 8), 2u);  // two frames
  ASSERT_TRUE(PngWrite(dir + "/c.png", rgb.data(), 16, 24, 3, &error));
  EXPECT_EQ(Encode({"-i", dir, "-o", movie, "-q"}), 1);
}

void PutLe(std::vector<uint8_t>* out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

std::string WriteWav(const char* name, uint32_t rate, uint32_t channels, uint32_t frames) {
  std::vector<uint8_t> w;
  uint32_t data = frames * channels * 2;
  for (char c : std::string("RIFF")) w.push_back(uint8_t(c));
  PutLe(&w, 36 + data, 4);
  for (char c : std::string("WAVEfmt ")) w.push_back(uint8_t(c));
  PutLe(&w, 16, 4), PutLe(&w, 1, 2), PutLe(&w, channels, 2), PutLe(&w, rate, 4);
  PutLe(&w, rate * channels * 2, 4), PutLe(&w, channels * 2, 2), PutLe(&w, 16, 2);
  for (char c : std::string("data")) w.push_back(uint8_t(c));
  PutLe(&w, data, 4);
  for (uint32_t i = 0; i < frames * channels; ++i)
    PutLe(&w, uint32_t(int32_t(8000 * std::sin(i * 0.03))), 2);
  return TestWriteFile(name, w);
}

TEST(VexaEncode, SoundTracksKeepPaceWithThePictures) {
  Clip clip{32, 32, 75};  // 2.5 s at 29.97 fps
  std::string video = WriteY4m("long.y4m", clip);
  std::string music = WriteWav("music.wav", 44100, 2, 44100 * 3);
  std::string speech = WriteWav("speech.wav", 16000, 1, 16000 * 3);
  std::string movie = TestTempDir() + "/sound.vxa";
  ASSERT_EQ(Encode({"-i", video, "-o", movie, "--fps", "25", "--audio", music, "--audio", speech,
                    "--audio-id", "7", "--audio-variant", "dct", "--audio-bits", "8", "-q"}),
            0);
  std::string dir = TestTempDir() + "/sound";
  std::filesystem::create_directories(dir);
  ASSERT_EQ(Decode({movie, "--wav-dir", dir, "-q"}), 0);
  // 75 frames at 25 fps are 3 s: all of each file's sound, to within one transform block.
  std::vector<uint8_t> t0 = Slurp(dir + "/t0.wav"), t7 = Slurp(dir + "/t7.wav");
  ASSERT_GT(t0.size(), 44u);
  ASSERT_GT(t7.size(), 44u);
  EXPECT_NEAR(double(t0.size() - 44) / 4, 44100.0 * 3, 2048);
  EXPECT_NEAR(double(t7.size() - 44), 16000.0 * 3, 1024);  // 8-bit mono: a byte a sample
  EXPECT_EQ(t7[34], 8);                                      // bits per sample
}

}  // namespace

namespace {

// Over a long movie at an awkward frame rate the packets' sound stays within one block of the
// pictures' time: after N frames the counts add up to N x rate / fps give or take a block.
TEST(AudioTrackEncoding, SoundKeepsPaceOverALongMovie) {
  for (uint32_t flags : {0u, uint32_t(AudioFlagDct)}) {
    AudioTrackEncoder t;
    t.Sound.Rate = 44100;
    t.Sound.Channels = 2;
    const uint32_t frames = 3000, rateNum = 30000, rateDen = 1001;  // 100 s at 29.97 fps
    t.Sound.Samples.resize(size_t(44100) * 101 * 2);
    for (size_t i = 0; i < t.Sound.Samples.size(); ++i)
      t.Sound.Samples[i] = int16_t(5000 * std::sin(double(i / 2) * 0.01));
    MovieWriterTrack entry;
    std::string error;
    ASSERT_TRUE(AudioTrackStart(&t, flags, 40, 0, 16, rateNum, rateDen, &entry, &error)) << error;
    const double blockBytes = 2048.0 * 4;  // the longest block at this rate, in stereo bytes
    uint64_t decoded = 0;
    for (uint32_t k = 0; k < frames; ++k) {
      std::vector<uint8_t> packet = AudioTrackPacket(&t, k, rateNum, rateDen);
      ASSERT_LE(packet.size() >= 4 ? TestGetLe32(packet, 0) : 0u, entry.MaxBytes);
      if (packet.size() >= 4) decoded += TestGetLe32(packet, 0);
      double expected = double(k + 1) * 44100.0 * rateDen / rateNum * 4;
      ASSERT_NEAR(double(decoded), expected, blockBytes) << "frame " << k;
    }
    AudioTrackFree(&t);
  }
}

}  // namespace
