// Conversion speed of whole 1280 x 720 frames in megapixels per second (the "MP/s" counter):
//   pixels/convert/<type>/<table>  the full copy of one surface type with one kernel table
//                                  (scalar, sse2, avx2: packed YUV and post-steps stay SSE2)
//   pixels/memcpy                        a plain copy of a 32-bit frame's bytes, the ceiling
//   pixels/libyuv/<function>             libyuv on the same planes into a buffer of the same
//                                        size (when built with libyuv); its ARGB is our BGRX32,
//                                        four bytes per pixel
//   pixels/MovieCopyToSurface/<w>        the public call, converter selection included, beside
//   pixels/prepared_job/<w>              the same copy with its job prepared once
//   pixels/select_converter              one converter selection (ns per call)
// Every benchmark repeats on the same planes and destination, so both sides run warm. At the end
// the program prints the ratios of this run: our 32-bit output against libyuv's I420ToARGB, and
// the 24- and 16-bit types against our 32-bit type (medians when --benchmark_repetitions is set).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "encoder/movie_writer.h"
#include "pixels/copy_job.h"
#include "platform/cpu_features.h"
#include "vexa/vexa.h"

#ifdef VEXA_HAVE_LIBYUV
#include <libyuv.h>
#endif

namespace {

constexpr uint32_t kWidth = 1280;
constexpr uint32_t kHeight = 720;

const char* const kTypeNames[] = {"P8",      "BGR24",   "RGB24",   "BGRX32", "RGBX32",
                                  "BGRA32",  "RGBA32",  "4444",    "5551",   "555",
                                  "565",     "655",     "664",     "YUY2",   "UYVY"};
const uint32_t kTypeBytes[] = {1, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};

// A movie of the given size opened from memory, its planes filled with a smooth picture plus
// noise (so that the saturating paths are exercised as in real pictures).
struct BenchMovie {
  std::vector<uint8_t> Image;
  Movie* M = nullptr;
};

BenchMovie* OpenBenchMovie(uint32_t width, uint32_t height) {
  BenchMovie* b = new BenchMovie;
  MovieWriterConfig config;
  config.Width = width, config.Height = height;
  MovieWriter w;
  MovieWriterInit(&w, config);
  MovieWriterFrame frame;
  frame.Video.assign(64, 0);
  MovieWriterAddFrame(&w, frame);
  MovieWriterAddFrame(&w, frame);
  b->Image = MovieWriterImage(&w);
  MovieSetPendingImageSize(uint32_t(b->Image.size()));
  b->M = MovieOpen(b->Image.data(), OpenFromMemory);
  if (b->M == nullptr) return b;
  std::mt19937 rng(1);
  VideoPlane* set = b->M->Planes->Sets[b->M->Planes->Current];
  for (int p = PlaneY; p <= PlaneChroma2; ++p) {
    const uint32_t rows = p == PlaneY ? b->M->Planes->Height : b->M->Planes->ChromaHeight;
    for (uint32_t y = 0; y < rows; ++y) {
      for (uint32_t x = 0; x < set[p].Pitch; ++x) {
        set[p].Pixels[size_t(y) * set[p].Pitch + x] = uint8_t(x + 2 * y + p * 60 + rng() % 16);
      }
    }
  }
  return b;
}

BenchMovie* SharedMovie() {
  static BenchMovie* movie = OpenBenchMovie(kWidth, kHeight);
  return movie;
}

void SetPixelsRate(benchmark::State& state, uint64_t pixelsPerIteration) {
  state.SetItemsProcessed(int64_t(state.iterations() * pixelsPerIteration));
  state.counters["MP/s"] = benchmark::Counter(double(state.iterations() * pixelsPerIteration) / 1e6,
                                              benchmark::Counter::kIsRate);
}

void BenchConvert(benchmark::State& state, uint32_t type, const PixelKernels* kernels) {
  Movie* m = SharedMovie()->M;
  if (m == nullptr || kernels == nullptr) return state.SkipWithError("no movie or no kernels");
  const int32_t pitch = int32_t(kWidth * kTypeBytes[type]);
  std::vector<uint8_t> dest(size_t(pitch) * kHeight);
  CopyJob job;
  if (!CopyJobPrepare(&job, m, dest.data(), pitch, kHeight, kWidth, kHeight, type, kernels)) {
    return state.SkipWithError("job refused");
  }
  for (auto _ : state) {
    CopyFull(&job);
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  SetPixelsRate(state, uint64_t(kWidth) * kHeight);
}

void BenchMemcpy(benchmark::State& state) {
  std::vector<uint8_t> src(size_t(kWidth) * kHeight * 4, 1), dest(src.size());
  for (auto _ : state) {
    std::memcpy(dest.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  SetPixelsRate(state, uint64_t(kWidth) * kHeight);
}

#ifdef VEXA_HAVE_LIBYUV
// libyuv's I420 converters: Y, U, V planes and strides, destination and stride, width, height.
typedef int (*LibyuvI420Func)(const uint8_t*, int, const uint8_t*, int, const uint8_t*, int,
                              uint8_t*, int, int, int);

void BenchLibyuv(benchmark::State& state, LibyuvI420Func convert, uint32_t bytes) {
  Movie* m = SharedMovie()->M;
  if (m == nullptr) return state.SkipWithError("no movie");
  const VideoPlane* set = m->Planes->Sets[m->Planes->Current];
  std::vector<uint8_t> dest(size_t(kWidth) * kHeight * bytes);
  for (auto _ : state) {
    convert(set[PlaneY].Pixels, int(set[PlaneY].Pitch), set[PlaneChroma2].Pixels,
            int(set[PlaneChroma2].Pitch), set[PlaneChroma1].Pixels, int(set[PlaneChroma1].Pitch),
            dest.data(), int(kWidth * bytes), int(kWidth), int(kHeight));
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  SetPixelsRate(state, uint64_t(kWidth) * kHeight);
}
#endif

// Small pictures show what choosing the converter on every call costs.
void BenchPublicCopy(benchmark::State& state) {
  const uint32_t size = uint32_t(state.range(0));
  BenchMovie* b = OpenBenchMovie(size, size);
  std::vector<uint8_t> dest(size_t(size) * size * 4);
  for (auto _ : state) {
    MovieCopyToSurface(b->M, dest.data(), int32_t(size * 4), size, 0, 0, 0, 0, size, size,
                       SurfaceBGRX32 | CopyAll | OpenNoFillIo);
    benchmark::ClobberMemory();
  }
  SetPixelsRate(state, uint64_t(size) * size);
  MovieClose(b->M);
  delete b;
}

void BenchPreparedJob(benchmark::State& state) {
  const uint32_t size = uint32_t(state.range(0));
  BenchMovie* b = OpenBenchMovie(size, size);
  std::vector<uint8_t> dest(size_t(size) * size * 4);
  CopyJob job;
  CopyJobPrepare(&job, b->M, dest.data(), int32_t(size * 4), size, size, size, SurfaceBGRX32,
                 PixelKernelsBest());
  for (auto _ : state) {
    CopyFull(&job);
    benchmark::ClobberMemory();
  }
  SetPixelsRate(state, uint64_t(size) * size);
  MovieClose(b->M);
  delete b;
}

// What choosing the converter and its constants costs: done for every copy on the caller's
// stack instead of in process-wide state.
void BenchSelect(benchmark::State& state) {
  PixelSelection sel;
  uint32_t type = 0;
  for (auto _ : state) {
    PixelSelect(type, 1, PixelKernelsBest(), &sel);
    benchmark::DoNotOptimize(sel);
    type = (type + 1) % 15;
  }
}

void RegisterAll() {
  benchmark::RegisterBenchmark("pixels/select_converter", BenchSelect);
  benchmark::RegisterBenchmark("pixels/memcpy_32bit_frame", BenchMemcpy);
#ifdef VEXA_HAVE_LIBYUV
  benchmark::RegisterBenchmark("pixels/libyuv/I420ToARGB", BenchLibyuv, libyuv::I420ToARGB, 4);
  benchmark::RegisterBenchmark("pixels/libyuv/I420ToRGB24", BenchLibyuv, libyuv::I420ToRGB24, 3);
  benchmark::RegisterBenchmark("pixels/libyuv/I420ToRGB565", BenchLibyuv, libyuv::I420ToRGB565,
                               2);
#endif
  for (uint32_t type = 0; type < 15; ++type) {
    const std::string name = std::string("pixels/convert/") + kTypeNames[type];
    // Each version by lowering the processor's feature mask: scalar, SSE2, AVX2.
    static PixelKernels versions[3];
    const uint32_t cpu = PlatformCpuFeatures();
    const uint32_t masks[3] = {0, PlatformCpuSse2, PlatformCpuSse2 | PlatformCpuAvx2};
    for (uint32_t v = 0; v < 3; ++v) {
      if ((masks[v] & cpu) != masks[v]) continue;
      PixelSelectKernels(&versions[v], masks[v]);
      if (v > 0 && versions[v].Name == versions[v - 1].Name) continue;
      benchmark::RegisterBenchmark((name + "/" + versions[v].Name).c_str(), BenchConvert, type,
                                   &versions[v]);
    }
  }
  benchmark::RegisterBenchmark("pixels/MovieCopyToSurface", BenchPublicCopy)->Arg(16)->Arg(64);
  benchmark::RegisterBenchmark("pixels/prepared_job", BenchPreparedJob)->Arg(16)->Arg(64);
}

// The console output, keeping each benchmark's MP/s (its median when repeated) for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> Rate;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto rate = run.counters.find("MP/s");
      if (run.error_occurred || rate == run.counters.end()) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      Rate[run.run_name.str()] = rate->second.value;
    }
  }
};

void PrintRatio(const RatioReporter& r, const char* label, const std::string& numerator,
                const std::string& denominator) {
  const auto n = r.Rate.find(numerator), d = r.Rate.find(denominator);
  if (n == r.Rate.end() || d == r.Rate.end() || d->second <= 0) return;
  std::printf("%-40s = %.2f  (%.0f / %.0f MP/s)\n", label, n->second / d->second, n->second,
              d->second);
}

// The ratios the converters are held to, with the best kernels this processor runs.
void PrintRatios(const RatioReporter& r) {
  const std::string best = std::string("/") + PixelKernelsBest()->Name;
  const std::string bgrx32 = "pixels/convert/BGRX32" + best;
  std::printf("\n%u x %u, kernels %s:\n", kWidth, kHeight, PixelKernelsBest()->Name);
  PrintRatio(r, "32-bit / libyuv I420ToARGB", bgrx32, "pixels/libyuv/I420ToARGB");
  PrintRatio(r, "24-bit (BGR24) / 32-bit (BGRX32)", "pixels/convert/BGR24" + best, bgrx32);
  PrintRatio(r, "16-bit (565) / 32-bit (BGRX32)", "pixels/convert/565" + best, bgrx32);
  PrintRatio(r, "16-bit (555) / 32-bit (BGRX32)", "pixels/convert/555" + best, bgrx32);
  PrintRatio(r, "24-bit (BGR24) / libyuv I420ToRGB24", "pixels/convert/BGR24" + best,
             "pixels/libyuv/I420ToRGB24");
  PrintRatio(r, "16-bit (565) / libyuv I420ToRGB565", "pixels/convert/565" + best,
             "pixels/libyuv/I420ToRGB565");
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}
