// The video codec on moving synthetic pictures made by our encoder:
//   video/decode/<size>/quality:<q>: VideoDecodeFrame, frames/s and MB/s of output planes (Y, U,
//                        V), on the sequence encoded at the default quality and at a low one;
//   video/copy/<size>:   a plain copy of the same plane bytes, for scale;
//   video/decode/movie:  with VEXA_BENCH_MOVIE=FILE.vxa, the frames of that movie as vexa decode
//                        decodes them (reading, frame driver, all planes; the opens are not timed);
//   video/encode/<size>/quality:<q>/threads:<t>: the encoder on t threads, frames/s (wall
//                        clock), with the bytes per frame, bits per pixel and PSNR per plane of
//                        the sequence as counters (the same for any number of threads).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "encoder/video_encoder.h"
#include "tests/video_encoder/synthetic_video.h"
#include "vexa/planes.h"
#include "vexa/vexa.h"
#include "video/bundles.h"
#include "video/video_decoder.h"

namespace {

constexpr uint32_t kFrames = 8;  // frame 0 is the key frame: the sequence loops cleanly

struct BenchSize {
  uint32_t Width, Height;
};
const BenchSize kSizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};

struct EncodedSequence {
  std::vector<std::vector<uint8_t>> Frames;
  double Bytes = 0, Psnr[3] = {};
};

// The sequence at a size and quality, encoded once per run.
const EncodedSequence& Sequence(uint32_t w, uint32_t h, uint32_t quality) {
  static std::map<std::tuple<uint32_t, uint32_t, uint32_t>, EncodedSequence> cache;
  EncodedSequence& s = cache[{w, h, quality}];
  if (!s.Frames.empty()) return s;
  VideoEncoderConfig config;
  config.Width = w;
  config.Height = h;
  config.Quality = quality;
  VideoEncoder encoder;
  VideoEncoderInit(&encoder, &config);
  SyntheticPicture picture;
  for (uint32_t f = 0; f < kFrames; ++f) {
    SyntheticMakePicture(&picture, w, h, f, 1);
    VideoEncodedFrame frame;
    VideoEncodeFrame(&encoder, &picture.Picture, &frame);
    s.Bytes += double(frame.Data.size()) / kFrames;
    for (uint32_t p = 0; p < 3; ++p) s.Psnr[p] += frame.Psnr[p] / kFrames;
    s.Frames.push_back(std::move(frame.Data));
  }
  VideoEncoderFree(&encoder);
  return s;
}

uint32_t RoundUp(uint32_t n, uint32_t m) { return (n + m - 1) / m * m; }

// Two plane sets laid out as the movie core lays them out.
struct BenchPlanes {
  VideoPlanes Planes{};
  std::vector<uint8_t> Memory[2][3];
  uint64_t OutputBytes = 0;  // bytes of Y, U and V of one frame
};

void BenchAllocate(BenchPlanes* p, uint32_t w, uint32_t h) {
  VideoPlanes* v = &p->Planes;
  v->SetCount = 2;
  v->Width = RoundUp(w, 8);
  v->Height = RoundUp(h, 8);
  v->ChromaWidth = RoundUp((w + 1) / 2, 8);
  v->ChromaHeight = RoundUp((h + 1) / 2, 8);
  p->OutputBytes = 0;
  for (uint32_t set = 0; set < 2; ++set) {
    for (uint32_t plane = 0; plane < 3; ++plane) {
      const uint32_t pitch = plane ? RoundUp(v->ChromaWidth, 16) : v->Width;
      const uint32_t rows = plane ? v->ChromaHeight : v->Height;
      p->Memory[set][plane].assign(size_t(pitch) * rows, 0);
      v->Sets[set][plane] = VideoPlane{1, p->Memory[set][plane].data(), pitch};
      if (set == 0) p->OutputBytes += uint64_t(pitch) * rows;
    }
  }
}

void SetRates(benchmark::State& state, uint64_t bytesPerFrame) {
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.SetBytesProcessed(int64_t(state.iterations() * bytesPerFrame));
  state.counters["frames/s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BenchDecode(benchmark::State& state, BenchSize size, uint32_t quality) {
  const EncodedSequence& s = Sequence(size.Width, size.Height, quality);
  BenchPlanes planes;
  BenchAllocate(&planes, size.Width, size.Height);
  uint64_t bundleSizes[VideoBundleCount];
  VideoBundleBufferSizes(size.Width, bundleSizes);
  std::vector<uint8_t> scratch(size_t(VideoScratchBytes(bundleSizes)));
  // Each frame in its own allocation with the spare bytes the movie's frame buffer keeps.
  std::vector<std::vector<uint8_t>> frames;
  for (const std::vector<uint8_t>& f : s.Frames) {
    frames.push_back(f);
    frames.back().resize(f.size() + 1024);
  }
  uint32_t next = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& f = frames[next];
    const uint8_t* data = f.data();
    benchmark::DoNotOptimize(VideoDecodeFrame(&planes.Planes, nullptr, 0, data,
                                              data + s.Frames[next].size(), bundleSizes, 0, 0,
                                              scratch.data()));
    next = (next + 1) % kFrames;
  }
  SetRates(state, planes.OutputBytes);
  state.counters["frame bytes"] = s.Bytes;
}

void BenchCopy(benchmark::State& state, BenchSize size) {
  BenchPlanes planes;
  BenchAllocate(&planes, size.Width, size.Height);
  for (auto _ : state) {
    for (uint32_t plane = 0; plane < 3; ++plane) {
      std::memcpy(planes.Memory[1][plane].data(), planes.Memory[0][plane].data(),
                  planes.Memory[0][plane].size());
    }
    benchmark::ClobberMemory();
  }
  SetRates(state, planes.OutputBytes);
}

Movie* OpenBenchMovie(const char* path) {
  MovieSetPendingFrameRate(0, 0);  // no playback rate: no frame is ever skipped
  return MovieOpen(path, OpenFrameRate | OpenNeverSkip);
}

void BenchDecodeMovie(benchmark::State& state, const char* path) {
  Movie* m = OpenBenchMovie(path);
  if (!m) {
    state.SkipWithError("cannot open the movie of VEXA_BENCH_MOVIE");
    return;
  }
  uint32_t frame = 0;
  for (auto _ : state) {
    if (frame == m->Frames) {
      state.PauseTiming();
      MovieClose(m);
      m = OpenBenchMovie(path);
      frame = 0;
      state.ResumeTiming();
    }
    MovieFrameBegin(m, MovieTimerMs());
    benchmark::DoNotOptimize(MovieDecodeFrame(m, DecodeAll));
    MovieFrameEnd(m, MovieTimerMs());
    if (++frame < m->Frames) MovieNextFrame(m);
  }
  const VideoPlanes* p = m->Planes;
  SetRates(state, uint64_t(p->Width) * p->Height + uint64_t(p->ChromaWidth) * p->ChromaHeight * 2);
  MovieClose(m);
}

void BenchEncode(benchmark::State& state, BenchSize size, uint32_t quality, uint32_t threads) {
  VideoEncoderConfig config;
  config.Width = size.Width;
  config.Height = size.Height;
  config.Quality = quality;
  config.Threads = threads;
  VideoEncoder encoder;
  VideoEncoderInit(&encoder, &config);
  std::vector<SyntheticPicture> pictures(kFrames);
  for (uint32_t f = 0; f < kFrames; ++f)
    SyntheticMakePicture(&pictures[f], size.Width, size.Height, f, 1);
  VideoEncodedFrame frame;
  uint32_t next = 0;
  for (auto _ : state) {
    VideoEncodeFrame(&encoder, &pictures[next].Picture, &frame);
    benchmark::DoNotOptimize(frame.Data.data());
    next = (next + 1) % kFrames;
  }
  VideoEncoderFree(&encoder);
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.counters["frames/s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  // The quality of the whole sequence (the same frames as the decoding benchmark uses).
  const EncodedSequence& s = Sequence(size.Width, size.Height, quality);
  state.counters["frame bytes"] = s.Bytes;
  state.counters["bits/pixel"] = s.Bytes * 8 / (double(size.Width) * size.Height);
  state.counters["PSNR Y"] = s.Psnr[0];
  state.counters["PSNR U"] = s.Psnr[1];
  state.counters["PSNR V"] = s.Psnr[2];
}

std::string SizeName(BenchSize size) {
  return std::to_string(size.Width) + "x" + std::to_string(size.Height);
}

void RegisterCodecBenchmarks() {
  for (const BenchSize& size : kSizes) {
    const std::string name = SizeName(size);
    for (uint32_t quality : {VideoEncoderConfig{}.Quality, 30u}) {
      benchmark::RegisterBenchmark(
          ("video/decode/" + name + "/quality:" + std::to_string(quality)).c_str(), BenchDecode,
          size, quality)
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(("video/copy/" + name).c_str(), BenchCopy, size)
        ->Unit(benchmark::kMillisecond);
  }
  if (const char* movie = std::getenv("VEXA_BENCH_MOVIE")) {
    benchmark::RegisterBenchmark("video/decode/movie", BenchDecodeMovie, movie)
        ->Unit(benchmark::kMillisecond);
  }
  for (const BenchSize& size : kSizes) {
    for (uint32_t quality : {30u, 50u, 75u, 95u}) {
      for (uint32_t threads : {1u, 2u}) {
        const std::string name = "video/encode/" + SizeName(size) + "/quality:" +
                                 std::to_string(quality) + "/threads:" + std::to_string(threads);
        benchmark::RegisterBenchmark(name.c_str(), BenchEncode, size, quality, threads)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kFrames)
            ->UseRealTime();
      }
    }
  }
}

// Registered before main runs, beside the kernel benchmarks.
const int registered = (RegisterCodecBenchmarks(), 0);

}  // namespace
