// Audio decoding speed: one inverse transform per length the decoder uses, and whole blocks
// of encoded music as a multiple of real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
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

// The blocks of four seconds of music coded at the default quality, as (start, end) spans of
// their packets.
struct BenchStream {
  std::vector<std::vector<uint8_t>> Packets;
  std::vector<std::pair<const uint8_t*, const uint8_t*>> Blocks;
  size_t Bytes = 0;
};

// A band at 120 beats a minute: the chords and bass of TestMusicLike, a kick drum on every
// beat, a snare on beats 2 and 4, a hi-hat on every eighth and a faint room noise, so that the
// spectrum is as full as a mixed recording's and the coder spends realistic bits on it.
std::vector<int16_t> BenchMusic(uint32_t rate, double seconds) {
  std::vector<int16_t> pcm = TestMusicLike(rate, 2, seconds);
  std::mt19937 rng(44100);
  std::normal_distribution<double> noise(0.0, 1.0);
  double hiss[2] = {0, 0};
  for (size_t i = 0; i < pcm.size() / 2; ++i) {
    const double t = double(i) / rate, beat = std::fmod(t * 2, 1.0), eighth = std::fmod(t * 4, 1.0);
    const double kick = 9000 * std::exp(-beat * 18) * std::sin(2 * M_PI * (50 + 90 * std::exp(-beat * 30)) * t);
    const bool snareBeat = int(t * 2) % 2 == 1;
    for (int c = 0; c < 2; ++c) {
      const double white = noise(rng);
      hiss[c] = white - 0.6 * hiss[c];  // tilted towards the high frequencies
      const double snare = snareBeat ? 5000 * std::exp(-beat * 25) * white : 0;
      const double hat = 1800 * std::exp(-eighth * 60) * hiss[c];
      const double value = pcm[2 * i + c] + kick + snare + hat + 40 * white;
      pcm[2 * i + c] = int16_t(std::clamp(value, -32768.0, 32767.0));
    }
  }
  return pcm;
}

void BenchEncodeMusic(uint32_t flags, BenchStream* stream) {
  AudioEncoderConfig config;
  config.Rate = 44100;
  config.Channels = 2;
  config.Flags = flags;
  stream->Packets = TestEncode(config, BenchMusic(44100, 4.0));
  BenchDecoder d(AudioDecoderOpen(44100, 2, flags));
  for (const std::vector<uint8_t>& packet : stream->Packets) {
    const uint8_t* end = packet.data() + packet.size();
    for (const uint8_t* p = packet.data() + 4; p < end;) {
      const uint32_t used = AudioDecodeBlock(d.get(), p, end);
      stream->Blocks.emplace_back(p, end);
      stream->Bytes += used;
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
  // Seconds of sound decoded per second of processor time: the multiple of real time.
  const double blockSeconds = AudioBlockOutputBytes(d.get()) / 4 / 44100.0;
  state.counters["x_realtime"] =
      benchmark::Counter(blockSeconds, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["kbit_per_s"] =
      double(stream.Bytes) * 8 / 1000 / (blockSeconds * double(stream.Blocks.size()));
}

void BM_DecodeStereo44100RealDft(benchmark::State& state) { BlockBench(state, 0); }
void BM_DecodeStereo44100Dct(benchmark::State& state) { BlockBench(state, AudioFlagDct); }
BENCHMARK(BM_DecodeStereo44100RealDft);
BENCHMARK(BM_DecodeStereo44100Dct);

}  // namespace

BENCHMARK_MAIN();
