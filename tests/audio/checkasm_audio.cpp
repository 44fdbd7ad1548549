// The audio kernels under the checkasm harness: the FFT's butterfly pairs and smallest blocks,
// the rotations, the DCT's final butterflies and the PCM store, on a random block of 8 to 4096
// floats (a quarter of them zero, as in sparse spectra) with random twiddles or cosines. The
// block sits in a canvas of random bytes, so writes outside it show as differences.
#include "tests/audio/checkasm_audio.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "audio/audio_pcm.h"
#include "audio/transform_butterflies.h"
#include "audio/transform_rotations.h"

namespace {

constexpr uint32_t kGuard = 64;

struct Block {
  uint32_t Floats;
  uint32_t First, Count;  // butterfly pairs: the twiddle indices done
  uint32_t Cosines;       // rotations: nc, the length of the table
  std::vector<float> Table;
  std::vector<uint8_t> Canvas;
};

float* Floats(uint8_t* canvas) { return reinterpret_cast<float*>(canvas + kGuard); }

float RandomFloat(CheckasmRandom* rng) { return float(int32_t(CheckasmRandom32(rng))) / 2.1e6f; }

void MakeBlock(CheckasmRandom* rng, uint32_t tableFloats, Block* b) {
  b->Table.resize(tableFloats);
  for (float& x : b->Table) x = RandomFloat(rng) / 1000;
  b->Canvas.resize(2 * kGuard + b->Floats * sizeof(float));
  CheckasmRandomBytes(rng, b->Canvas.data(), b->Canvas.size());
  for (uint32_t i = 0; i < b->Floats; ++i) {
    const float x = CheckasmRandomBelow(rng, 4) ? RandomFloat(rng) : 0.0f;
    std::memcpy(b->Canvas.data() + kGuard + 4 * i, &x, 4);
  }
}

// Pairs from a random first index to the last of the block's stage.
void MakePairs(CheckasmRandom* rng, Block* b) {
  b->Floats = 32u << CheckasmRandomBelow(rng, 8);
  const uint32_t eighth = b->Floats / 16;
  b->First = 1 + CheckasmRandomBelow(rng, eighth - 1);
  b->Count = eighth - b->First;
  MakeBlock(rng, 4 * b->Count, b);
}

void RunPairs(CheckasmFunction f, const Block* b, uint8_t* canvas) {
  reinterpret_cast<decltype(&AudioFftButterflyPairsReference)>(f)(
      Floats(canvas), b->Floats / 4, b->First, b->Count, b->Table.data());
}

// nc = n/4 << shift cosines, shift from MinShift to 4 (real-DFT rotations: nc >= n/4; DCT: n).
template <uint32_t MinShift>
void MakeRotation(CheckasmRandom* rng, Block* b) {
  b->Floats = 8u << CheckasmRandomBelow(rng, 10);
  b->Cosines = b->Floats / 4 << (MinShift + CheckasmRandomBelow(rng, 5 - MinShift));
  MakeBlock(rng, b->Cosines, b);
}

void RunRotation(CheckasmFunction f, const Block* b, uint8_t* canvas) {
  reinterpret_cast<decltype(&AudioDctPreRotateReference)>(f)(b->Floats, Floats(canvas),
                                                              b->Cosines, b->Table.data());
}

// A leaf of 16 floats (the four-point one uses the first 8) with a random twiddle.
void MakeLeaf(CheckasmRandom* rng, Block* b) {
  b->Floats = 16;
  MakeBlock(rng, 1, b);
}

void RunLeaf4(CheckasmFunction f, const Block*, uint8_t* canvas) {
  reinterpret_cast<decltype(&AudioFftLeaf4Reference)>(f)(Floats(canvas));
}

void RunLeaf8(CheckasmFunction f, const Block* b, uint8_t* canvas) {
  reinterpret_cast<decltype(&AudioFftLeaf8Reference)>(f)(Floats(canvas), b->Table[0]);
}

// 1 or 2 channels of 1 to 2048 samples, in the output range and far beyond (up to 2^40).
void MakePcm(CheckasmRandom* rng, Block* b) {
  b->Count = 1 + CheckasmRandomBelow(rng, 2);
  b->First = 1 + CheckasmRandomBelow(rng, 2048);
  b->Floats = b->Count * b->First / 2 + 1;  // the canvas holds the 16-bit output
  MakeBlock(rng, b->Count * b->First, b);
  for (float& x : b->Table) x = std::ldexp(x, int(CheckasmRandomBelow(rng, 41)));
}

void RunPcm(CheckasmFunction f, const Block* b, uint8_t* canvas) {
  reinterpret_cast<decltype(&AudioStorePcmReference)>(f)(
      b->Table.data(), b->First, b->Count, 0.7f, reinterpret_cast<int16_t*>(canvas + kGuard));
}

void RunFinal(CheckasmFunction f, const Block* b, uint8_t* canvas) {
  reinterpret_cast<decltype(&AudioDctFinalButterfliesReference)>(f)(b->Floats, Floats(canvas));
}

using MakeFunction = void (*)(CheckasmRandom*, Block*);
using RunFunction = void (*)(CheckasmFunction, const Block*, uint8_t*);

template <MakeFunction Make, RunFunction RunOn>
int Compare(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng,
            char* why, size_t whySize) {
  Block b;
  Make(rng, &b);
  std::vector<uint8_t> expected = b.Canvas, got = b.Canvas;
  RunOn(reference, &b, expected.data());
  RunOn(candidate, &b, got.data());
  return CheckasmSameBytes(expected.data(), got.data(), expected.size(), 4, why, whySize);
}

template <MakeFunction Make>
void* Prepare(CheckasmRandom* rng) {
  Block* b = new Block;
  return Make(rng, b), b;
}

template <RunFunction RunOn>
void Run(CheckasmFunction f, void* inputs) {
  RunOn(f, static_cast<Block*>(inputs), static_cast<Block*>(inputs)->Canvas.data());
}

void Release(void* inputs) { delete static_cast<Block*>(inputs); }

template <MakeFunction Make, RunFunction RunOn>
constexpr CheckasmKind Kind(const char* name) {
  return {name, Compare<Make, RunOn>, Prepare<Make>, Run<RunOn>, Release};
}

constexpr CheckasmKind kPairs = Kind<MakePairs, RunPairs>("AudioFftButterflyPairs");
constexpr CheckasmKind kLeaf4 = Kind<MakeLeaf, RunLeaf4>("AudioFftLeaf4");
constexpr CheckasmKind kLeaf8 = Kind<MakeLeaf, RunLeaf8>("AudioFftLeaf8");
constexpr CheckasmKind kPcm = Kind<MakePcm, RunPcm>("AudioStorePcm");
constexpr CheckasmKind kFinal = Kind<MakeRotation<0>, RunFinal>("AudioDctFinalButterflies");
constexpr CheckasmKind kPre = Kind<MakeRotation<0>, RunRotation>("AudioRealDftBackwardPre");
constexpr CheckasmKind kPost = Kind<MakeRotation<0>, RunRotation>("AudioRealDftForwardPost");
constexpr CheckasmKind kRotate = Kind<MakeRotation<2>, RunRotation>("AudioDctPreRotate");

// An SSE2 version beside its reference, both of the kernel's own type.
template <typename Function>
constexpr CheckasmCandidate Sse2(const CheckasmKind* kind, Function reference, Function sse2) {
  return {"audio", kind, "sse2", CheckasmFunction(reference), CheckasmFunction(sse2), 1};
}

}  // namespace

uint32_t CheckasmAudioCandidates(CheckasmCandidate* out, uint32_t capacity) {
#if defined(__SSE2__)
  const CheckasmCandidate all[] = {
      Sse2(&kPairs, AudioFftButterflyPairsReference, AudioFftButterflyPairsSse2),
      Sse2(&kLeaf4, AudioFftLeaf4Reference, AudioFftLeaf4Sse2),
      Sse2(&kLeaf8, AudioFftLeaf8Reference, AudioFftLeaf8Sse2),
      Sse2(&kPcm, AudioStorePcmReference, AudioStorePcmSse2),
      Sse2(&kPre, AudioRealDftBackwardPreReference, AudioRealDftBackwardPreSse2),
      Sse2(&kPost, AudioRealDftForwardPostReference, AudioRealDftForwardPostSse2),
      Sse2(&kRotate, AudioDctPreRotateReference, AudioDctPreRotateSse2),
      Sse2(&kFinal, AudioDctFinalButterfliesReference, AudioDctFinalButterfliesSse2),
  };
  const uint32_t count = sizeof all / sizeof all[0];
  for (uint32_t i = 0; out != nullptr && i < count && i < capacity; ++i) out[i] = all[i];
  return count;
#else
  (void)out, (void)capacity;
  return 0;
#endif
}
