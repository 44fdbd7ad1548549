// The vexa tool's commands, run in-process on movies the tests make.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "encoder/audio_encoder.h"
#include "tests/support/test_support.h"
#include "tools/commands.h"

namespace {

int RunCommand(int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return command(int(argv.size()), argv.data());
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(f);
  }
  return bytes;
}

std::string MakeMovie(const char* name, uint32_t width, uint32_t height, uint32_t frames,
                      char version = 'i') {
  TestMovieShape s;
  s.Config.Version = version;
  s.Config.Width = width;
  s.Config.Height = height;
  s.Frames = frames;
  s.VideoBytes = 700;
  return TestWriteFile(name, TestMakeMovie(s));
}

TEST(VexaInfo, FailsWithTheLibrarysErrorText) {
  EXPECT_EQ(RunCommand(CommandInfo, {TestTempDir() + "/absent.vxa"}), 1);
  EXPECT_EQ(RunCommand(CommandInfo, {TestWriteFile("not_a_movie.vxa", {'R', 'I', 'F', 'F'})}), 1);
  EXPECT_EQ(RunCommand(CommandInfo, {}), 2);
  EXPECT_EQ(RunCommand(CommandInfo, {MakeMovie("info.vxa", 64, 48, 12)}), 0);
}

TEST(VexaDecode, WritesI420FramesCroppedToThePicture) {
  std::string movie = MakeMovie("crop.vxa", 37, 21, 3);
  std::string out = TestTempDir() + "/crop.yuv";
  ASSERT_EQ(RunCommand(CommandDecode, {movie, "-o", out, "-q"}), 0);
  // Per frame: 37 x 21 luma and two 19 x 11 chroma planes.
  EXPECT_EQ(ReadFile(out).size(), 3u * (37 * 21 + 2 * 19 * 11));
}

TEST(VexaDecode, Y4mHasAHeaderAndFrameMarkers) {
  std::string movie = MakeMovie("y4m.vxa", 32, 16, 2);
  std::string out = TestTempDir() + "/out.y4m";
  ASSERT_EQ(RunCommand(CommandDecode, {movie, "-o", out, "-q"}), 0);
  std::vector<uint8_t> bytes = ReadFile(out);
  std::string header = "YUV4MPEG2 W32 H16 F25:1 Ip A1:1 C420jpeg\nFRAME\n";
  ASSERT_GE(bytes.size(), header.size());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + long(header.size())), header);
  EXPECT_EQ(bytes.size(), header.size() + 2 * (32 * 16 + 2 * 16 * 8) + 6);
}

TEST(VexaDecode, TwoThreadsGiveTheSameFramesAsOne) {
  for (char version : {'i', 'g'}) {
    std::string movie = MakeMovie("threads.vxa", 80, 64, 6, version);
    std::string one = TestTempDir() + "/one.yuv", two = TestTempDir() + "/two.yuv";
    ASSERT_EQ(RunCommand(CommandDecode, {movie, "-o", one, "-q"}), 0);
    ASSERT_EQ(RunCommand(CommandDecode, {movie, "-o", two, "--threads", "2", "-q"}), 0);
    EXPECT_EQ(ReadFile(one), ReadFile(two)) << version;
  }
}

TEST(VexaDecode, SurfaceOutputIsOneBufferPerFrame) {
  std::string movie = MakeMovie("surface.vxa", 40, 30, 4);
  std::string out = TestTempDir() + "/surface.raw";
  ASSERT_EQ(RunCommand(CommandDecode, {movie, "--surface", "3", "-o", out, "--frames", "2", "-q"}), 0);
  EXPECT_EQ(ReadFile(out).size(), 2u * 40 * 30 * 4);
  ASSERT_EQ(RunCommand(CommandDecode, {movie, "--surface", "10", "--scale", "4", "-o", out, "-q"}), 0);
  EXPECT_EQ(ReadFile(out).size(), 4u * 80 * 60 * 2);  // width and height doubled
  ASSERT_EQ(RunCommand(CommandDecode, {movie, "--surface", "15", "-o", out, "-q"}), 0);
  EXPECT_EQ(ReadFile(out).size(), 0u);  // the type without a converter writes nothing
}

TEST(VexaDecode, RefusesBadArgumentsAndUnopenableMovies) {
  std::string movie = MakeMovie("args.vxa", 16, 16, 1);
  EXPECT_EQ(RunCommand(CommandDecode, {movie}), 2);                                   // no output
  EXPECT_EQ(RunCommand(CommandDecode, {movie, "-o", "x.bmp"}), 1);                    // unknown type
  EXPECT_EQ(RunCommand(CommandDecode, {movie, "--threads", "3", "-o", "x.yuv"}), 2);  // 1 or 2 only
  EXPECT_EQ(RunCommand(CommandDecode, {TestTempDir() + "/none.vxa", "-o", "x.yuv"}), 1);
}

}  // namespace

namespace {

// A movie with two sound tracks (ids 4 and 9) made by the audio encoder, one packet per frame
// and the encoder's last packet merged into the last frame's.
std::string MakeMovieWithSound(const char* name, uint32_t frames) {
  const uint32_t rate = 22050, perFrame = rate / 25;
  AudioEncoderConfig config;
  config.Rate = rate;
  config.Channels = 2;
  std::vector<int16_t> pcm(size_t(perFrame) * 2 * frames);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(6000 * std::sin(double(i / 2) * 0.05));
  MovieWriterConfig movie;
  movie.Width = movie.Height = 16;
  std::vector<std::vector<std::vector<uint8_t>>> packets(2);
  for (uint32_t t = 0; t < 2; ++t) {
    AudioEncoder e;
    EXPECT_TRUE(AudioEncoderInit(&e, config));
    for (uint32_t f = 0; f < frames; ++f)
      packets[t].push_back(AudioEncodePacket(&e, pcm.data() + size_t(f) * perFrame * 2, perFrame));
    std::vector<uint8_t> last = AudioEncodeFlush(&e);
    AudioMergePackets(&packets[t].back(), last);
    movie.Tracks.push_back({t ? 9u : 4u, AudioEncoderTrackFormat(config),
                            AudioEncoderMaxPacketBytes(&e, 2 * perFrame)});
    AudioEncoderFree(&e);
  }
  MovieWriter w;
  MovieWriterInit(&w, movie);
  for (uint32_t f = 0; f < frames; ++f) {
    MovieWriterFrame frame;
    frame.Audio = {packets[0][f], packets[1][f]};
    frame.Video.assign(64, 0);
    MovieWriterAddFrame(&w, frame);
  }
  return TestWriteFile(name, MovieWriterImage(&w));
}

TEST(VexaDecode, WavDirHoldsEveryTrackAtItsRate) {
  std::string movie = MakeMovieWithSound("sound.vxa", 30);
  std::string dir = TestTempDir();
  ASSERT_EQ(RunCommand(CommandDecode, {movie, "--wav-dir", dir, "-q"}), 0);
  for (const char* track : {"/t4.wav", "/t9.wav"}) {
    std::vector<uint8_t> wav = ReadFile(dir + track);
    ASSERT_GT(wav.size(), 44u) << track;
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(TestGetLe32(wav, 24), 22050u);                  // sample rate
    EXPECT_EQ(wav[22], 2);                                    // channels
    EXPECT_EQ(TestGetLe32(wav, 40), uint32_t(wav.size() - 44));  // data size
    // All 30 frames of sound: 30 x 882 stereo 16-bit samples.
    EXPECT_EQ(wav.size() - 44, 30u * 882u * 4u) << track;
  }
  std::remove((dir + "/t4.wav").c_str());
  ASSERT_EQ(RunCommand(CommandDecode, {movie, "--wav-dir", dir, "--track", "9", "-q"}), 0);
  EXPECT_TRUE(ReadFile(dir + "/t4.wav").empty());
}

}  // namespace
