// The library's threads together, as the player runs them: a movie read from a file by the IO
// service thread, its sound handed to the WAV back end by the sound service thread, each frame
// decoded in two halves on two threads and copied out through the change map on the main thread.
// Pictures and change maps must be those of a plain whole decode from memory, and every sample
// must reach the WAV file. Built with ThreadSanitizer this is where races show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "encoder/audio_encoder.h"
#include "encoder/video_encoder.h"
#include "tests/regressions/regression_movies.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"

constexpr uint32_t kWidth = 64, kHeight = 48, kRate = 22050, kFps = 25;

// A still gradient with a moving square (so that the copy keeps a change map), and a stereo tone
// on one track (id 7) whose last packet carries the encoder's flush.
std::vector<uint8_t> MakeEncodedMovie(char version, uint32_t frames) {
  VideoEncoderConfig vc;
  vc.Version = version, vc.Width = kWidth, vc.Height = kHeight, vc.KeyInterval = 8;
  VideoEncoder video;
  AudioEncoderConfig ac;
  ac.Rate = kRate, ac.Channels = 2;
  AudioEncoder audio;
  if (!VideoEncoderInit(&video, &vc) || !AudioEncoderInit(&audio, ac)) return {};
  MovieWriterConfig config;
  config.Version = version, config.Width = kWidth, config.Height = kHeight;
  config.FrameRate = kFps, config.VideoFlags = VideoEncoderVideoFlags(&vc);
  config.Tracks = {{7, AudioEncoderTrackFormat(ac), AudioEncoderMaxPacketBytes(&audio, 2 * kPcmPerFrame)}};
  MovieWriter writer;
  MovieWriterInit(&writer, config);
  std::vector<uint8_t> y(kWidth * kHeight), u(kWidth * kHeight / 4), v(kWidth * kHeight / 4);
  std::vector<int16_t> pcm(kPcmPerFrame * 2);
  for (uint32_t k = 0; k < frames; ++k) {
    for (uint32_t i = 0; i < y.size(); ++i) {
      const uint32_t x = i % kWidth, row = i / kWidth, at = k * 4 % 40;
      y[i] = x >= at && x < at + 16 && row >= 16 && row < 32 ? 240 : uint8_t(x * 2 + row);
    }
    for (uint32_t i = 0; i < u.size(); ++i) u[i] = uint8_t(100 + (i % 32 == k % 32) * 60), v[i] = uint8_t(160 - i % 40);
    VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr},
                                   {kWidth, kWidth / 2, kWidth / 2, 0}};
    VideoEncodedFrame encoded;
    if (!VideoEncodeFrame(&video, &picture, &encoded)) return {};
    for (uint32_t i = 0; i < 2 * kPcmPerFrame; ++i) {  // 440 Hz left, 660 Hz right
      const double t = double(k * kPcmPerFrame + i / 2) / kRate;
      pcm[i] = int16_t(8000 * std::sin(6.2831853 * (440 + 220 * (i % 2)) * t));
    }
    MovieWriterFrame frame{{AudioEncodePacket(&audio, pcm.data(), kPcmPerFrame)}, encoded.Data, encoded.IsKey};
    if (k + 1 == frames) AudioMergePackets(&frame.Audio[0], AudioEncodeFlush(&audio));
    if (!MovieWriterAddFrame(&writer, frame)) return {};
  }
  VideoEncoderFree(&video);
  AudioEncoderFree(&audio);
  return MovieWriterImage(&writer);
}

int ChooseCapture(void* user, Movie*, uint32_t, WavSink* sink) {
  WavCapture* capture = static_cast<WavCapture*>(user);
  capture->Memory = WavMemory{capture->Bytes.data(), capture->Bytes.size(), 0, 0, 0};
  return WavMemorySink(&capture->Memory, sink), 1;
}

WavCapture::WavCapture() {
  WavSetSinkChooser(ChooseCapture, this);
  SoundSelect(SoundUseWav);
}
WavCapture::~WavCapture() {
  SoundSelect(nullptr);
  WavSetSinkChooser(nullptr, nullptr);
}

namespace {

constexpr uint32_t kFrames = 24;

// Each frame's picture (BGRX, one surface copied into through the change map) and change map.
std::vector<std::vector<uint8_t>> Play(Movie* m, bool split) {
  std::vector<std::vector<uint8_t>> shown;
  std::vector<uint8_t> picture(size_t(m->Width) * m->Height * 4);
  for (uint32_t k = 0; k < kFrames && MovieFrameBegin(m, MovieTimerMs()); ++k) {
    if (split) {
      std::thread luma([m] { MovieDecodeFrame(m, DecodeLuma); });
      MovieDecodeFrame(m, DecodeSoundAndRest);
      luma.join();
    } else {
      MovieDecodeFrame(m, DecodeAll);
    }
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
    const uint32_t track = 7;
    ASSERT_TRUE(MovieSetPendingTrackList(&track, 1));
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
