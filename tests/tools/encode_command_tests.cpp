// vexa encode end to end: Y4M, PNG and WAV input through our encoders, back through the decoder.
#include <algorithm>
#include <filesystem>

#include "audio/audio_decoder.h"
#include "tests/tools/tool_tests.h"
#include "tools/audio_track_encoder.h"
#include "tools/png_io.h"

namespace {

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
  const struct { const char* sampling; bool grey; } rows[] = {{"420", false}, {"422", false}, {"444", false}, {"420", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.sampling) + (row.grey ? " grey" : ""));
    const Clip clip{45, 27, 6, row.sampling};
    std::string in = WriteY4m("clip.y4m", clip), movie = TestTempDir() + "/clip.vxa", out = movie + ".yuv";
    std::vector<std::string> args = {"encode", "-i", in, "-o", movie, "--quality", "90", "-q"};
    if (row.grey) args.insert(args.end(), {"--gray", "--version", "h"});
    ASSERT_EQ(Vexa(args), 0);
    ASSERT_EQ(Vexa({"decode", movie, "-o", out, "-q"}), 0);
    const std::vector<uint8_t> yuv = Slurp(out), file = Slurp(movie);
    EXPECT_GT(LumaPsnr(clip, yuv), 30.0);
    EXPECT_EQ(TestGetLe32(file, 28), 30000u);  // the Y4M's frame rate
    EXPECT_EQ(TestGetLe32(file, 32), 1001u);
    const long luma = 45 * 27, chroma = 2 * 23 * 14;  // a grey movie's chroma is neutral
    EXPECT_EQ(row.grey ? std::count(yuv.begin() + luma, yuv.begin() + luma + chroma, 128) : chroma, chroma);
  }
}

struct Outcome {
  const char* trace;
  std::vector<std::string> args;  // after "encode -o OUT -q"
  int status;
  std::string message;  // a part of what goes to stderr
  uint32_t frames = 0;  // when not 0: the frames the movie holds, and its sound plays
};

// The first track's largest packet in the track table holds for each of its packets.
void ExpectTrackSizesHold(const std::vector<uint8_t>& movie, uint32_t frames) {
  for (uint32_t k = 0, tracks = TestGetLe32(movie, 40); tracks && k < frames; ++k) {
    const uint32_t packet = TestGetLe32(movie, 44 + 12 * tracks + 4 * k) & ~1u;
    ASSERT_LE(packet + 8u, movie.size());
    EXPECT_LE(TestGetLe32(movie, packet) ? TestGetLe32(movie, packet + 4) : 0u, TestGetLe32(movie, 44)) << k;
  }
}

// Runs each row in a child process with little memory to spare: claims that the input does not
// hold cost no more than the input, and nothing ends in an abort.
void ExpectOutcomes(const std::vector<Outcome>& rows) {
  const std::string out = TestTempDir() + "/outcome.vxa", wavDir = TestTempDir() + "/outcome";
  for (const Outcome& row : rows) {
    SCOPED_TRACE(row.trace);
    std::vector<std::string> args = {"encode", "-o", out, "-q"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    std::remove(out.c_str());
    std::string err;
    EXPECT_EQ(VexaInChild(args, &err), row.status) << err;
    EXPECT_NE(err.find(row.message), std::string::npos) << err;
    if (!row.frames) continue;
    const std::vector<uint8_t> movie = Slurp(out);
    if (movie.size() < 12) continue;  // the status check has failed
    EXPECT_EQ(TestGetLe32(movie, 8), row.frames);
    ExpectTrackSizesHold(movie, row.frames);
    std::filesystem::remove_all(wavDir);
    EXPECT_EQ(Vexa({"decode", out, "--wav-dir", wavDir, "-q"}), 0);
    if (std::find(args.begin(), args.end(), "--audio") != args.end()) {
      EXPECT_GT(Slurp(wavDir + "/t0.wav").size(), 44u + 1000);  // the player kept the track
    }
  }
}

std::string Text(const char* name, const std::string& text) {
  return TestWriteFile(name, {text.begin(), text.end()});
}

TEST(VexaEncode, EveryInputGetsAClearAnswer) {
  const std::string y4m = WriteY4m("two.y4m", Clip{16, 16, 2}), percent = TestTempDir() + "/50%d.y4m";
  std::filesystem::copy_file(y4m, percent, std::filesystem::copy_options::overwrite_existing);
  std::string longLines = "YUV4MPEG2 W16 H16\n";  // frame lines with 5000 bytes of parameters
  for (int f = 0; f < 2; ++f) longLines += "FRAME X" + std::string(5000, 'x') + "\n" + std::string(384, 'd');
  const std::string wav8k = WriteWav("8k.wav", 8000, 1, 16000);
  ExpectOutcomes({
      {"claims 32767x32767, holds nothing", {"-i", Text("big.y4m", "YUV4MPEG2 W32767 H32767 C444\nFRAME\n")},
       1, "truncated Y4M frame in"},
      {"10-bit 4:2:0", {"-i", Text("p10.y4m", "YUV4MPEG2 W16 H16 C420p10\n")}, 1, "colour space: C420p10"},
      {"width past 32 bits", {"-i", Text("wrap.y4m", "YUV4MPEG2 W4294967297 H16\n")}, 1, ": W4294967297 (1 to"},
      {"width with text", {"-i", Text("abc.y4m", "YUV4MPEG2 W16abc H16\n")}, 1, ": W16abc (1 to 32767)"},
      {"frame lines of 5000 bytes", {"-i", Text("long.y4m", longLines)}, 0, "", 2},
      {"'%' in a Y4M file's name", {"-i", percent}, 0, "", 2},
      {"broken alpha input", {"-i", y4m, "--alpha-input", Text("a.y4m", "YUV4MPEG2 W16 H16\nFRAME\nxx")},
       1, "alpha input: truncated Y4M frame in"},
      {"frame rate above 1000", {"-i", y4m, "--fps", "4294967295/1"}, 1, "the frame rate 4294967295/1 is outside"},
      {"--fps 25x", {"-i", y4m, "--fps", "25x"}, 2, "--fps takes N or N/D, whole numbers from 1, not '25x'"},
      {"--fps 25/", {"-i", y4m, "--fps", "25/"}, 2, "--fps takes N or N/D, whole numbers from 1, not '25/'"},
      {"--quality 101", {"-i", y4m, "--quality", "101"}, 2, "--quality takes 0 to 100, not '101'"},
      {"--keyint -1", {"-i", y4m, "--keyint", "-1"}, 2, "--keyint takes 0 to 4294967295, not '-1'"},
      {"--version e", {"-i", y4m, "--version", "e"}, 2, "--version takes f, g, h or i, not 'e'"},
      {"--version missing", {"-i", y4m, "--version"}, 2, "--version needs a value"},
      {"300 Hz sound", {"-i", y4m, "--audio", WriteWav("300.wav", 300, 1, 600)}, 1,
       "sound track 0: one frame's sound needs a 1280-byte buffer, more than the player's two seconds"},
      {"8 kHz 8-bit at 1 fps", {"-i", y4m, "--fps", "1", "--audio", wav8k, "--audio-bits", "8"}, 1,
       "sound track 0: one frame's sound needs"},
      {"8 kHz 16-bit at 1 fps", {"-i", y4m, "--fps", "1", "--audio", wav8k}, 0, "", 2},
      {"8 kHz at 40 fps, the last packet larger", {"-i", WriteY4m("44.y4m", Clip{16, 16, 44}), "--fps", "40",
       "--audio", WriteWav("8800.wav", 8000, 1, 8800)}, 0, "", 44},
      {"12-byte fmt chunk", {"-i", y4m, "--audio", WriteWav("fmt12.wav", 8000, 1, 99, 12)}, 1,
       "fmt12.wav: the format chunk holds 12 bytes, fewer than 16"},
      {"fmt chunk after the sound", {"-i", y4m, "--audio", WriteWav("late.wav", 8000, 1, 99, 16, true)}, 1,
       "late.wav: no format chunk before the sound"},
      {"one id twice", {"-i", y4m, "--audio", wav8k, "--audio", wav8k, "--audio-id", "0"}, 2,
       "two sound tracks have the identifier 0"},
  });
}

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = ~0u;
  while (n--)
    for (int k = 0, byte = *p++; k < 8; ++k, byte >>= 1) c = (c >> 1) ^ (0xEDB88320u & (0u - ((c ^ byte) & 1)));
  return ~c;
}

void PutBe32(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = uint8_t(v >> (24 - 8 * i));
}

void WritePng(const std::string& path, uint32_t w, uint32_t h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
  std::string error;
  ASSERT_TRUE(PngWrite(path, rgb.data(), w, h, 3, &error)) << error;
}

TEST(VexaEncode, PngSequencesBecomeMoviesAndEveryOtherGetsAClearAnswer) {
  if (!PngAvailable()) GTEST_SKIP() << "no PNG support in this build";
  const std::string dir = TestTempDir() + "/pngs/", claim = TestTempDir() + "/claim/";
  std::filesystem::create_directories(dir);
  std::filesystem::create_directories(claim);
  WritePng(dir + "a.png", 24, 16);
  WritePng(dir + "b.png", 24, 16);
  // A picture of one row whose header claims 20000 x 20000.
  WritePng(claim + "0.png", 20000, 1);
  std::vector<uint8_t> png = Slurp(claim + "0.png");
  PutBe32(&png, 20, 20000);
  PutBe32(&png, 29, Crc32(&png[12], 17));  // the header chunk's checksum
  TestWriteFile("claim/0.png", png);
  const std::string tooLong = TestTempDir() + "/" + std::string(300, 'p');
  ExpectOutcomes({{"a directory", {"-i", dir}, 0, "", 2}});
  const std::string pngOut = TestTempDir() + "/new/png";  // made by the command
  EXPECT_EQ(Vexa({"decode", TestTempDir() + "/outcome.vxa", "--png", pngOut, "-q"}), 0);
  EXPECT_FALSE(Slurp(pngOut + "/frame000002.png").empty());
  ExpectOutcomes({
      {"a 300-character pattern", {"-i", tooLong + "%d.png"}, 1,
       "vexa encode: cannot read " + tooLong + "0.png: File name too long"},
      {"claims 20000x20000, holds one row", {"-i", claim}, 1, "cannot read " + claim + "0.png: "},
  });
  WritePng(dir + "c.png", 16, 24);
  ExpectOutcomes({{"sizes differ", {"-i", dir}, 1, dir + "c.png is 16 x 24, the first picture 24 x 16"}});
}

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
      if (packet.size() >= 4) decoded += TestGetLe32(packet, 0);
      double expected = double(k + 1) * 44100.0 * rateDen / rateNum * 4;
      ASSERT_NEAR(double(decoded), expected, blockBytes) << "frame " << k;
    }
    AudioTrackFree(&t);
  }
}

}  // namespace
