// The video decoder's kernels under the harness.
#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/checkasm/checkasm.h"
#include "video/kernels.h"
#include "video/quant.h"

namespace {

// Every destination sits 16 bytes inside a canvas of random bytes, so that a write beside the
// block shows as a difference too; sources may overlap the destination (a one-frame movie).
constexpr uint32_t kBorder = 16;
constexpr uint32_t kCanvasRows = 48;

struct VideoCase {
  alignas(16) int16_t Coefs[64];
  alignas(16) int8_t Residue[64];
  alignas(16) uint8_t Block[64];
  alignas(16) uint32_t RandomQuant[64];
  uint8_t Rows[8];
  uint8_t C0, C1, Value;
  const uint32_t* Quant;
  std::vector<uint8_t> Canvas, Source;
  uint32_t Pitch, SourcePitch;
  bool InPlace;
  int32_t Dy, Dx;
};

// Styles: typical (small, mostly zero away from the top left), extremes whose products wrap,
// sparse values of any size, and the first row only (DC-only columns) or the DC alone.
int16_t RandomCoefficient(CheckasmRandom* rng, uint32_t style, uint32_t i) {
  const int16_t any = int16_t(CheckasmRandom32(rng));
  if (style == 0) return CheckasmRandomBelow(rng, 64) >= 64 - i ? 0 : int16_t(any % 33);
  if (style == 1) return any < 0 ? int16_t(-32768) : int16_t(32767);
  return (style == 2 ? any % 8 == 0 : i < (style == 3 ? 1u : 8u)) ? any : 0;
}

void MakeCase(CheckasmRandom* rng, VideoCase* c) {
  const uint32_t style = CheckasmRandomBelow(rng, 5);
  for (uint32_t i = 0; i < 64; ++i) c->Coefs[i] = RandomCoefficient(rng, style, i);
  CheckasmRandomBytes(rng, c->Residue, sizeof c->Residue);
  CheckasmRandomBytes(rng, c->Block, sizeof c->Block);
  CheckasmRandomBytes(rng, c->RandomQuant, sizeof c->RandomQuant);
  CheckasmRandomBytes(rng, c->Rows, sizeof c->Rows);
  c->C0 = uint8_t(CheckasmRandom32(rng));
  c->C1 = uint8_t(CheckasmRandom32(rng));
  c->Value = uint8_t(CheckasmRandom32(rng));
  const uint32_t q = CheckasmRandomBelow(rng, 33);
  c->Quant = q == 32 ? c->RandomQuant : q < 16 ? VideoQuantIntra[q] : VideoQuantInter[q - 16];
  c->Pitch = 48 + 8 * CheckasmRandomBelow(rng, 4);
  c->Canvas.resize(size_t(c->Pitch) * kCanvasRows);
  CheckasmRandomBytes(rng, c->Canvas.data(), c->Canvas.size());
  c->SourcePitch = 8 + CheckasmRandomBelow(rng, 24);
  c->Source.resize(size_t(c->SourcePitch) * 8);
  CheckasmRandomBytes(rng, c->Source.data(), c->Source.size());
  c->InPlace = CheckasmRandomBelow(rng, 2) != 0;
  c->Dy = int32_t(CheckasmRandomBelow(rng, 31)) - 15;
  c->Dx = int32_t(CheckasmRandomBelow(rng, 31)) - 15;
}

// One call of a kernel on a case: the destination in the canvas given, the source block inside
// that canvas (in place) or apart.
struct Call {
  const VideoCase* C;
  uint8_t* Dst;
  const uint8_t* Src;
  uint32_t SrcPitch;
};

Call CallOn(const VideoCase* c, uint8_t* canvas) {
  uint8_t* dst = canvas + kBorder * c->Pitch + kBorder;
  if (c->InPlace) return {c, dst, dst + c->Dy * int32_t(c->Pitch) + c->Dx, c->Pitch};
  return {c, dst, c->Source.data(), c->SourcePitch};
}

typedef void (*VideoInvoke)(CheckasmFunction function, Call k);

template <typename Fn>
Fn As(CheckasmFunction f) {
  return reinterpret_cast<Fn>(f);
}

void InvokeIdctPut(CheckasmFunction f, Call k) {
  As<VideoIdctPutFn>(f)(k.Dst, k.C->Pitch, k.C->Coefs, k.C->Quant);
}
void InvokeIdctAdd(CheckasmFunction f, Call k) {
  As<VideoIdctAddFn>(f)(k.Dst, k.C->Pitch, k.C->Coefs, k.C->Quant, k.Src, k.SrcPitch);
}
void InvokeResidueAdd(CheckasmFunction f, Call k) {
  As<VideoResidueAddFn>(f)(k.Dst, k.C->Pitch, k.C->Residue, k.Src, k.SrcPitch);
}
void InvokeCopy(CheckasmFunction f, Call k) {
  As<VideoCopyFn>(f)(k.Dst, k.C->Pitch, k.Src, k.SrcPitch);
}
void InvokeFill(CheckasmFunction f, Call k) { As<VideoFillFn>(f)(k.Dst, k.C->Pitch, k.C->Value); }
void InvokePattern(CheckasmFunction f, Call k) {
  As<VideoPatternFn>(f)(k.Dst, k.C->Pitch, k.C->C0, k.C->C1, k.C->Rows);
}
void InvokeDouble(CheckasmFunction f, Call k) {
  As<VideoDoubleFn>(f)(k.Dst, k.C->Pitch, k.C->Block);
}

template <VideoInvoke Invoke>
int Compare(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng, char* why,
            size_t whySize) {
  VideoCase c;
  MakeCase(rng, &c);
  std::vector<uint8_t> expected = c.Canvas, got = c.Canvas;
  Invoke(reference, CallOn(&c, expected.data()));
  Invoke(candidate, CallOn(&c, got.data()));
  if (CheckasmSameBytes(expected.data(), got.data(), expected.size(), c.Pitch, why, whySize)) {
    return 1;
  }
  const size_t used = std::strlen(why);
  std::snprintf(why + used, whySize - used, " (canvas pitch %u, block at row and column %u%s)",
                c.Pitch, kBorder, c.InPlace ? ", source in the same canvas" : "");
  return 0;
}

void* Prepare(CheckasmRandom* rng) {
  VideoCase* c = new VideoCase;
  MakeCase(rng, c);
  c->Quant = VideoQuantInter[4];
  for (uint32_t i = 0; i < 64; ++i) c->Coefs[i] = RandomCoefficient(rng, 0, i);
  return c;
}

template <VideoInvoke Invoke>
void Run(CheckasmFunction function, void* inputs) {
  VideoCase* c = static_cast<VideoCase*>(inputs);
  Invoke(function, CallOn(c, c->Canvas.data()));
}

void Release(void* inputs) { delete static_cast<VideoCase*>(inputs); }

struct Slot {
  CheckasmKind Kind;
  CheckasmFunction (*Get)(const VideoKernels* k);
};

#define VIDEO_SLOT(name, invoke)                            \
  {{#name, Compare<invoke>, Prepare, Run<invoke>, Release}, \
   [](const VideoKernels* k) { return reinterpret_cast<CheckasmFunction>(k->name); }}
const Slot kSlots[] = {
    VIDEO_SLOT(IdctPut, InvokeIdctPut),      VIDEO_SLOT(IdctPutDoubled, InvokeIdctPut),
    VIDEO_SLOT(IdctAdd, InvokeIdctAdd),      VIDEO_SLOT(ResidueAdd, InvokeResidueAdd),
    VIDEO_SLOT(Copy8x8, InvokeCopy),         VIDEO_SLOT(Fill8x8, InvokeFill),
    VIDEO_SLOT(Fill16x16, InvokeFill),       VIDEO_SLOT(Pattern8x8, InvokePattern),
    VIDEO_SLOT(Pattern16x16, InvokePattern), VIDEO_SLOT(Double8x8, InvokeDouble),
};
#undef VIDEO_SLOT

}  // namespace

uint32_t CheckasmVideoCandidates(CheckasmCandidate* out, uint32_t capacity) {
  uint32_t setCount, total = 0;
  const VideoKernelSet* sets = VideoKernelSets(&setCount);
  const uint32_t cpu = PlatformCpuFeatures();
  for (uint32_t s = 0; s < setCount; ++s) {
    for (const Slot& slot : kSlots) {
      const CheckasmFunction function = slot.Get(sets[s].Kernels);
      if (!function) continue;
      if (out && total < capacity) {
        out[total] = {"video",  &slot.Kind, sets[s].Name, slot.Get(VideoReferenceKernels()),
                      function, (sets[s].CpuFlags & cpu) == sets[s].CpuFlags};
      }
      ++total;
    }
  }
  return total;
}
