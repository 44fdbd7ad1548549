// The library's threads together, as the player runs them: read-ahead on the IO service thread,
// sound to the WAV back end on the sound service thread, each frame decoded in two halves on two
// threads and copied through the change map. Pictures and change maps must be those of a whole
// decode from memory, every sample must reach the WAV file; under ThreadSanitizer races show here.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "encoder/audio_encoder.h"
#include "encoder/video_encoder.h"
#include "tests/regressions/regression_movies.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"

constexpr uint32_t kWidth = 64, kHeight = 48, kRate = 22050, kFrames = 24;

// A gradient with a moving square (so that the copy keeps a change map), and a stereo tone on
// one track (id 7) whose last packet carries the encoder's flush.
std::vector<uint8_t> MakeEncodedMovie(char version, uint32_t frames) {
  VideoEncoderConfig vc;
  vc.Version = version, vc.Width = kWidth, vc.Height = kHeight, vc.KeyInterval = 8;
  AudioEncoderConfig ac;
  ac.Rate = kRate, ac.Channels = 2;
  VideoEncoder video;
  AudioEncoder audio;
  if (!VideoEncoderInit(&video, &vc) || !AudioEncoderInit(&audio, ac)) return {};
  MovieWriterConfig config;
  config.Version = version, config.Width = kWidth, config.Height = kHeight;
  config.VideoFlags = VideoEncoderVideoFlags(&vc);
  config.Tracks = {{7, AudioEncoderTrackFormat(ac), AudioEncoderMaxPacketBytes(&audio, 2 * kPcmPerFrame)}};
  MovieWriter writer;
  MovieWriterInit(&writer, config);
  std::vector<uint8_t> y(kWidth * kHeight), uv(kWidth * kHeight / 2);
  std::vector<int16_t> pcm(kPcmPerFrame * 2);
  for (uint32_t k = 0; k < frames; ++k) {
    for (uint32_t i = 0, at = k * 4 % 40; i < y.size(); ++i)  // unsigned: at <= x < at + 16
      y[i] = i % kWidth - at < 16 && i / kWidth - 16 < 16 ? 240 : uint8_t(i % kWidth * 2 + i / kWidth);
    for (uint32_t i = 0; i < uv.size(); ++i) uv[i] = uint8_t(100 + i % 40 + (i % 32 == k % 32) * 60);
    VideoEncoderPicture picture = {{y.data(), uv.data(), uv.data() + uv.size() / 2, nullptr},
                                   {kWidth, kWidth / 2, kWidth / 2, 0}};
    VideoEncodedFrame encoded;
    if (!VideoEncodeFrame(&video, &picture, &encoded)) return {};
    for (uint32_t i = 0; i < 2 * kPcmPerFrame; ++i)  // 440 Hz left, 660 Hz right
      pcm[i] = int16_t(8000 * std::sin(6.2831853 * (440 + 220 * (i % 2)) *
                                       (k * kPcmPerFrame + i / 2) / kRate));
    MovieWriterFrame frame{{AudioEncodePacket(&audio, pcm.data(), kPcmPerFrame)}, encoded.Data, encoded.IsKey};
    if (k + 1 == frames) AudioMergePackets(&frame.Audio[0], AudioEncodeFlush(&audio));
    if (!MovieWriterAddFrame(&writer, frame)) return {};
  }
  VideoEncoderFree(&video), AudioEncoderFree(&audio);
  return MovieWriterImage(&writer);
}

namespace {

// Each frame's picture (BGRX, one surface copied into through the change map) and change map.
std::vector<std::vector<uint8_t>> Play(Movie* m, bool split) {
  std::vector<std::vector<uint8_t>> shown;
  std::vector<uint8_t> picture(size_t(m->Width) * m->Height * 4);
  for (uint32_t k = 0; k < kFrames && MovieFrameBegin(m, MovieTimerMs()); ++k) {
    std::thread luma;
    if (split) luma = std::thread([m] { MovieDecodeFrame(m, DecodeLuma); });
    MovieDecodeFrame(m, split ? DecodeSoundAndRest : DecodeAll);
    if (split) luma.join();
    MovieFrameEnd(m, MovieTimerMs());
    MovieCopyToSurface(m, picture.data(), int32_t(m->Width * 4), m->Height, 0, 0, 0, 0, m->Width,
                       m->Height, SurfaceBGRX32);
    shown.push_back(picture);
    if (m->ChangeMapLast) shown.emplace_back(m->ChangeMapLast, m->ChangeMapLast + m->ChangeMapBytes);
    MovieWait(m);  // pumps the sound on this thread too, as the player's loop does
    MovieNextFrame(m);
  }
  EXPECT_NE(m->ChangeMap, nullptr);  // the copy made one: the halves both marked it
  return shown;
}

TEST(Threads, SplitDecodeWithReadAheadAndSoundServiceThreadsShowsTheWholeDecode) {
  for (char version : {'i', 'h'}) {
    SCOPED_TRACE(version);
    const std::vector<uint8_t> image = MakeEncodedMovie(version, kFrames);
    MovieSetPendingImageSize(uint32_t(image.size()));
    Movie* reference = MovieOpen(image.data(), OpenFromMemory | OpenNeverSkip);
    ASSERT_NE(reference, nullptr) << MovieGetError();
    const std::vector<std::vector<uint8_t>> expected = Play(reference, false);
    MovieClose(reference);

    const std::string path = TestWriteFile(std::string("threads-") + version + ".vxa", image);
    WavCapture capture;
    ASSERT_TRUE(MovieSetPendingTrackList(std::vector<uint32_t>{7}.data(), 1));
    MovieSetPendingIoBufferSize(STREAM_MIN_BUFFER);
    Movie* m = MovieOpen(path.c_str(), OpenTrackList | OpenIoBufferSize | OpenNeverSkip);
    ASSERT_NE(m, nullptr) << MovieGetError();
    EXPECT_EQ(Play(m, true), expected);
    MovieClose(m);
    // Every sample of every frame reached the file: the close hands over what the ring holds.
    EXPECT_EQ(capture.Memory.Complete, 1u);
    EXPECT_EQ(capture.Memory.Size, 44u + kFrames * kPcmPerFrame * 4);
  }
}

}  // namespace
