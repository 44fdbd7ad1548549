// vexa info and vexa decode, run in-process on movies our encoder makes.
#include <functional>

#include "tests/tools/tool_tests.h"
#include "vexa/copy.h"
#include "vexa/vexa.h"

namespace {

std::string EncodeClip(const char* name, const Clip& clip, std::vector<std::string> options = {}) {
  std::string movie = TestTempDir() + "/" + name;
  options.insert(options.begin(), {"encode", "-i", WriteY4m("clip.y4m", clip), "-o", movie, "-q"});
  EXPECT_EQ(Vexa(options), 0);
  return movie;
}

// Decodes every frame through the library's own API (not the tool) and hands each to `take`.
void LibraryDecode(const std::string& path, uint32_t openFlags, const std::function<void(Movie*)>& take) {
  MovieSetPendingFrameRate(0, 0);
  Movie* m = MovieOpen(path.c_str(), OpenFrameRate | OpenNeverSkip | openFlags);
  ASSERT_NE(m, nullptr) << MovieGetError();
  for (uint32_t k = 1; k <= m->Frames; ++k) {
    ASSERT_NE(MovieFrameBegin(m, 0), nullptr);
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, 0);
    take(m);
    if (k < m->Frames) MovieNextFrame(m);
  }
  MovieClose(m);
}

// The movie's frames as I420 (Y, then the blue and the red difference), cropped to the picture.
std::vector<uint8_t> LibraryI420(const std::string& path) {
  std::vector<uint8_t> out;
  LibraryDecode(path, 0, [&out](Movie* m) {
    const VideoPlane* set = m->Planes->Sets[m->Planes->Current];
    const bool swapped = (m->OpenFlags & MovieFlagSwapUV) != 0;
    const uint32_t w = m->FileWidth, h = m->FileHeight;
    for (const VideoPlane* p : {&set[PlaneY], &set[swapped ? PlaneChroma1 : PlaneChroma2],
                                &set[swapped ? PlaneChroma2 : PlaneChroma1]}) {
      const uint32_t pw = p == set ? w : (w + 1) / 2, ph = p == set ? h : (h + 1) / 2;
      for (uint32_t y = 0; y < ph; ++y)
        out.insert(out.end(), p->Pixels + size_t(y) * p->Pitch, p->Pixels + size_t(y) * p->Pitch + pw);
    }
  });
  return out;
}

TEST(VexaDecode, OutputsHoldWhatTheLibraryDecodes) {
  const std::string dir = TestTempDir();
  for (char version : {'i', 'g'}) {  // 'g' stores the chroma planes the other way round
    SCOPED_TRACE(version);
    std::string movie = EncodeClip("clip.vxa", Clip{37, 21, 4}, {"--version", std::string(1, version)});
    const std::vector<uint8_t> expected = LibraryI420(movie);
    const size_t frameBytes = 37 * 21 + 2 * 19 * 11;
    ASSERT_EQ(expected.size(), 4 * frameBytes);
    ASSERT_EQ(Vexa({"decode", movie, "-o", dir + "/out.yuv", "-q"}), 0);
    EXPECT_EQ(Slurp(dir + "/out.yuv"), expected);
    ASSERT_EQ(Vexa({"decode", movie, "-o", dir + "/out.y4m", "-q"}), 0);
    std::string y4m = "YUV4MPEG2 W37 H21 F30000:1001 Ip A1:1 C420jpeg\n";
    for (uint32_t f = 0; f < 4; ++f)
      y4m += "FRAME\n" + std::string(expected.begin() + long(f * frameBytes),
                                     expected.begin() + long((f + 1) * frameBytes));
    EXPECT_EQ(Slurp(dir + "/out.y4m"), std::vector<uint8_t>(y4m.begin(), y4m.end()));
  }
  // Surface copies, doubled by scaling mode 4: what MovieCopyToSurface writes, frame after frame.
  std::string movie = EncodeClip("surface.vxa", Clip{40, 30, 3});
  std::vector<uint8_t> expected;
  LibraryDecode(movie, 4u << OpenScaleShift, [&expected](Movie* m) {
    std::vector<uint8_t> surface(size_t(m->Width) * 2 * m->Height);
    MovieCopyToSurface(m, surface.data(), int32_t(m->Width * 2), m->Height, 0, 0, 0, 0, m->Width,
                       m->Height, Surface565 | CopyAll | OpenNeverSkip);
    expected.insert(expected.end(), surface.begin(), surface.end());
  });
  ASSERT_EQ(expected.size(), 3u * 80 * 60 * 2);
  ASSERT_EQ(Vexa({"decode", movie, "--surface", "10", "--scale", "4", "-o", dir + "/s.raw", "-q"}), 0);
  EXPECT_EQ(Slurp(dir + "/s.raw"), expected);
}

// Every failure says which command and which file, with the library's own error text.
TEST(VexaCommands, FailuresNameTheFileWithTheLibrarysText) {
  const std::string dir = TestTempDir(), absent = dir + "/absent.vxa";
  const std::string riff = TestWriteFile("riff.vxa", {'R', 'I', 'F', 'F'});
  const std::string small = EncodeClip("small.vxa", Clip{16, 16, 1});
  std::vector<uint8_t> image = Slurp(small);
  TestPutLe32(&image, 20, 32767);  // the header claims 32767 x 32767
  TestPutLe32(&image, 24, 32767);
  const std::string huge = TestWriteFile("huge.vxa", image);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string text;  // the start of what goes to stderr
  } rows[] = {
      {{"info", absent}, 1, "vexa info: " + absent + ": Error opening file.\n"},
      {{"info", riff}, 1, "vexa info: " + riff + ": Not a Vexa file.\n"},
      {{"decode", absent, "-o", dir + "/x.yuv"}, 1, "vexa decode: " + absent + ": Error opening file.\n"},
      {{"decode", riff, "--wav-dir", dir}, 1, "vexa decode: " + riff + ": Not a Vexa file.\n"},
      {{"decode", huge, "--surface", "3", "--scale", "4", "-o", dir + "/x.raw"}, 1,
       "vexa decode: the 65534 x 65534 surface needs 17178820624 bytes, more than the 4 GiB that "
       "vexa decode writes at a time\n"},
      {{"decode", small, "-o", dir + "/x.bmp"}, 1, "vexa decode: unknown output type"},
      {{"decode", small, "--threads", "3", "-o", dir + "/x.yuv"}, 2,
       "vexa decode: bad option or value: --threads 3\n"},
      {{"decode", small}, 2, "vexa decode: no output: give -o, --alpha, --png or --wav-dir\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args.back());
    std::string err;
    EXPECT_EQ(VexaInChild(row.args, &err), row.status);
    EXPECT_EQ(err.substr(0, row.text.size()), row.text);
  }
}

// Each track at its own rate, variant and sample size, with all of its sound: 75 frames at 25
// frames a second are the files' 3 s (the Y4M's own 29.97 frames a second overridden).
TEST(VexaDecode, WavDirHoldsEveryTrackWhole) {
  std::string movie = EncodeClip("sound.vxa", Clip{16, 16, 75},
                                 {"--fps", "25", "--audio", WriteWav("music.wav", 44100, 2, 44100 * 3),
                                  "--audio", WriteWav("speech.wav", 16000, 1, 16000 * 3), "--audio-id", "7",
                                  "--audio-variant", "dct", "--audio-bits", "8"});
  const std::string dir = TestTempDir() + "/new/wav";  // made by the command
  ASSERT_EQ(Vexa({"decode", movie, "--wav-dir", dir, "-q"}), 0);
  const struct { const char* name; uint32_t rate, channels, bits; } tracks[] = {
      {"/t0.wav", 44100, 2, 16}, {"/t7.wav", 16000, 1, 8}};
  for (const auto& t : tracks) {
    SCOPED_TRACE(t.name);
    std::vector<uint8_t> wav = Slurp(dir + t.name);
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(TestGetLe32(wav, 24), t.rate);
    EXPECT_EQ(wav[22], t.channels);
    EXPECT_EQ(wav[34], t.bits);
    EXPECT_EQ(TestGetLe32(wav, 40), uint32_t(wav.size() - 44));  // data size
    EXPECT_EQ(wav.size() - 44, 3u * t.rate * t.channels * t.bits / 8);
  }
  std::remove((dir + "/t0.wav").c_str());
  ASSERT_EQ(Vexa({"decode", movie, "--wav-dir", dir, "--track", "7", "-q"}), 0);
  EXPECT_TRUE(Slurp(dir + "/t0.wav").empty());
}

}  // namespace
