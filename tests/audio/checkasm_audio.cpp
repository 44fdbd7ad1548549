// The audio kernels under the checkasm harness: the FFT's butterfly pairs on a random block of
// 32 to 4096 floats (a quarter of them zero, as in sparse spectra) with random twiddles. The
// block sits in a canvas of random bytes, so writes outside it show as differences.
#include "tests/audio/checkasm_audio.h"

#include <cstring>
#include <vector>

#include "audio/transform_butterflies.h"

namespace {

constexpr uint32_t kGuard = 64;

struct Block {
  uint32_t Floats;
  std::vector<float> Level;
  std::vector<uint8_t> Canvas;
};

float RandomFloat(CheckasmRandom* rng) { return float(int32_t(CheckasmRandom32(rng))) / 2.1e6f; }

void MakeBlock(CheckasmRandom* rng, Block* b) {
  b->Floats = 32u << CheckasmRandomBelow(rng, 8);
  b->Level.resize(b->Floats / 4);
  for (float& x : b->Level) x = RandomFloat(rng) / 1000;
  b->Canvas.resize(2 * kGuard + b->Floats * sizeof(float));
  CheckasmRandomBytes(rng, b->Canvas.data(), b->Canvas.size());
  for (uint32_t i = 0; i < b->Floats; ++i) {
    const float x = CheckasmRandomBelow(rng, 4) ? RandomFloat(rng) : 0.0f;
    std::memcpy(b->Canvas.data() + kGuard + 4 * i, &x, 4);
  }
}

void RunBlock(CheckasmFunction f, const Block* b, uint8_t* canvas) {
  reinterpret_cast<decltype(&AudioFftButterflyPairsReference)>(f)(
      reinterpret_cast<float*>(canvas + kGuard), b->Floats / 4, b->Floats / 16, b->Level.data());
}

int Compare(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng,
            char* why, size_t whySize) {
  Block b;
  MakeBlock(rng, &b);
  std::vector<uint8_t> expected = b.Canvas, got = b.Canvas;
  RunBlock(reference, &b, expected.data());
  RunBlock(candidate, &b, got.data());
  return CheckasmSameBytes(expected.data(), got.data(), expected.size(), 4, why, whySize);
}

void* Prepare(CheckasmRandom* rng) {
  Block* b = new Block;
  return MakeBlock(rng, b), b;
}

void Run(CheckasmFunction f, void* inputs) {
  RunBlock(f, static_cast<Block*>(inputs), static_cast<Block*>(inputs)->Canvas.data());
}

void Release(void* inputs) { delete static_cast<Block*>(inputs); }

const CheckasmKind kButterflyPairs = {"AudioFftButterflyPairs", Compare, Prepare, Run, Release};

}  // namespace

uint32_t CheckasmAudioCandidates(CheckasmCandidate* out, uint32_t capacity) {
#if defined(__SSE2__)
  if (out != nullptr && capacity > 0) {
    out[0] = {"audio", &kButterflyPairs, "sse2",
              CheckasmFunction(AudioFftButterflyPairsReference),
              CheckasmFunction(AudioFftButterflyPairsSse2), 1};
  }
  return 1;
#else
  return 0;
#endif
}
