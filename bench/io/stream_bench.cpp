// Read-ahead throughput of the stream reader beside a plain sequential read of the same file.
// The file (256 MB) is made once in a temporary directory and read from the page cache, so the
// numbers compare the reader's own cost (fills, ring copies, locking, the service thread) with
// reading the file in 128 KB pieces into one buffer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/movie_service.h"
#include "io/service.h"
#include "io/stream_file.h"
#include "platform/platform.h"
#include "vexa/movie.h"

namespace {

constexpr uint32_t kFileBytes = 256u << 20;
constexpr uint32_t kRingBytes = 4u << 20;

// The test file, removed when the program ends.
struct BenchFile {
  std::filesystem::path Dir;
  std::string Path;
  BenchFile() {
    Dir = std::filesystem::temp_directory_path() /
          ("vexa-io-bench-" + std::to_string(PlatformThreadCurrentId()) + "-" +
           std::to_string(PlatformCounterNow()));
    std::filesystem::create_directories(Dir);
    Path = (Dir / "stream.bin").string();
    std::FILE* f = std::fopen(Path.c_str(), "wb");
    if (f == nullptr) return;
    std::vector<uint64_t> block(1u << 17);
    uint64_t value = 0x9E3779B97F4A7C15u;
    for (uint32_t written = 0; written < kFileBytes; written += uint32_t(block.size() * 8)) {
      for (uint64_t& v : block) v = value += 0x9E3779B97F4A7C15u;
      std::fwrite(block.data(), 8, block.size(), f);
    }
    std::fclose(f);
  }
  ~BenchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
  }
};

const std::string& FilePath() {
  static BenchFile file;
  return file.Path;
}

void CountBytes(benchmark::State& state, uint64_t perIteration) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(perIteration));
}

// The baseline: 128 KB reads, one after the other, into one buffer.
void BM_PlainSequentialRead(benchmark::State& state) {
  std::vector<uint8_t> buffer(STREAM_CHUNK_BYTES);
  for (auto _ : state) {
    PlatformFile* f = PlatformFileOpenRead(FilePath().c_str());
    if (f == nullptr) return state.SkipWithError("cannot open the test file");
    uint64_t total = 0;
    while (uint32_t got = PlatformFileRead(f, buffer.data(), STREAM_CHUNK_BYTES)) total += got;
    PlatformFileClose(f);
    benchmark::DoNotOptimize(total);
  }
  CountBytes(state, kFileBytes);
}
BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);

struct BenchReader {
  std::unique_ptr<Movie> Record = std::make_unique<Movie>();
  std::vector<uint8_t> Ring;
  StreamReader* R = &Record->Reader;

  bool Open(uint32_t ringBytes) {
    if (!StreamOpenFile(R, FilePath().c_str(), 0)) return false;
    R->Owner = Record.get();
    R->IoNode.Owner = Record.get();
    Ring.assign(ringBytes ? R->StreamBufferSize(R, ringBytes) : 0, 0);
    R->StreamSetBuffer(R, Ring.empty() ? nullptr : Ring.data(), uint32_t(Ring.size()),
                       kFileBytes, 0);
    return true;
  }
  ~BenchReader() { R->StreamClose(R); }
};

// Foreground read-ahead: fill the ring whenever there is room, then deliver frames from it
// (what a movie opened without an IO thread does between frames).
void BM_StreamFillAndFrames(benchmark::State& state) {
  const uint32_t frameBytes = uint32_t(state.range(0));
  std::vector<uint8_t> frame(frameBytes);
  BenchReader b;
  if (!b.Open(kRingBytes)) return state.SkipWithError("cannot open the test file");
  for (auto _ : state) {
    uint32_t offset = 0;
    while (offset < kFileBytes) {
      while (b.R->StreamFill(b.R, 0) != 0) {
      }
      const uint32_t n = std::min(frameBytes, kFileBytes - offset);
      b.R->StreamReadFrame(b.R, 0, offset == 0 ? 0 : STREAM_CONTINUE, frame.data(), n);
      offset += n;
    }
    benchmark::DoNotOptimize(frame.data());
  }
  CountBytes(state, kFileBytes);
}
BENCHMARK(BM_StreamFillAndFrames)->Arg(16 << 10)->Arg(64 << 10)->Arg(512 << 10)
    ->Unit(benchmark::kMillisecond);

// Frames read straight from the file (no ring, as during a preload).
void BM_StreamDirectFrames(benchmark::State& state) {
  const uint32_t frameBytes = uint32_t(state.range(0));
  std::vector<uint8_t> frame(frameBytes);
  BenchReader b;
  if (!b.Open(0)) return state.SkipWithError("cannot open the test file");
  for (auto _ : state) {
    for (uint32_t offset = 0; offset < kFileBytes; offset += frameBytes) {
      b.R->StreamReadFrame(b.R, 0, offset == 0 ? 0 : STREAM_CONTINUE, frame.data(),
                           std::min(frameBytes, kFileBytes - offset));
    }
    benchmark::DoNotOptimize(frame.data());
  }
  CountBytes(state, kFileBytes);
}
BENCHMARK(BM_StreamDirectFrames)->Arg(64 << 10)->Unit(benchmark::kMillisecond);

// Background read-ahead: the IO service thread fills the ring while this thread reads frames
// as fast as it can (whatever the ring lacks is read directly). ring_share estimates the part of
// the bytes that the ring held when their frame was asked for.
void BM_StreamServiceThread(benchmark::State& state) {
  const uint32_t frameBytes = uint32_t(state.range(0));
  std::vector<uint8_t> frame(frameBytes);
  BenchReader b;
  if (!b.Open(kRingBytes)) return state.SkipWithError("cannot open the test file");
  if (!MovieJoinIoService(b.Record.get())) return state.SkipWithError("no service thread");
  uint64_t fromRing = 0;
  for (auto _ : state) {
    uint32_t direct = 0;
    for (uint32_t offset = 0; offset < kFileBytes; offset += frameBytes) {
      const uint32_t n = std::min(frameBytes, kFileBytes - offset);
      const uint32_t ringHeld = std::min(PlatformShared(b.R->Used).load(), n);
      b.R->StreamReadFrame(b.R, 0, offset == 0 ? 0 : STREAM_CONTINUE, frame.data(), n);
      direct += n - std::min(ringHeld, n);
    }
    fromRing += kFileBytes - std::min<uint64_t>(direct, kFileBytes);
    benchmark::DoNotOptimize(frame.data());
  }
  ServiceLeave(&b.R->IoNode, nullptr);
  CountBytes(state, kFileBytes);
  state.counters["ring_share"] =
      double(fromRing) / double(uint64_t(state.iterations()) * kFileBytes);
}
BENCHMARK(BM_StreamServiceThread)->Arg(64 << 10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
