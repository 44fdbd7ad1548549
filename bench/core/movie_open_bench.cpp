// Opening a large movie, and streaming all of its frame packets through the read-ahead ring with
// the background reader, beside a plain sequential read of the same file in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "encoder/movie_writer.h"
#include "vexa/vexa.h"

namespace {

constexpr uint32_t kFrames = 30000;       // 20 minutes at 25 fps
constexpr uint32_t kFrameBytes = 8000;    // about 240 MB in all

const std::string& LargeMovie() {
  static std::string path;
  if (!path.empty()) return path;
  path = (std::filesystem::temp_directory_path() / "vexa-bench-large.vxa").string();
  MovieWriterConfig config;
  config.Width = 640;
  config.Height = 360;
  config.Tracks = {{0, 0, 0}};  // a silent track: every packet carries a length field
  MovieWriter w;
  MovieWriterInit(&w, config);
  MovieWriterFrame frame;
  frame.Audio.resize(1);
  frame.Video.assign(kFrameBytes, 0x5A);
  for (uint32_t k = 0; k < kFrames; ++k) {
    frame.IsKey = k % 250 == 0;
    frame.Video[0] = uint8_t(k);
    MovieWriterAddFrame(&w, frame);
  }
  std::string error;
  if (!MovieWriterSave(&w, path, &error)) std::fprintf(stderr, "%s\n", error.c_str());
  return path;
}

double FileMegabytes(const std::string& path) {
  return double(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
}

// Open and close without reading ahead: header, tables, index scan and allocation.
void BM_MovieOpenClose(benchmark::State& state) {
  const std::string& path = LargeMovie();
  for (auto _ : state) {
    Movie* m = MovieOpen(path.c_str(), OpenNoFillIo | OpenNoIoThread);
    if (!m) state.SkipWithError(MovieGetError());
    MovieClose(m);
  }
  state.counters["index_entries"] = kFrames;
}
BENCHMARK(BM_MovieOpenClose)->Unit(benchmark::kMillisecond);

// Every frame packet of the movie, loaded in order while the IO thread reads ahead.
void BM_MovieStreamAllFrames(benchmark::State& state) {
  const std::string& path = LargeMovie();
  for (auto _ : state) {
    Movie* m = MovieOpen(path.c_str(), 0);
    if (!m) {
      state.SkipWithError(MovieGetError());
      break;
    }
    for (uint32_t k = 2; k <= m->Frames; ++k) MovieLoadFramePacket(m, k);
    benchmark::DoNotOptimize(m->FramePtr[0]);
    MovieClose(m);
  }
  state.counters["MB/s"] = benchmark::Counter(FileMegabytes(path) * double(state.iterations()),
                                              benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MovieStreamAllFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes read front to back with plain 128 KB reads.
void BM_PlainSequentialRead(benchmark::State& state) {
  const std::string& path = LargeMovie();
  std::vector<char> buffer(131072);
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
      state.SkipWithError("cannot open the movie");
      break;
    }
    while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
    }
    std::fclose(f);
  }
  state.counters["MB/s"] = benchmark::Counter(FileMegabytes(path) * double(state.iterations()),
                                              benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
