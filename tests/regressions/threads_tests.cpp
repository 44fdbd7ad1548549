// The library's threads together, as the player runs them: a movie read from a file by the IO
// service thread, its sound handed to the WAV back end by the sound service thread, each frame
// decoded in two halves on two threads and copied out on the main thread. The pictures must be
// those of a plain whole decode from memory. Built with ThreadSanitizer this is where races show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "encoder/audio_encoder.h"
#include "encoder/video_encoder.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"
#include "vexa/movie.h"
#include "vexa/sound.h"

namespace {

constexpr uint32_t kWidth = 64, kHeight = 48, kFrames = 24, kRate = 22050, kFps = 25;

// An encoded movie: a moving gradient, and a stereo tone on one track (id 7).
std::vector<uint8_t> MakeThreadMovie(char version) {
  VideoEncoderConfig vc;
  vc.Version = version;
  vc.Width = kWidth;
  vc.Height = kHeight;
  vc.KeyInterval = 8;
  VideoEncoder video;
  if (!VideoEncoderInit(&video, &vc)) return {};
  AudioEncoderConfig ac;
  ac.Rate = kRate;
  ac.Channels = 2;
  AudioEncoder audio;
  if (!AudioEncoderInit(&audio, ac)) return {};
  const uint32_t perFrame = kRate / kFps;

  MovieWriterConfig config;
  config.Version = version;
  config.Width = kWidth;
  config.Height = kHeight;
  config.FrameRate = kFps;
  config.VideoFlags = VideoEncoderVideoFlags(&vc);
  config.Tracks = {{7, AudioEncoderTrackFormat(ac), AudioEncoderMaxPacketBytes(&audio, perFrame)}};
  MovieWriter writer;
  MovieWriterInit(&writer, config);
  std::vector<uint8_t> y(kWidth * kHeight), u(kWidth * kHeight / 4), v(kWidth * kHeight / 4);
  std::vector<int16_t> pcm(perFrame * 2);
  for (uint32_t k = 0; k < kFrames; ++k) {
    for (uint32_t i = 0; i < y.size(); ++i) y[i] = uint8_t((i % kWidth) * 3 + (i / kWidth) + k * 5);
    for (uint32_t i = 0; i < u.size(); ++i) u[i] = uint8_t(100 + (i + k) % 50), v[i] = uint8_t(160 - i % 40);
    VideoEncoderPicture picture = {{y.data(), u.data(), v.data(), nullptr},
                                   {kWidth, kWidth / 2, kWidth / 2, 0}};
    VideoEncodedFrame encoded;
    if (!VideoEncodeFrame(&video, &picture, &encoded)) return {};
    for (uint32_t i = 0; i < perFrame; ++i) {
      const double t = double(k * perFrame + i) / kRate;
      pcm[2 * i] = int16_t(8000 * std::sin(2 * 3.14159265358979 * 440 * t));
      pcm[2 * i + 1] = int16_t(8000 * std::sin(2 * 3.14159265358979 * 660 * t));
    }
    MovieWriterFrame frame;
    frame.Video = encoded.Data;
    frame.IsKey = encoded.IsKey;
    frame.Audio.push_back(k + 1 == kFrames ? AudioEncodeFlush(&audio)
                                           : AudioEncodePacket(&audio, pcm.data(), perFrame));
    if (!MovieWriterAddFrame(&writer, frame)) return {};
  }
  VideoEncoderFree(&video);
  AudioEncoderFree(&audio);
  return MovieWriterImage(&writer);
}

// The frames' pictures as BGRX, decoded whole or split on two threads.
std::vector<std::vector<uint8_t>> PlayPictures(Movie* m, bool split) {
  std::vector<std::vector<uint8_t>> pictures;
  for (uint32_t k = 0; k < kFrames; ++k) {
    if (!MovieFrameBegin(m, MovieTimerMs())) break;
    if (split) {
      std::thread luma([m] { MovieDecodeFrame(m, DecodeLuma); });
      MovieDecodeFrame(m, DecodeSoundAndRest);
      luma.join();
    } else {
      MovieDecodeFrame(m, DecodeAll);
    }
    MovieFrameEnd(m, MovieTimerMs());
    std::vector<uint8_t> picture(size_t(m->Width) * m->Height * 4);
    MovieCopyToSurface(m, picture.data(), int32_t(m->Width * 4), m->Height, 0, 0, 0, 0, m->Width,
                       m->Height, SurfaceBGRX32 | CopyAll);
    pictures.push_back(std::move(picture));
    MovieWait(m);  // pumps the sound on this thread too, as the player's loop does
    MovieNextFrame(m);
  }
  return pictures;
}

struct WavCapture {
  std::vector<uint8_t> Bytes = std::vector<uint8_t>(1u << 20);
  WavMemory Memory{};
};
int ChooseCapture(void* user, Movie*, uint32_t, WavSink* sink) {
  WavCapture* capture = static_cast<WavCapture*>(user);
  capture->Memory = WavMemory{};
  capture->Memory.Data = capture->Bytes.data();
  capture->Memory.Capacity = capture->Bytes.size();
  WavMemorySink(&capture->Memory, sink);
  return 1;
}

TEST(Threads, SplitDecodeWithReadAheadAndSoundServiceThreadsShowsTheWholeDecode) {
  for (char version : {'i', 'h'}) {
    SCOPED_TRACE(version);
    const std::vector<uint8_t> image = MakeThreadMovie(version);
    ASSERT_FALSE(image.empty());

    MovieSetPendingImageSize(uint32_t(image.size()));
    Movie* reference = MovieOpen(image.data(), OpenFromMemory | OpenNeverSkip);
    ASSERT_NE(reference, nullptr) << MovieGetError();
    const std::vector<std::vector<uint8_t>> expected = PlayPictures(reference, false);
    MovieClose(reference);
    ASSERT_EQ(expected.size(), kFrames);

    // From a file through the read-ahead ring, with the sound service thread feeding the WAV
    // back end while the two halves decode.
    const std::string path = TestWriteFile(std::string("threads-") + version + ".vxa", image);
    WavCapture capture;
    WavSetSinkChooser(ChooseCapture, &capture);
    ASSERT_TRUE(SoundSelect(SoundUseWav));
    const uint32_t track = 7;
    ASSERT_TRUE(MovieSetPendingTrackList(&track, 1));
    MovieSetPendingIoBufferSize(STREAM_MIN_BUFFER);
    Movie* m = MovieOpen(path.c_str(), OpenTrackList | OpenIoBufferSize | OpenNeverSkip);
    ASSERT_NE(m, nullptr) << MovieGetError();
    EXPECT_EQ(m->NumOpenTracks, 1u);
    const std::vector<std::vector<uint8_t>> pictures = PlayPictures(m, true);
    MovieClose(m);
    SoundSelect(nullptr);
    WavSetSinkChooser(nullptr, nullptr);

    ASSERT_EQ(pictures.size(), kFrames);
    for (uint32_t k = 0; k < kFrames; ++k) EXPECT_EQ(pictures[k], expected[k]) << "frame " << k;
    // The whole sound reached the file: a second of stereo 16-bit, less the encoder's last block.
    EXPECT_EQ(capture.Memory.Closes, 1u);
    EXPECT_EQ(capture.Memory.Complete, 1u);
    EXPECT_GT(capture.Memory.Size, 44u + uint64_t(kRate) * 4 * kFrames / kFps * 3 / 4);
  }
}

}  // namespace
