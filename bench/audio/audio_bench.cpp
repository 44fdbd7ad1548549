// Audio decoding speed: one inverse transform per length the decoder uses, and whole blocks
// as a multiple of real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "audio/audio_decoder.h"
#include "tests/audio/audio_test_util.h"

namespace {

void TransformBench(benchmark::State& state, int (*transform)(uint32_t, float*,
                                                                AudioTransformWork*, float*)) {
  const auto n = static_cast<uint32_t>(state.range(0));
  AudioTransformWork work{};
  std::vector<float> table(InverseDctTableFloats(n));
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

void BM_InverseRealDft(benchmark::State& state) { TransformBench(state, InverseRealDft); }
void BM_InverseDct(benchmark::State& state) { TransformBench(state, InverseDct); }
BENCHMARK(BM_InverseRealDft)->RangeMultiplier(2)->Range(512, 4096);
BENCHMARK(BM_InverseDct)->RangeMultiplier(2)->Range(512, 2048);

// A block shaped like coded music: wide values in the low bands, narrower ones higher up, the
// top quarter of the spectrum empty.
std::vector<uint8_t> MusicLikeBlock(const AudioBlockDecoder* d, std::mt19937* rng) {
  TestBitWriter w;
  if ((d->Flags & AudioFlagDct) != 0) w.Put(0, 2);
  const uint32_t n = d->FrameSamples;
  for (uint32_t c = 0; c < d->DecodeChannels; ++c) {
    w.PutFloat(1000, 23, false);
    w.PutFloat(200, 23, true);
    for (uint32_t j = 0; j < d->BandCount; ++j) w.Put(20 + j, 8);
    uint32_t k = 2;
    for (; k < 3 * n / 4; k += 8) {
      const uint32_t width = 7 - std::min<uint32_t>(6, 8 * k / n);
      w.PutShortRun(width);
      for (int i = 0; i < 8; ++i) {
        const auto limit = static_cast<int32_t>(1u << width);
        w.PutValue(static_cast<int32_t>((*rng)() % static_cast<uint32_t>(limit)) - limit / 2, width);
      }
    }
    TestPutSilence(&w, k, n);
  }
  return w.Finish();
}

void BlockBench(benchmark::State& state, uint32_t flags) {
  TestDecoder d = TestOpenDecoder(44100, 2, flags);
  std::mt19937 rng(7);
  std::vector<std::vector<uint8_t>> blocks;
  for (int i = 0; i < 16; ++i) blocks.push_back(MusicLikeBlock(d.get(), &rng));
  size_t next = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& block = blocks[next++ % blocks.size()];
    AudioDecodeBlock(d.get(), block.data(), block.data() + block.size());
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
