#include "encoder/video_coefficient_writer.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "video/scan_tables.h"

namespace {

enum : uint32_t { ModeGroupStart = 0, ModeGroupSplit = 1, ModeGroup = 2, ModeSingle = 3 };

// Top bit of each value by transmission index (-1 for zero), and the pass in which each work
// list entry (index * 4 + mode) must answer 1, -1 for never.
struct EncoderTopBits {
  int32_t Top[64];
  int8_t Pass[256];
};

int32_t EncoderMax(int32_t a, int32_t b) { return a > b ? a : b; }

// A group answers in the pass of its highest top bit; a split entry early enough for the group
// it keeps in place, which is visited one pass later; a group start early enough for its split
// entry, also visited one pass later.
void EncoderPlanPasses(EncoderTopBits* t) {
  int32_t group[16];
  for (uint32_t g = 0; g < 16; ++g) {
    group[g] = -1;
    for (uint32_t j = 4 * g; j < 4 * g + 4; ++j) group[g] = EncoderMax(group[g], t->Top[j]);
    t->Pass[16 * g + ModeGroup] = int8_t(group[g]);
  }
  for (uint32_t c = 0; c < 64; ++c) t->Pass[c * 4 + ModeSingle] = int8_t(t->Top[c]);
  for (uint32_t start : {4u, 24u, 44u}) {
    const uint32_t split = start + 4, g = split / 4;
    int32_t pass = group[g] >= 0 ? group[g] + 1 : -1;
    for (uint32_t k = 1; k <= 3; ++k) pass = EncoderMax(pass, group[g + k]);
    t->Pass[split * 4 + ModeGroupSplit] = int8_t(pass);
    t->Pass[start * 4 + ModeGroupStart] =
        int8_t(EncoderMax(group[start / 4], pass >= 0 ? pass + 1 : -1));
  }
}

int32_t EncoderEntryPass(const EncoderTopBits* t, uint32_t entry) { return t->Pass[entry]; }

struct EncoderWorkList {
  uint8_t Entries[96];
  uint32_t Head, Tail;
};

void EncoderWorkListInit(EncoderWorkList* list, const uint8_t* entries, uint32_t count) {
  list->Head = 64;
  list->Tail = 64 + count;
  std::memcpy(list->Entries + list->Head, entries, count);
}

// What happens to a value read in a pass; returns 0 once writing must stop.
typedef int (*EncoderValueWriter)(void* context, uint32_t index, uint32_t pass);

struct EncoderWalk {
  EncoderWorkList List;
  const EncoderTopBits* Tops;
  EncoderBlockBits* Bits;
  EncoderValueWriter Write;
  void* Context;
};

int EncoderWalkGroup(EncoderWalk* w, uint32_t c, uint32_t pass) {
  for (uint32_t j = c; j < c + 4; ++j) {
    const bool now = w->Tops->Top[j] == int32_t(pass);
    EncoderBlockBitsPut(w->Bits, now ? 0 : 1, 1);
    if (!now) {
      w->List.Entries[--w->List.Head] = uint8_t(j * 4 + ModeSingle);
    } else if (!w->Write(w->Context, j, pass)) {
      return 0;
    }
  }
  return 1;
}

// One pass over the list, as the decoder walks it.
int EncoderWalkPass(EncoderWalk* w, uint32_t pass) {
  EncoderWorkList* list = &w->List;
  for (uint32_t i = list->Head; i < list->Tail; ++i) {
    const uint32_t entry = list->Entries[i];
    if (entry == 0) continue;
    const bool fire = EncoderEntryPass(w->Tops, entry) == int32_t(pass);
    EncoderBlockBitsPut(w->Bits, fire ? 1 : 0, 1);
    if (!fire) continue;
    const uint32_t c = entry >> 2;
    switch (entry & 3) {
      case ModeGroupStart:
        list->Entries[i] = uint8_t((c + 4) * 4 + ModeGroupSplit);
        if (!EncoderWalkGroup(w, c, pass)) return 0;
        break;
      case ModeGroupSplit:
        list->Entries[i] = uint8_t(c * 4 + ModeGroup);
        for (uint32_t step = 4; step <= 12; step += 4) {
          list->Entries[list->Tail++] = uint8_t((c + step) * 4 + ModeGroup);
        }
        break;
      case ModeGroup:
        list->Entries[i] = 0;
        if (!EncoderWalkGroup(w, c, pass)) return 0;
        break;
      case ModeSingle:
        list->Entries[i] = 0;
        if (!w->Write(w->Context, c, pass)) return 0;
        break;
    }
  }
  return 1;
}

int32_t EncoderTopBit(int32_t value) {
  return value == 0 ? -1 : int32_t(std::bit_width(uint32_t(std::abs(value)))) - 1;
}

// The highest pass any of the first entries must answer in.
int32_t EncoderFirstPass(const EncoderTopBits* t, const uint8_t* entries, uint32_t count) {
  int32_t pass = -1;
  for (uint32_t i = 0; i < count; ++i) pass = EncoderMax(pass, EncoderEntryPass(t, entries[i]));
  return pass;
}

struct EncoderCoefficientValues {
  const int16_t* Coefs;
  EncoderBlockBits* Bits;
};

// The top bit is implied by the pass; the lower bits and the sign follow.
int EncoderWriteCoefficientValue(void* context, uint32_t index, uint32_t pass) {
  const EncoderCoefficientValues* v = static_cast<const EncoderCoefficientValues*>(context);
  const int32_t value = v->Coefs[VideoCoefScan[index]];
  const uint32_t negative = value < 0 ? 1 : 0;
  const uint32_t magnitude = uint32_t(std::abs(value));
  if (pass == 0) {
    EncoderBlockBitsPut(v->Bits, negative, 1);
  } else {
    EncoderBlockBitsPut(v->Bits, (magnitude - (1u << pass)) | (negative << pass), pass + 1);
  }
  return 1;
}

struct EncoderResidueValues {
  const int32_t* Values;  // by transmission index
  EncoderBlockBits* Bits;
  uint8_t Nonzero[64];
  uint32_t NonzeroCount;
  uint32_t Changes, TotalChanges;
};

int EncoderCountChange(EncoderResidueValues* v) { return ++v->Changes != v->TotalChanges; }

int EncoderWriteResidueValue(void* context, uint32_t index, uint32_t) {
  EncoderResidueValues* v = static_cast<EncoderResidueValues*>(context);
  v->Nonzero[v->NonzeroCount++] = uint8_t(index);
  EncoderBlockBitsPut(v->Bits, v->Values[index] < 0 ? 1 : 0, 1);
  return EncoderCountChange(v);
}

// The bits below the top bit, one per pass, for the values already read.
int EncoderRefineResidue(EncoderResidueValues* v, uint32_t pass) {
  for (uint32_t i = 0; i < v->NonzeroCount; ++i) {
    const uint32_t bit = (uint32_t(std::abs(v->Values[v->Nonzero[i]])) >> pass) & 1;
    EncoderBlockBitsPut(v->Bits, bit, 1);
    if (bit && !EncoderCountChange(v)) return 0;
  }
  return 1;
}

}  // namespace

void EncoderWriteCoefficients(EncoderBlockBits* bits, const int16_t coefs[64]) {
  EncoderTopBits tops;
  for (uint32_t k = 0; k < 64; ++k) tops.Top[k] = EncoderTopBit(coefs[VideoCoefScan[k]]);
  tops.Top[0] = -1;  // the DC is not written here
  EncoderPlanPasses(&tops);
  static const uint8_t start[6] = {4 * 4 + ModeGroupStart,  24 * 4 + ModeGroupStart,
                                   44 * 4 + ModeGroupStart, 1 * 4 + ModeSingle,
                                   2 * 4 + ModeSingle,      3 * 4 + ModeSingle};
  const uint32_t passes = uint32_t(EncoderFirstPass(&tops, start, 6) + 1);
  EncoderBlockBitsPut(bits, passes, 4);
  EncoderCoefficientValues values = {coefs, bits};
  EncoderWalk walk = {{}, &tops, bits, EncoderWriteCoefficientValue, &values};
  EncoderWorkListInit(&walk.List, start, 6);
  for (uint32_t p = passes; p-- > 0;) EncoderWalkPass(&walk, p);
}

int EncoderWriteResidue(EncoderBlockBits* bits, const int8_t residue[64]) {
  EncoderTopBits tops;
  int32_t values[64];
  uint32_t changes = 0;
  for (uint32_t k = 0; k < 64; ++k) {
    values[k] = residue[VideoCoefScan[k]];
    tops.Top[k] = EncoderTopBit(values[k]);
    changes += uint32_t(std::popcount(uint32_t(std::abs(values[k]))));
  }
  EncoderPlanPasses(&tops);
  static const uint8_t start[4] = {4 * 4 + ModeGroupStart, 24 * 4 + ModeGroupStart,
                                   44 * 4 + ModeGroupStart, 0 * 4 + ModeGroup};
  const int32_t first = EncoderFirstPass(&tops, start, 4);
  if (changes > 128 || first > 7) return 0;
  EncoderBlockBitsPut(bits, changes ? changes - 1 : 0, 7);
  const uint32_t top = first < 0 ? 0 : uint32_t(first);
  EncoderBlockBitsPut(bits, top, 3);
  EncoderResidueValues state = {};
  state.Values = values;
  state.Bits = bits;
  state.TotalChanges = changes;
  EncoderWalk walk = {{}, &tops, bits, EncoderWriteResidueValue, &state};
  EncoderWorkListInit(&walk.List, start, 4);
  for (uint32_t p = top + 1; p-- > 0;) {
    if (!EncoderRefineResidue(&state, p)) return 1;
    if (!EncoderWalkPass(&walk, p)) return 1;
  }
  return 1;
}
