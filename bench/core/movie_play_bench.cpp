// The player's whole work per frame at 1280 x 720: decode the frame and convert it to a 32-bit
// surface, on a movie of moving pictures made by our encoder.
#include <benchmark/benchmark.h>

#include <vector>

#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "tools/demo_pictures.h"
#include "tools/encode_input.h"
#include "vexa/vexa.h"

namespace {

constexpr uint32_t kWidth = 1280, kHeight = 720, kFrames = 50;

const std::vector<uint8_t>& Movie720p() {
  static std::vector<uint8_t> image;
  if (!image.empty()) return image;
  VideoEncoderConfig config;
  config.Width = kWidth;
  config.Height = kHeight;
  config.KeyInterval = 25;
  VideoEncoder e;
  VideoEncoderInit(&e, &config);
  MovieWriterConfig movie;
  movie.Width = kWidth;
  movie.Height = kHeight;
  MovieWriter w;
  MovieWriterInit(&w, movie);
  std::vector<uint8_t> rgba;
  YuvPicture p;
  for (uint32_t k = 0; k < kFrames; ++k) {
    DemoDrawFrame(k, kWidth, kHeight, &rgba);
    RgbaToYuv(rgba.data(), kWidth, kHeight, &p);
    VideoEncoderPicture planes = {{p.Y.data(), p.U.data(), p.V.data(), nullptr},
                                  {kWidth, kWidth / 2, kWidth / 2, 0}};
    VideoEncodedFrame frame;
    VideoEncodeFrame(&e, &planes, &frame);
    MovieWriterFrame packet;
    packet.Video = std::move(frame.Data);
    packet.IsKey = frame.IsKey;
    MovieWriterAddFrame(&w, packet);
  }
  VideoEncoderFree(&e);
  image = MovieWriterImage(&w);
  return image;
}

void PlayFrames(benchmark::State& state, bool convert) {
  const std::vector<uint8_t>& image = Movie720p();
  MovieSetPendingImageSize(uint32_t(image.size()));
  MovieSetPendingFrameRate(0, 0);
  Movie* m = MovieOpen(image.data(), OpenFromMemory | OpenFrameRate);
  if (!m) {
    state.SkipWithError(MovieGetError());
    return;
  }
  std::vector<uint8_t> surface(size_t(kWidth) * kHeight * 4);
  for (auto _ : state) {
    MovieFrameBegin(m, MovieTimerMs());
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    if (convert)
      MovieCopyToSurface(m, surface.data(), int32_t(kWidth * 4), kHeight, 0, 0, 0, 0, kWidth,
                         kHeight, SurfaceBGRX32 | CopyAll);
    MovieNextFrame(m);  // after the last frame the movie loops to frame 1
  }
  MovieClose(m);
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Decode720p(benchmark::State& state) { PlayFrames(state, false); }
void BM_DecodeConvert720p(benchmark::State& state) { PlayFrames(state, true); }
BENCHMARK(BM_Decode720p)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeConvert720p)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
