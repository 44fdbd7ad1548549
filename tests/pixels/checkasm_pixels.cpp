// The pixel kernels under the harness. A row case is a random row of planes, a surface type the
// converter serves, a dither phase, and a span with a random (often odd) start and length; the
// output sits inside a canvas of random bytes, so writes outside the span show as differences.
#include "tests/pixels/checkasm_pixels.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "pixels/convert.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t kRowPixels = 320;
constexpr uint32_t kMaxStart = 40;
constexpr uint32_t kGuard = 32;
constexpr uint32_t kTimedPixels = 256;

// One row converter slot: the surface types it serves and how it is selected.
struct RowSlot {
  const char* Name;
  uint32_t Types[6];
  uint32_t TypeCount;
  int Alpha;          // selected only for movies with an alpha plane
  uint32_t Mode;      // scaling mode used for the selection (3: width doubling)
  PixelRowFunc PixelKernels::*Slot;
};

const RowSlot kRowSlots[] = {
    {"PixelRgb32", {1, 2, 3, 4, 5, 6}, 6, 0, 0, &PixelKernels::Rgb32},
    {"PixelRgb32Alpha", {5, 6}, 2, 1, 0, &PixelKernels::Rgb32Alpha},
    {"PixelRgb16", {7, 8, 9, 10, 11, 12}, 6, 0, 0, &PixelKernels::Rgb16},
    {"PixelRgb16Alpha", {7, 8}, 2, 1, 0, &PixelKernels::Rgb16Alpha},
    {"PixelIndex8", {0}, 1, 0, 0, &PixelKernels::Index8},
    {"PixelYuy2", {13}, 1, 0, 0, &PixelKernels::Yuy2},
    {"PixelUyvy", {14}, 1, 0, 0, &PixelKernels::Uyvy},
    {"PixelYuy2Double", {13}, 1, 0, 3, &PixelKernels::Yuy2Double},
    {"PixelUyvyDouble", {14}, 1, 0, 3, &PixelKernels::UyvyDouble},
};

struct RowCase {
  std::vector<uint8_t> Y, U, V, A, Canvas;
  PixelSelection Sel;
  uint32_t Start, Count, Phase;
};

void MakeRowCase(CheckasmRandom* rng, const RowSlot& slot, RowCase* c, bool timed) {
  c->Y.resize(kRowPixels), c->A.resize(kRowPixels);
  c->U.resize(kRowPixels / 2 + 1), c->V.resize(kRowPixels / 2 + 1);
  for (auto* plane : {&c->Y, &c->A, &c->U, &c->V}) {
    CheckasmRandomBytes(rng, plane->data(), plane->size());
  }
  const uint32_t type = timed ? slot.Types[0] : slot.Types[CheckasmRandomBelow(rng, slot.TypeCount)];
  PixelSelect(type | (slot.Mode << CopyScaleShift), slot.Alpha, PixelKernelsScalar(), &c->Sel);
  c->Start = timed ? 0 : CheckasmRandomBelow(rng, kMaxStart);
  const uint32_t longest = CheckasmRandomBelow(rng, 2) ? 40 : kRowPixels - kMaxStart;
  c->Count = timed ? kTimedPixels : CheckasmRandomBelow(rng, longest + 1);
  c->Phase = CheckasmRandomBelow(rng, 2);
  c->Canvas.resize(2 * kGuard + size_t(c->Count) * c->Sel.RowBytes);
  CheckasmRandomBytes(rng, c->Canvas.data(), c->Canvas.size());
}

void RunRowCase(CheckasmFunction f, RowCase* c, uint8_t* canvas) {
  const uint32_t x = c->Start;
  const PixelSpan span{c->Y.data() + x, c->U.data() + x / 2, c->V.data() + x / 2,
                       c->A.data() + x, canvas + kGuard, c->Count, x & 1, c->Phase};
  reinterpret_cast<PixelRowFunc>(f)(&span, &c->Sel.K);
}

template <int kSlot>
int CompareRow(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng,
               char* why, size_t whySize) {
  RowCase c;
  MakeRowCase(rng, kRowSlots[kSlot], &c, false);
  std::vector<uint8_t> expected = c.Canvas, got = c.Canvas;
  RunRowCase(reference, &c, expected.data());
  RunRowCase(candidate, &c, got.data());
  const uint32_t pitch = uint32_t(expected.size());
  if (CheckasmSameBytes(expected.data(), got.data(), expected.size(), pitch, why, whySize)) {
    return 1;
  }
  const size_t used = std::strlen(why);
  std::snprintf(why + used, whySize - used, " (start %u, %u pixels, phase %u, output at %u)",
                c.Start, c.Count, c.Phase, kGuard);
  return 0;
}

template <int kSlot>
void* PrepareRow(CheckasmRandom* rng) {
  RowCase* c = new RowCase;
  MakeRowCase(rng, kRowSlots[kSlot], c, true);
  return c;
}

void RunRow(CheckasmFunction f, void* inputs) {
  RowCase* c = static_cast<RowCase*>(inputs);
  RunRowCase(f, c, c->Canvas.data());
}

void ReleaseRow(void* inputs) { delete static_cast<RowCase*>(inputs); }

template <int kSlot>
constexpr CheckasmKind RowKind() {
  return {kRowSlots[kSlot].Name, CompareRow<kSlot>, PrepareRow<kSlot>, RunRow, ReleaseRow};
}

const CheckasmKind kRowKinds[] = {RowKind<0>(), RowKind<1>(), RowKind<2>(),
                                  RowKind<3>(), RowKind<4>(), RowKind<5>(),
                                  RowKind<6>(), RowKind<7>(), RowKind<8>()};

// Post-steps: count source pixels of InBytes each into OutBytes each.
struct PostSlot {
  const char* Name;
  uint32_t InBytes, OutBytes;
  PixelPostFunc PixelKernels::*Slot;
};

const PostSlot kPostSlots[] = {
    {"PixelPack24", 4, 3, &PixelKernels::Pack24},
    {"PixelPack24Double", 4, 6, &PixelKernels::Pack24Double},
    {"PixelDouble32", 4, 8, &PixelKernels::Double32},
    {"PixelDouble16", 2, 4, &PixelKernels::Double16},
    {"PixelDouble8", 1, 2, &PixelKernels::Double8},
};

struct PostCase {
  std::vector<uint8_t> In, Canvas;
  uint32_t Count;
};

void MakePostCase(CheckasmRandom* rng, const PostSlot& slot, PostCase* c, bool timed) {
  c->Count = timed ? 512 / slot.InBytes : CheckasmRandomBelow(rng, 200);
  c->In.resize(size_t(c->Count) * slot.InBytes + 1);
  CheckasmRandomBytes(rng, c->In.data(), c->In.size());
  c->Canvas.resize(2 * kGuard + size_t(c->Count) * slot.OutBytes);
  CheckasmRandomBytes(rng, c->Canvas.data(), c->Canvas.size());
}

void RunPostCase(CheckasmFunction f, PostCase* c, uint8_t* canvas) {
  reinterpret_cast<PixelPostFunc>(f)(c->In.data(), c->Count, canvas + kGuard);
}

template <int kSlot>
int ComparePost(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng,
                char* why, size_t whySize) {
  PostCase c;
  MakePostCase(rng, kPostSlots[kSlot], &c, false);
  std::vector<uint8_t> expected = c.Canvas, got = c.Canvas;
  RunPostCase(reference, &c, expected.data());
  RunPostCase(candidate, &c, got.data());
  if (CheckasmSameBytes(expected.data(), got.data(), expected.size(), uint32_t(expected.size()),
                        why, whySize)) {
    return 1;
  }
  const size_t used = std::strlen(why);
  std::snprintf(why + used, whySize - used, " (%u pixels, output at %u)", c.Count, kGuard);
  return 0;
}

template <int kSlot>
void* PreparePost(CheckasmRandom* rng) {
  PostCase* c = new PostCase;
  MakePostCase(rng, kPostSlots[kSlot], c, true);
  return c;
}

void RunPost(CheckasmFunction f, void* inputs) {
  PostCase* c = static_cast<PostCase*>(inputs);
  RunPostCase(f, c, c->Canvas.data());
}

void ReleasePost(void* inputs) { delete static_cast<PostCase*>(inputs); }

template <int kSlot>
constexpr CheckasmKind PostKind() {
  return {kPostSlots[kSlot].Name, ComparePost<kSlot>, PreparePost<kSlot>, RunPost, ReleasePost};
}

const CheckasmKind kPostKinds[] = {PostKind<0>(), PostKind<1>(), PostKind<2>(), PostKind<3>(),
                                   PostKind<4>()};

template <typename Function>
CheckasmFunction AsChecked(Function f) {
  return reinterpret_cast<CheckasmFunction>(f);
}

}  // namespace

// Every kernel of a SIMD table that is its own (the AVX2 table borrows some SSE2 kernels).
uint32_t CheckasmPixelsCandidates(CheckasmCandidate* out, uint32_t capacity) {
  const PixelKernels* reference = PixelKernelsScalar();
  const PixelKernels* const tables[] = {PixelKernelsSse2(), PixelKernelsAvx2()};
  uint32_t total = 0;
  auto add = [&](const CheckasmKind* kind, const char* version, CheckasmFunction ref,
                 CheckasmFunction fn) {
    if (out != nullptr && total < capacity) out[total] = {"pixels", kind, version, ref, fn, 1};
    ++total;
  };
  for (const PixelKernels* table : tables) {
    if (table == nullptr) continue;
    const PixelKernels* below = table == tables[0] ? reference : tables[0];
    for (size_t i = 0; i < std::size(kRowSlots); ++i) {
      if (table->*kRowSlots[i].Slot == below->*kRowSlots[i].Slot) continue;
      add(&kRowKinds[i], table->Name, AsChecked(reference->*kRowSlots[i].Slot),
          AsChecked(table->*kRowSlots[i].Slot));
    }
    for (size_t i = 0; i < std::size(kPostSlots); ++i) {
      if (table->*kPostSlots[i].Slot == below->*kPostSlots[i].Slot) continue;
      add(&kPostKinds[i], table->Name, AsChecked(reference->*kPostSlots[i].Slot),
          AsChecked(table->*kPostSlots[i].Slot));
    }
  }
  return total;
}
