// The video encoder's block measures under the harness: each version returns what the reference
// returns, on blocks of random pixels (or of two nearly equal ones) at random pitches.
#include <cstdio>
#include <vector>

#include "encoder/video_encoder_kernels.h"
#include "tests/checkasm/checkasm.h"

namespace {

struct MeasureCase {
  std::vector<uint8_t> A, B;
  uint32_t APitch, BPitch;
};

void MakeCase(CheckasmRandom* rng, MeasureCase* c) {
  c->APitch = 16 + CheckasmRandomBelow(rng, 48);
  c->BPitch = 16 + CheckasmRandomBelow(rng, 48);
  c->A.resize(size_t(c->APitch) * 16);
  c->B.resize(size_t(c->BPitch) * 16);
  CheckasmRandomBytes(rng, c->A.data(), c->A.size());
  CheckasmRandomBytes(rng, c->B.data(), c->B.size());
  if (CheckasmRandomBelow(rng, 2) == 0) return;
  for (uint32_t r = 0; r < 16; ++r)
    for (uint32_t x = 0; x < 16; ++x)
      c->B[r * c->BPitch + x] = uint8_t(c->A[r * c->APitch + x] + CheckasmRandomBelow(rng, 3) - 1);
}

uint32_t Measure(CheckasmFunction f, const MeasureCase* c) {
  return reinterpret_cast<EncoderMeasureFn>(f)(c->A.data(), c->APitch, c->B.data(), c->BPitch);
}

int Compare(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng, char* why,
            size_t whySize) {
  MeasureCase c;
  MakeCase(rng, &c);
  const uint32_t expected = Measure(reference, &c), got = Measure(candidate, &c);
  if (expected != got)
    std::snprintf(why, whySize, "%u, not %u (pitches %u, %u)", got, expected, c.APitch, c.BPitch);
  return expected == got;
}

void* Prepare(CheckasmRandom* rng) {
  MeasureCase* c = new MeasureCase;
  MakeCase(rng, c);
  return c;
}

void Run(CheckasmFunction function, void* inputs) {
  [[maybe_unused]] volatile uint32_t sink = Measure(function, static_cast<MeasureCase*>(inputs));
}

void Release(void* inputs) { delete static_cast<MeasureCase*>(inputs); }

const CheckasmKind kKinds[] = {{"Sad8x8", Compare, Prepare, Run, Release},
                               {"SquaredError8x8", Compare, Prepare, Run, Release},
                               {"SquaredError16x16", Compare, Prepare, Run, Release}};

// A set's measures in the order of kKinds.
void Measures(const EncoderKernels* k, CheckasmFunction out[3]) {
  out[0] = reinterpret_cast<CheckasmFunction>(k->Sad8x8);
  out[1] = reinterpret_cast<CheckasmFunction>(k->SquaredError8x8);
  out[2] = reinterpret_cast<CheckasmFunction>(k->SquaredError16x16);
}

}  // namespace

uint32_t CheckasmVideoEncoderCandidates(CheckasmCandidate* out, uint32_t capacity) {
  uint32_t setCount, total = 0;
  const EncoderKernelSet* sets = EncoderKernelSets(&setCount);
  CheckasmFunction reference[3], version[3];
  Measures(EncoderReferenceKernels(), reference);
  for (uint32_t s = 1; s < setCount; ++s) {  // set 0 is the reference
    Measures(sets[s].Kernels, version);
    for (uint32_t k = 0; k < 3; ++k, ++total) {
      if (out && total < capacity)
        out[total] = {"encoder", &kKinds[k], sets[s].Name, reference[k], version[k], 1};
    }
  }
  return total;
}
