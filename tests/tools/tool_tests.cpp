// The vexa tool run in-process, or in a child process with little memory to spare, on inputs and
// movies made here: every hostile input gets a clear answer, outputs match the library's decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/audio_track_encoder.h"
#include "tools/commands.h"
#include "tools/png_io.h"
#include "vexa/copy.h"
#include "vexa/vexa.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Runs `vexa ARGS`; *err, when given, receives what it printed on stderr.
int Vexa(std::vector<std::string> args, std::string* err = nullptr) {
  args.insert(args.begin(), "vexa");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  if (err) testing::internal::CaptureStderr();
  const int status = VexaMain(int(argv.size()), argv.data());
  if (err) *err = testing::internal::GetCapturedStderr();
  return status;
}

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs `vexa ARGS` in a child process limited to 1 GiB of address space (not under
// AddressSanitizer, whose shadow memory needs more; nor on Windows, where it runs in-process).
// Returns the exit status, or 128 + the signal that ended the child (an abort: 134).
int VexaInChild(const std::vector<std::string>& args, std::string* err) {
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
  return Vexa(args, err);
#else
  const std::string errPath = TestTempDir() + "/child_stderr.txt";
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
    if (dup2(creat(errPath.c_str(), 0600), 2) != 2 || setrlimit(RLIMIT_AS, &limit)) _exit(99);
    _exit(Vexa(args));
  }
  int status = 0;
  waitpid(child, &status, 0);
  const std::vector<uint8_t> text = Slurp(errPath);
  err->assign(text.begin(), text.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

// A moving gradient with a bright square: `frames` pictures of w x h as planar Y, U, V planes
// with the chroma of the given Y4M sampling (420, 422 or 444).
struct Clip {
  uint32_t w, h, frames;
  std::string sampling = "420";
  uint8_t Luma(uint32_t f, uint32_t x, uint32_t y) const {  // unsigned: 4 + 2f <= x < 14 + 2f, 6 <= y < 16
    return x - 4 - 2 * f < 10 && y - 6 < 10 ? 220 : uint8_t(40 + (x * 3 + y * 2 + f * 4) % 150);
  }
};

std::string WriteY4m(const char* name, const Clip& c) {
  std::string out = "YUV4MPEG2 W" + std::to_string(c.w) + " H" + std::to_string(c.h) +
                    " F30000:1001 Ip A1:1 C" + c.sampling + "\n";
  const uint32_t cw = c.sampling == "444" ? c.w : (c.w + 1) / 2, ch = c.sampling == "420" ? (c.h + 1) / 2 : c.h;
  for (uint32_t f = 0; f < c.frames; ++f) {
    out += "FRAME\n";
    for (uint32_t y = 0; y < c.h; ++y)
      for (uint32_t x = 0; x < c.w; ++x) out.push_back(char(c.Luma(f, x, y)));
    for (uint32_t y = 0; y < 2 * ch; ++y)  // U, then V
      for (uint32_t x = 0; x < cw; ++x) out.push_back(char(y < ch ? 100 + x % 40 : 150 - (y - ch) % 30));
  }
  return TestWriteFile(name, {out.begin(), out.end()});
}

std::string Text(const char* name, const std::string& text) {
  return TestWriteFile(name, {text.begin(), text.end()});
}

// A 16-bit PCM WAV file of a sine; fmtBytes shortens the format chunk, fmtLast moves it after
// the sound data.
std::string WriteWav(const char* name, uint32_t rate, uint32_t channels, uint32_t frames,
                     uint32_t fmtBytes = 16, bool fmtLast = false) {
  auto Le = [](uint32_t v, size_t n) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}.substr(0, n); };
  const std::string fmt = "fmt " + Le(fmtBytes, 4) +
                          (Le(1, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * channels * 2, 4) +
                           Le(channels * 2, 2) + Le(16, 2)).substr(0, fmtBytes);
  std::string data = "data" + Le(2 * frames * channels, 4);
  for (uint32_t i = 0; i < frames * channels; ++i) data += Le(uint16_t(int16_t(8000 * std::sin(i * 0.03))), 2);
  const std::string body = "WAVE" + (fmtLast ? data + fmt : fmt + data);
  return Text(name, "RIFF" + Le(uint32_t(body.size()), 4) + body);
}

std::string EncodeClip(const char* name, const Clip& clip, std::vector<std::string> options = {}) {
  std::string movie = TestTempDir() + "/" + name;
  options.insert(options.begin(), {"encode", "-i", WriteY4m("clip.y4m", clip), "-o", movie, "-q"});
  EXPECT_EQ(Vexa(options), 0);
  return movie;
}

// What the tool should write, from the library's own decode (not the tool's): the header, then each
// frame after frameMark, as I420 (Y, then the blue and the red difference, cropped to the picture) or, with
// scaling mode `scale`, as the 565 surface MovieCopyToSurface writes.
std::vector<uint8_t> LibraryDecode(const std::string& path, const std::string& header, const std::string& frameMark,
                                   uint32_t scale = 0) {
  std::vector<uint8_t> out(header.begin(), header.end());
  MovieSetPendingFrameRate(0, 0);
  Movie* m = MovieOpen(path.c_str(), OpenFrameRate | OpenNeverSkip | scale << OpenScaleShift);
  for (uint32_t k = 1; m && k <= m->Frames && MovieFrameBegin(m, 0); ++k) {
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, 0);
    out.insert(out.end(), frameMark.begin(), frameMark.end());
    std::vector<uint8_t> surface(size_t(m->Width) * 2 * m->Height);
    MovieCopyToSurface(m, surface.data(), int32_t(m->Width * 2), m->Height, 0, 0, 0, 0, m->Width,
                       m->Height, Surface565 | CopyAll);
    if (scale) out.insert(out.end(), surface.begin(), surface.end());
    const VideoPlane* set = m->Planes->Sets[m->Planes->Current];
    const bool swapped = (m->OpenFlags & MovieFlagSwapUV) != 0;
    const uint32_t w = m->FileWidth, h = m->FileHeight;
    for (const VideoPlane* p : {&set[PlaneY], &set[swapped ? PlaneChroma1 : PlaneChroma2],
                                &set[swapped ? PlaneChroma2 : PlaneChroma1]})
      for (uint32_t y = 0, pw = p == set ? w : (w + 1) / 2; !scale && y < (p == set ? h : (h + 1) / 2); ++y)
        out.insert(out.end(), p->Pixels + size_t(y) * p->Pitch, p->Pixels + size_t(y) * p->Pitch + pw);
    if (k < m->Frames) MovieNextFrame(m);
  }
  MovieClose(m);
  return out;
}

// Each output type holds what the library decodes: I420 in both chroma orders ('g' stores the
// chroma planes the other way round), Y4M, and surface copies doubled by scaling mode 4.
TEST(VexaDecode, OutputsHoldWhatTheLibraryDecodes) {
  const std::string dir = TestTempDir(), y4m = "YUV4MPEG2 W37 H21 F30000:1001 Ip A1:1 C420jpeg\n";
  for (char version : {'i', 'g'}) {
    SCOPED_TRACE(version);
    const std::string movie = EncodeClip("clip.vxa", Clip{37, 21, 4}, {"--version", {version}});
    const std::vector<uint8_t> yuv = LibraryDecode(movie, "", ""), surface = LibraryDecode(movie, "", "", 4);
    const std::vector<uint8_t> framed = LibraryDecode(movie, y4m, "FRAME\n");
    ASSERT_EQ(yuv.size() + surface.size(), 4u * (37 * 21 + 2 * 19 * 11 + 74 * 42 * 2));
    const std::string out[] = {dir + "/out.yuv", dir + "/out.y4m", dir + "/out.raw"};
    for (int i : {0, 1}) ASSERT_EQ(Vexa({"decode", movie, "-o", out[i], "-q"}), 0);
    ASSERT_EQ(Vexa({"decode", movie, "--surface", "10", "--scale", "4", "-o", out[2], "-q"}), 0);
    EXPECT_EQ((std::vector{Slurp(out[0]), Slurp(out[1]), Slurp(out[2])}), (std::vector{yuv, framed, surface}));
  }
}

double LumaPsnr(const Clip& c, const std::vector<uint8_t>& i420) {
  const size_t frameBytes = size_t(c.w) * c.h + 2 * size_t((c.w + 1) / 2) * ((c.h + 1) / 2);
  if (i420.size() != frameBytes * c.frames) return 0;
  double error = 0;
  for (uint32_t f = 0; f < c.frames; ++f)
    for (uint32_t i = 0; i < c.w * c.h; ++i)
      error += std::pow(double(i420[f * frameBytes + i]) - c.Luma(f, i % c.w, i / c.w), 2);
  return 10 * std::log10(255.0 * 255.0 * c.frames * c.w * c.h / std::max(error, 1.0));
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
    EXPECT_EQ(std::pair(TestGetLe32(file, 28), TestGetLe32(file, 32)), std::pair(30000u, 1001u));  // the Y4M's rate
    const long luma = 45 * 27, chroma = 2 * 23 * 14;  // a grey movie's chroma is neutral
    EXPECT_EQ(row.grey ? std::count(yuv.begin() + luma, yuv.begin() + luma + chroma, 128) : chroma, chroma);
  }
}

struct Outcome {
  std::vector<std::string> args;  // after "encode -o OUT -q", unless the rows are not encode's
  int status;
  std::string message;    // a part of what goes to stderr
  uint32_t frames = 0;    // when not 0: the frames the movie holds
  std::string wavs = "";  // then each of its WAV files from --wav-dir: "name rate channels bits; "
};

// Runs each row in a child process with little memory to spare: claims that the input does not
// hold cost no more than the input, and nothing ends in an abort. A movie made has the frames
// given, its first track's largest packet in the track table holds for each of its packets, and
// every track plays whole: its WAV file holds as much sound as the movie lasts.
void ExpectOutcomes(const std::vector<Outcome>& rows, bool encode = true) {
  const std::string out = TestTempDir() + "/outcome.vxa", wavDir = TestTempDir() + "/outcome";
  for (const Outcome& row : rows) {
    std::vector<std::string> args;
    if (encode) args = {"encode", "-o", out, "-q"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    SCOPED_TRACE(testing::PrintToString(args));
    std::remove(out.c_str());
    std::string err;
    EXPECT_EQ(VexaInChild(args, &err), row.status) << err;
    EXPECT_NE(err.find(row.message), std::string::npos) << err;
    const std::vector<uint8_t> movie = Slurp(out);
    if (!row.frames || movie.size() < 12) continue;  // nothing made, or the status check failed
    EXPECT_EQ(TestGetLe32(movie, 8), row.frames);
    for (uint32_t k = 0, tracks = TestGetLe32(movie, 40); tracks && k < row.frames; ++k) {
      const uint32_t packet = TestGetLe32(movie, 44 + 12 * tracks + 4 * k) & ~1u;
      ASSERT_LE(packet + 8u, movie.size());
      EXPECT_LE(TestGetLe32(movie, packet) ? TestGetLe32(movie, packet + 4) : 0u, TestGetLe32(movie, 44)) << k;
    }
    std::filesystem::remove_all(wavDir);
    EXPECT_EQ(Vexa({"decode", out, "--wav-dir", wavDir, "-q"}), 0);
    std::set<std::filesystem::path> files;
    std::error_code none;
    for (const auto& file : std::filesystem::directory_iterator(wavDir, none)) files.insert(file.path());
    std::string wavs;
    for (const auto& file : files) {
      const std::vector<uint8_t> wav = Slurp(file.string());
      ASSERT_GT(wav.size(), 44u) << file;
      const uint64_t bytes = TestGetLe32(wav, 40), bytesPerSecond = TestGetLe32(wav, 28);
      EXPECT_EQ(bytes, wav.size() - 44) << file;
      EXPECT_EQ(bytes * TestGetLe32(movie, 28), bytesPerSecond * row.frames * TestGetLe32(movie, 32)) << file;
      wavs += file.filename().string() + " " + std::to_string(TestGetLe32(wav, 24)) + " " +
              std::to_string(wav[22]) + " " + std::to_string(wav[34]) + "; ";
    }
    EXPECT_EQ(wavs, row.wavs);
  }
}

TEST(Vexa, EveryInputGetsAClearAnswer) {
  const std::string y4m = WriteY4m("two.y4m", Clip{16, 16, 2}), percent = TestTempDir() + "/50%d.y4m";
  std::filesystem::copy_file(y4m, percent, std::filesystem::copy_options::overwrite_existing);
  std::string longLines = "YUV4MPEG2 W16 H16\n";  // frame lines with 5000 bytes of parameters
  for (int f = 0; f < 2; ++f) longLines += "FRAME X" + std::string(5000, 'x') + "\n" + std::string(384, 'd');
  const std::string wav8k = WriteWav("8k.wav", 8000, 1, 16000);
  ExpectOutcomes({
      {{"-i", Text("big.y4m", "YUV4MPEG2 W32767 H32767 C444\nFRAME\n")}, 1, "truncated Y4M frame in"},
      {{"-i", Text("p10.y4m", "YUV4MPEG2 W16 H16 C420p10\n")}, 1, "colour space: C420p10"},
      {{"-i", Text("wrap.y4m", "YUV4MPEG2 W4294967297 H16\n")}, 1, ": W4294967297 (1 to"},
      {{"-i", Text("abc.y4m", "YUV4MPEG2 W16abc H16\n")}, 1, ": W16abc (1 to 32767)"},
      {{"-i", Text("long.y4m", longLines)}, 0, "", 2},
      {{"-i", percent}, 0, "", 2},
      {{"-i", y4m, "--alpha-input", Text("a.y4m", "YUV4MPEG2 W16 H16\nFRAME\nxx")}, 1, "alpha input: truncated Y4M frame in"},
      {{"-i", y4m, "--fps", "4294967295/1"}, 1, "the frame rate 4294967295/1 is outside"},
      {{"-i", y4m, "--fps", "25x"}, 2, "--fps takes N or N/D, whole numbers from 1, not '25x'"},
      {{"-i", y4m, "--fps", "25/"}, 2, "--fps takes N or N/D, whole numbers from 1, not '25/'"},
      {{"-i", y4m, "--quality", "101"}, 2, "--quality takes 0 to 100, not '101'"},
      {{"-i", y4m, "--bitrate", "0"}, 2, "--bitrate takes 1 to 1000000 (kilobits a second), not '0'"},
      {{"-i", y4m, "--bitrate", "64k"}, 2, "--bitrate takes 1 to 1000000 (kilobits a second), not '64k'"},
      {{"-i", y4m, "--bitrate", "50"}, 0, "", 2},
      {{"-i", y4m, "--keyint", "-1"}, 2, "--keyint takes 0 to 4294967295, not '-1'"},
      {{"-i", y4m, "--version", "e"}, 2, "--version takes f, g, h or i, not 'e'"},
      {{"-i", y4m, "--version"}, 2, "--version needs a value"},
      {{"-i", y4m, "--audio", WriteWav("300.wav", 300, 1, 600)}, 1,
       "sound track 0: one frame's sound needs a 1280-byte buffer, more than the player's two seconds"},
      {{"-i", y4m, "--fps", "1", "--audio", wav8k, "--audio-bits", "8"}, 1, "sound track 0: one frame's sound needs"},
      {{"-i", y4m, "--fps", "1", "--audio", wav8k}, 0, "", 2, "t0.wav 8000 1 16; "},
      {{"-i", WriteY4m("44.y4m", Clip{16, 16, 44}), "--fps", "40", "--audio", WriteWav("8800.wav", 8000, 1, 8800)},
       0, "", 44, "t0.wav 8000 1 16; "},
      // Each track at its own rate, variant and sample size: 75 frames at 25 frames a second are
      // the files' 3 s (the Y4M's own 29.97 frames a second overridden).
      {{"-i", WriteY4m("75.y4m", Clip{16, 16, 75}), "--fps", "25", "--audio", WriteWav("music.wav", 44100, 2, 132300),
        "--audio", WriteWav("speech.wav", 16000, 1, 48000), "--audio-id", "7", "--audio-variant", "dct", "--audio-bits",
        "8"}, 0, "", 75, "t0.wav 44100 2 16; t7.wav 16000 1 8; "},
      {{"-i", y4m, "--audio", WriteWav("fmt12.wav", 8000, 1, 99, 12)}, 1,
       "fmt12.wav: the format chunk holds 12 bytes, fewer than 16"},
      {{"-i", y4m, "--audio", WriteWav("late.wav", 8000, 1, 99, 16, true)}, 1, "late.wav: no format chunk before the sound"},
      {{"-i", y4m, "--audio", wav8k, "--audio", wav8k, "--audio-id", "0"}, 2, "two sound tracks have the identifier 0"},
  });
  // info and decode name the command and the file, with the library's own error text.
  const std::string dir = TestTempDir(), absent = dir + "/absent.vxa", riff = TestWriteFile("riff.vxa", {'R', 'I', 'F', 'F'});
  const std::string small = EncodeClip("small.vxa", Clip{16, 16, 1});
  std::vector<uint8_t> image = Slurp(small);
  TestPutLe32(&image, 20, 32767), TestPutLe32(&image, 24, 32767);  // the header claims 32767 x 32767
  const std::string huge = TestWriteFile("huge.vxa", image);
  ExpectOutcomes({
      {{"info", absent}, 1, "vexa info: " + absent + ": Error opening file.\n"},
      {{"info", riff}, 1, "vexa info: " + riff + ": Not a Vexa file.\n"},
      {{"decode", absent, "-o", dir + "/x.yuv"}, 1, "vexa decode: " + absent + ": Error opening file.\n"},
      {{"decode", riff, "--wav-dir", dir}, 1, "vexa decode: " + riff + ": Not a Vexa file.\n"},
      {{"decode", huge, "--surface", "3", "--scale", "4", "-o", dir + "/x.raw"}, 1,
       "vexa decode: the 65534 x 65534 surface needs 17178820624 bytes, more than the 4 GiB that "
       "vexa decode writes at a time\n"},
      {{"decode", small, "-o", dir + "/x.bmp"}, 1, "vexa decode: unknown output type"},
      {{"decode", small, "--threads", "3", "-o", dir + "/x.yuv"}, 2, "vexa decode: bad option or value: --threads 3\n"},
      {{"decode", small}, 2, "vexa decode: no output: give -o, --alpha, --png or --wav-dir\n"},
  }, false);
}

void WritePng(const std::string& path, uint32_t w, uint32_t h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
  std::string error;
  ASSERT_TRUE(PngWrite(path, rgb.data(), w, h, 3, &error)) << error;
}

TEST(VexaEncode, PngSequencesBecomeMoviesAndEveryOtherGetsAClearAnswer) {
  if (!PngAvailable()) GTEST_SKIP() << "no PNG support in this build";
  const std::string dir = TestTempDir() + "/pngs/", mixed = TestTempDir() + "/mixed/", claim = TestTempDir() + "/claim/";
  for (const std::string& d : {dir, mixed, claim}) std::filesystem::create_directories(d);
  WritePng(dir + "a.png", 24, 16), WritePng(dir + "b.png", 24, 16);
  WritePng(mixed + "a.png", 24, 16), WritePng(mixed + "c.png", 16, 24);
  // A picture of one row whose header claims 20000 x 20000, with the header's checksum made right.
  WritePng(claim + "0.png", 20000, 1);
  std::vector<uint8_t> png = Slurp(claim + "0.png");
  png[22] = uint8_t(20000 >> 8), png[23] = uint8_t(20000 & 0xFF);  // the big-endian height
  uint32_t crc = ~0u;
  for (size_t i = 12; i < 29; ++i)
    for (int k = 0, byte = png[i]; k < 8; ++k, byte >>= 1) crc = (crc >> 1) ^ (0xEDB88320u & (0u - ((crc ^ byte) & 1)));
  for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(~crc >> (24 - 8 * i));
  TestWriteFile("claim/0.png", png);
  const std::string tooLong = TestTempDir() + "/" + std::string(300, 'p');
  ExpectOutcomes({
      {{"-i", tooLong + "%d.png"}, 1, "vexa encode: cannot read " + tooLong + "0.png: File name too long"},
      {{"-i", claim}, 1, "cannot read " + claim + "0.png: "},
      {{"-i", mixed}, 1, mixed + "c.png is 16 x 24, the first picture 24 x 16"},
      {{"-i", dir}, 0, "", 2},  // last: its movie is decoded below
  });
  const std::string pngOut = TestTempDir() + "/new/png";  // made by the command
  EXPECT_EQ(Vexa({"decode", TestTempDir() + "/outcome.vxa", "--png", pngOut, "-q"}), 0);
  EXPECT_FALSE(Slurp(pngOut + "/frame000002.png").empty());
}

// Over 100 s at 29.97 frames a second the packets' sound stays within one block of the pictures'
// time: after N frames the counts add up to N x rate / fps, give or take the longest block.
TEST(AudioTrackEncoding, SoundKeepsPaceOverALongMovie) {
  for (uint32_t flags : {0u, uint32_t(AudioFlagDct)}) {
    AudioTrackEncoder t{{44100, 2, std::vector<int16_t>(44100 * 101 * 2)}};
    for (size_t i = 0; i < t.Sound.Samples.size(); ++i) t.Sound.Samples[i] = int16_t(5000 * std::sin(double(i / 2) * 0.01));
    MovieWriterTrack entry;
    std::string error;
    ASSERT_TRUE(AudioTrackStart(&t, flags, 40, 0, 16, 30000, 1001, &entry, &error)) << error;
    uint64_t decoded = 0;
    for (uint32_t k = 0; k < 3000; ++k) {
      const std::vector<uint8_t> packet = AudioTrackPacket(&t, k, 30000, 1001);
      if (packet.size() >= 4) decoded += TestGetLe32(packet, 0);
      ASSERT_NEAR(double(decoded), (k + 1) * 44100.0 * 1001 / 30000 * 4, 2048.0 * 4) << "frame " << k;
    }
    AudioTrackFree(&t);
  }
}

}  // namespace
