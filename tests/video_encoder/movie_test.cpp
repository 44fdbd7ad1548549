// Encoded frames in a real movie: written with the movie writer, opened and decoded by the movie
// core (whole and split over two threads), every frame equal to the encoder's reconstruction.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "tests/video_encoder/synthetic_video.h"
#include "vexa/vexa.h"

namespace {

struct EncodedMovie {
  std::vector<uint8_t> Image;
  // Each frame's reconstruction, by input plane: pixels with a pitch of the plane's width.
  std::vector<std::vector<uint8_t>> Recon[VideoEncoderPlaneCount];
};

EncodedMovie EncodeMovie(const VideoEncoderConfig& config, uint32_t frames) {
  EncodedMovie movie;
  VideoEncoder encoder;
  EXPECT_EQ(VideoEncoderInit(&encoder, &config), 1) << encoder.Error;
  MovieWriterConfig wc;
  wc.Version = config.Version;
  wc.Width = config.Width;
  wc.Height = config.Height;
  wc.VideoFlags = VideoEncoderVideoFlags(&config);
  MovieWriter writer;
  MovieWriterInit(&writer, wc);
  SyntheticPicture picture;
  for (uint32_t f = 0; f < frames; ++f) {
    SyntheticMakePicture(&picture, config.Width, config.Height, f, 5);
    VideoEncodedFrame encoded;
    EXPECT_EQ(VideoEncodeFrame(&encoder, &picture.Picture, &encoded), 1);
    MovieWriterFrame frame;
    frame.Video = encoded.Data;
    frame.IsKey = encoded.IsKey;
    EXPECT_EQ(MovieWriterAddFrame(&writer, frame), 1);
    for (uint32_t plane = 0; plane < VideoEncoderPlaneCount; ++plane) {
      uint32_t w, h, pitch;
      const uint8_t* pixels = VideoEncoderReconstruction(&encoder, plane, &w, &h, &pitch);
      movie.Recon[plane].emplace_back(pixels
                                          ? std::vector<uint8_t>(pixels, pixels + size_t(pitch) * h)
                                          : std::vector<uint8_t>());
    }
  }
  VideoEncoderFree(&encoder);
  movie.Image = MovieWriterImage(&writer);
  return movie;
}

// The movie's current plane holding input plane `plane`, in packet order for the version.
const VideoPlane* MoviePlane(const Movie* m, char version, uint32_t plane) {
  const bool swapped = version == 'f' || version == 'g';
  int index = PlaneY;
  if (plane == VideoEncoderPlaneA) index = PlaneA;
  if (plane == VideoEncoderPlaneV) index = swapped ? PlaneChroma2 : PlaneChroma1;
  if (plane == VideoEncoderPlaneU) index = swapped ? PlaneChroma1 : PlaneChroma2;
  return &m->Planes->Sets[m->Planes->Current][index];
}

void ExpectMovieDecodes(const VideoEncoderConfig& config, uint32_t frames, uint32_t openFlags,
                        bool split) {
  EncodedMovie movie = EncodeMovie(config, frames);
  MovieSetPendingImageSize(uint32_t(movie.Image.size()));
  Movie* m = MovieOpen(movie.Image.data(), openFlags | OpenFromMemory);
  ASSERT_NE(m, nullptr) << MovieGetError();
  for (uint32_t f = 0; f < frames; ++f) {
    ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
    if (split) {
      std::thread luma([m] { MovieDecodeFrame(m, DecodeLuma); });
      MovieDecodeFrame(m, DecodeSoundAndRest);
      luma.join();
    } else {
      MovieDecodeFrame(m, DecodeAll);
    }
    MovieFrameEnd(m, MovieTimerMs());
    for (uint32_t plane = 0; plane < VideoEncoderPlaneCount; ++plane) {
      const std::vector<uint8_t>& want = movie.Recon[plane][f];
      if (want.empty()) continue;
      const VideoPlane* got = MoviePlane(m, config.Version, plane);
      const bool chroma = plane == VideoEncoderPlaneU || plane == VideoEncoderPlaneV;
      const uint32_t w = chroma ? m->Planes->ChromaWidth : m->Planes->Width;
      const uint32_t h = chroma ? m->Planes->ChromaHeight : m->Planes->Height;
      ASSERT_EQ(want.size(), size_t(w) * h);
      for (uint32_t y = 0; y < h; ++y) {
        ASSERT_EQ(std::memcmp(got->Pixels + size_t(y) * got->Pitch, want.data() + size_t(y) * w, w),
                  0)
            << "frame " << f << " plane " << plane << " row " << y;
      }
    }
    MovieNextFrame(m);
  }
  MovieClose(m);
}

TEST(VideoEncoderMovie, EveryVersionDecodesThroughTheMovieCore) {
  for (char version : {'f', 'g', 'h', 'i'}) {
    VideoEncoderConfig c;
    c.Version = version;
    c.Width = 90;
    c.Height = 50;
    c.KeyInterval = 4;
    ExpectMovieDecodes(c, 6, 0, false);
  }
}

TEST(VideoEncoderMovie, SplitDecodingOnTwoThreads) {
  VideoEncoderConfig c;
  c.Width = 120;
  c.Height = 72;
  ExpectMovieDecodes(c, 5, 0, true);
}

TEST(VideoEncoderMovie, AlphaAndGreyScaleMovies) {
  VideoEncoderConfig c;
  c.Width = 64;
  c.Height = 40;
  c.Flags = VideoEncoderAlpha;
  ExpectMovieDecodes(c, 4, OpenAlpha, false);
  c.Flags = VideoEncoderGrayscale;
  ExpectMovieDecodes(c, 4, 0, false);
}

}  // namespace
