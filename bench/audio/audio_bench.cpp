// Audio decoding speed: one inverse transform per length the decoder uses, and whole blocks
// of encoded music as a multiple of real time.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "audio/audio_decoder.h"
#include "platform/mem.h"
#include "tests/audio_encoder/audio_encoder_test_util.h"

namespace {

struct BenchMemFree {
  void operator()(AudioBlockDecoder* d) const { MemFree(d); }
};
using BenchDecoder = std::unique_ptr<AudioBlockDecoder, BenchMemFree>;

void TransformBench(benchmark::State& state, int (*transform)(uint32_t, float*,
                                                                AudioTransformWork*, float*)) {
  const auto n = static_cast<uint32_t>(state.range(0));
  AudioTransformWork work{};
  std::vector<float> table(AudioInverseDctTableFloats(n));
  std::vector<float> input(n), a(n);
  std::mt19937 rng(n);
  for (float& x : input) x = static_cast<float>(rng() % 2001) - 1000.0f;
  transform(n, a.data(), &work, table.data());  // builds the tables
  for (auto _ : state) {
    a = input;
    transform(n, a.data(), &work, table.data());
    benchmark::DoNotOptimize(a.data());
  }
}

void BM_InverseRealDft(benchmark::State& state) { TransformBench(state, AudioInverseRealDft); }
void BM_InverseDct(benchmark::State& state) { TransformBench(state, AudioInverseDct); }
BENCHMARK(BM_InverseRealDft)->RangeMultiplier(2)->Range(512, 4096);
BENCHMARK(BM_InverseDct)->RangeMultiplier(2)->Range(512, 2048);

// The blocks of two seconds of music-like sound coded at quality 70, as (start, end) spans of
// their packets.
struct BenchStream {
  std::vector<std::vector<uint8_t>> Packets;
  std::vector<std::pair<const uint8_t*, const uint8_t*>> Blocks;
};

void BenchEncodeMusic(uint32_t flags, BenchStream* stream) {
  AudioEncoderConfig config;
  config.Rate = 44100;
  config.Channels = 2;
  config.Flags = flags;
  config.Quality = 70;
  stream->Packets = TestEncode(config, TestMusicLike(44100, 2, 2.0));
  BenchDecoder d(AudioDecoderOpen(44100, 2, flags));
  for (const std::vector<uint8_t>& packet : stream->Packets) {
    const uint8_t* end = packet.data() + packet.size();
    for (const uint8_t* p = packet.data() + 4; p < end;) {
      const uint32_t used = AudioDecodeBlock(d.get(), p, end);
      stream->Blocks.emplace_back(p, end);
      p += used;
    }
  }
}

void BlockBench(benchmark::State& state, uint32_t flags) {
  BenchStream stream;
  BenchEncodeMusic(flags, &stream);
  BenchDecoder d(AudioDecoderOpen(44100, 2, flags));
  size_t next = 0;
  for (auto _ : state) {
    const auto& block = stream.Blocks[next++ % stream.Blocks.size()];
    AudioDecodeBlock(d.get(), block.first, block.second);
    AudioJoinBlock(d.get());
    benchmark::DoNotOptimize(d->PcmBuffer[0]);
  }
  // Seconds of sound decoded per second: the multiple of real time.
  const double blockSeconds = AudioBlockOutputBytes(d.get()) / 4 / 44100.0;
  state.counters["audio_seconds"] =
      benchmark::Counter(blockSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DecodeStereo44100RealDft(benchmark::State& state) { BlockBench(state, 0); }
void BM_DecodeStereo44100Dct(benchmark::State& state) { BlockBench(state, AudioFlagDct); }
BENCHMARK(BM_DecodeStereo44100RealDft);
BENCHMARK(BM_DecodeStereo44100Dct);

}  // namespace

BENCHMARK_MAIN();
