// The pixel kernels under the harness: a random row of planes, a type the converter serves, a
// dither phase and a random (often odd) span; random pixels for a post-step. The output sits in
// a canvas of random bytes, so writes outside it show as differences.
#include "tests/pixels/checkasm_pixels.h"

#include <array>
#include <utility>
#include <vector>

#include "pixels/convert.h"
#include "platform/cpu_features.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t kPlaneBytes = 1024, kMaxStart = 40, kGuard = 32;

// Row converters: the consecutive surface types they serve, whether only for movies with alpha,
// the scaling mode (3: width doubling); post-steps: bytes per pixel in and out.
struct Slot {
  const char* Name;
  PixelRowFunc PixelKernels::*Row;
  uint32_t FirstType, TypeCount, Alpha, Mode;
  PixelPostFunc PixelKernels::*Post;
  uint32_t InBytes, OutBytes;
};

const Slot kSlots[] = {
    {"PixelRgb32", &PixelKernels::Rgb32, 3, 4, 0, 0, nullptr, 0, 0},
    {"PixelRgb24", &PixelKernels::Rgb24, 1, 2, 0, 0, nullptr, 0, 0},
    {"PixelRgb32Alpha", &PixelKernels::Rgb32Alpha, 5, 2, 1, 0, nullptr, 0, 0},
    {"PixelRgb16", &PixelKernels::Rgb16, 7, 6, 0, 0, nullptr, 0, 0},
    {"PixelRgb16Alpha", &PixelKernels::Rgb16Alpha, 7, 2, 1, 0, nullptr, 0, 0},
    {"PixelIndex8", &PixelKernels::Index8, 0, 1, 0, 0, nullptr, 0, 0},
    {"PixelYuy2", &PixelKernels::Yuy2, 13, 1, 0, 0, nullptr, 0, 0},
    {"PixelUyvy", &PixelKernels::Uyvy, 14, 1, 0, 0, nullptr, 0, 0},
    {"PixelYuy2Double", &PixelKernels::Yuy2Double, 13, 1, 0, 3, nullptr, 0, 0},
    {"PixelUyvyDouble", &PixelKernels::UyvyDouble, 14, 1, 0, 3, nullptr, 0, 0},
    {"PixelPack24", nullptr, 0, 0, 0, 0, &PixelKernels::Pack24, 4, 3},
    {"PixelPack24Double", nullptr, 0, 0, 0, 0, &PixelKernels::Pack24Double, 4, 6},
    {"PixelDouble32", nullptr, 0, 0, 0, 0, &PixelKernels::Double32, 4, 8},
    {"PixelDouble16", nullptr, 0, 0, 0, 0, &PixelKernels::Double16, 2, 4},
    {"PixelDouble8", nullptr, 0, 0, 0, 0, &PixelKernels::Double8, 1, 2},
};

CheckasmFunction SlotOf(const Slot& slot, const PixelKernels* k) {
  return slot.Row ? CheckasmFunction(k->*slot.Row) : CheckasmFunction(k->*slot.Post);
}

struct Case {
  const Slot* S;
  std::vector<uint8_t> Y, U, V, A, Canvas;
  PixelSelection Sel;
  uint32_t Start, Count, Phase;
};

void MakeCase(CheckasmRandom* rng, const Slot& slot, Case* c, bool timed) {
  c->S = &slot;
  for (auto* plane : {&c->Y, &c->A, &c->U, &c->V}) {
    plane->resize(kPlaneBytes), CheckasmRandomBytes(rng, plane->data(), kPlaneBytes);
  }
  uint32_t outBytes = slot.OutBytes;
  if (slot.Row != nullptr) {
    const uint32_t type = slot.FirstType + (timed ? 0 : CheckasmRandomBelow(rng, slot.TypeCount));
    PixelSelect(type | slot.Mode << CopyScaleShift, int(slot.Alpha), PixelKernelsScalar(), &c->Sel);
    c->Start = timed ? 0 : CheckasmRandomBelow(rng, kMaxStart);
    const uint32_t longest = CheckasmRandomBelow(rng, 2) ? 40 : 280;
    c->Count = timed ? 256 : CheckasmRandomBelow(rng, longest + 1);
    c->Phase = CheckasmRandomBelow(rng, 2);
    outBytes = c->Sel.RowBytes;
  } else {
    c->Start = c->Phase = 0;
    c->Count = timed ? 512 / slot.InBytes : CheckasmRandomBelow(rng, 200);
  }
  c->Canvas.resize(2 * kGuard + size_t(c->Count) * outBytes);
  CheckasmRandomBytes(rng, c->Canvas.data(), c->Canvas.size());
}

void RunCase(CheckasmFunction f, const Case* c, uint8_t* canvas) {
  if (c->S->Row == nullptr) {
    return reinterpret_cast<PixelPostFunc>(f)(c->Y.data(), c->Count, canvas + kGuard);
  }
  const uint32_t x = c->Start;
  const PixelSpan span{c->Y.data() + x, c->U.data() + x / 2, c->V.data() + x / 2,
                       c->A.data() + x, canvas + kGuard, c->Count, x & 1, c->Phase};
  reinterpret_cast<PixelRowFunc>(f)(&span, &c->Sel.K);
}

template <int kSlot>
int Compare(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng,
            char* why, size_t whySize) {
  Case c;
  MakeCase(rng, kSlots[kSlot], &c, false);
  std::vector<uint8_t> expected = c.Canvas, got = c.Canvas;
  RunCase(reference, &c, expected.data());
  RunCase(candidate, &c, got.data());
  return CheckasmSameBytes(expected.data(), got.data(), expected.size(),
                           uint32_t(expected.size()), why, whySize);
}

template <int kSlot>
void* Prepare(CheckasmRandom* rng) {
  Case* c = new Case;
  return MakeCase(rng, kSlots[kSlot], c, true), c;
}

void Run(CheckasmFunction f, void* inputs) {
  RunCase(f, static_cast<Case*>(inputs), static_cast<Case*>(inputs)->Canvas.data());
}

void Release(void* inputs) { delete static_cast<Case*>(inputs); }

template <int... kSlot>
constexpr auto Kinds(std::integer_sequence<int, kSlot...>) {
  return std::array<CheckasmKind, sizeof...(kSlot)>{
      CheckasmKind{kSlots[kSlot].Name, Compare<kSlot>, Prepare<kSlot>, Run, Release}...};
}

constexpr auto kKinds = Kinds(std::make_integer_sequence<int, int(std::size(kSlots))>());

}  // namespace

// Every slot each SIMD set provides, beside the scalar reference.
uint32_t CheckasmPixelsCandidates(CheckasmCandidate* out, uint32_t capacity) {
  uint32_t setCount, total = 0;
  const PixelKernelSet* sets = PixelKernelSets(&setCount);
  const uint32_t cpu = PlatformCpuFeatures();
  for (uint32_t s = 0; s < setCount; ++s) {
    for (size_t i = 0; i < std::size(kSlots); ++i) {
      const CheckasmFunction function = SlotOf(kSlots[i], sets[s].Kernels);
      if (function != nullptr && out != nullptr && total < capacity) {
        out[total] = {"pixels", &kKinds[i], sets[s].Kernels->Name,
                      SlotOf(kSlots[i], PixelKernelsScalar()), function,
                      (sets[s].CpuFlags & cpu) == sets[s].CpuFlags};
      }
      total += function != nullptr;
    }
  }
  return total;
}
