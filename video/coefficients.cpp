#include "video/coefficients.h"

#include <bit>
#include <cstring>

#include "video/scan_tables.h"

// The work list of the bit-plane readers: one byte per entry, coefficient index * 4 + mode. Mode
// 3 entries are inserted in front of the first entry, mode 2 entries appended after the last, and
// an entry that is done leaves the list. A pass reads the list from one array and writes the list
// of the next pass to the other: the entries it keeps from 64 on, the ones it inserts below 64.
// A list holds at most 76 entries (one mode 3 entry per index, twelve group entries), so each
// array has room for the list, nine appended entries and a 32-byte copy beyond its end.
struct VideoWorkList {
  uint8_t Entries[2][192];
  uint32_t Current;  // the array that holds the list
  uint32_t Head;     // first entry
  uint32_t Tail;     // one past the last entry
};

enum : uint32_t { VideoModeGroupStart = 0, VideoModeGroupSplit = 1, VideoModeGroup = 2,
                  VideoModeSingle = 3 };

constexpr uint32_t kVideoWorkListStart = 64;

static void VideoWorkListInit(VideoWorkList* list, const uint8_t* entries, uint32_t count) {
  list->Current = 0;
  list->Head = kVideoWorkListStart;
  list->Tail = kVideoWorkListStart + count;
  std::memcpy(list->Entries[0] + list->Head, entries, count);
}

// Called for a coefficient whose value is read in the current pass; returns 0 to stop reading.
// The walk takes it as a template argument, so each reader's version is inlined into its walk.
typedef int (*VideoCoefficientRead)(void* context, VideoBitReader* r, uint32_t index);

// Handles the group index..index+3: a 1 bit defers the coefficient to a mode 3 entry in front of
// the list (at *head), a 0 bit reads it now.
template <VideoCoefficientRead Read>
static inline int VideoWalkGroup(uint8_t* entries, uint32_t* head, VideoBitReader* r,
                                 uint32_t index, void* context) {
  for (uint32_t c = index; c < index + 4; ++c) {
    if (VideoReadBit(r)) {
      entries[--*head] = uint8_t(c * 4 + VideoModeSingle);
    } else if (!Read(context, r, c)) {
      return 0;
    }
  }
  return 1;
}

// Handles the group index..index+3 at once: VideoWalkGroup, or a reader's own version of it.
// Returns 0 to stop reading.
typedef int (*VideoGroupRead)(uint8_t* entries, uint32_t* head, VideoBitReader* r, uint32_t index,
                              void* context);

// One pass over the work list, from its first entry to its last; entries appended on the way are
// visited in the same pass, entries inserted in front are not. Most entries read a 0 bit and stay
// as they are, so the walk passes over a run of them with one scan of the buffered bits and one
// fixed-size copy into the next pass's list. Returns 0 when reading stopped.
template <VideoCoefficientRead Read, VideoGroupRead Group = VideoWalkGroup<Read>>
static int VideoWalkWorkList(VideoWorkList* list, VideoBitReader* r, void* context) {
  uint8_t* entries = list->Entries[list->Current];
  uint8_t* next = list->Entries[list->Current ^ 1];
  uint32_t tail = list->Tail, head = kVideoWorkListStart, kept = kVideoWorkListStart;
  for (uint32_t i = list->Head; i < tail;) {
    VideoBufferWord(r);
    const uint32_t zeros = uint32_t(std::countr_zero(r->Bits | (uint64_t(1) << 32)));
    const uint32_t stay = zeros < tail - i ? zeros : tail - i;
    VideoSkipBits(r, stay);
    std::memcpy(next + kept, entries + i, 32);  // entries beyond the stay run are overwritten
    kept += stay;
    i += stay;
    if (i == tail || stay == 32) continue;
    VideoSkipBits(r, 1);
    const uint32_t entry = entries[i++];
    const uint32_t index = entry >> 2;
    switch (entry & 3) {
      case VideoModeGroupStart:
        next[kept++] = uint8_t((index + 4) * 4 + VideoModeGroupSplit);
        if (!Group(next, &head, r, index, context)) return 0;
        break;
      case VideoModeGroupSplit:
        next[kept++] = uint8_t(index * 4 + VideoModeGroup);
        for (uint32_t step = 4; step <= 12; step += 4) {
          entries[tail++] = uint8_t((index + step) * 4 + VideoModeGroup);
        }
        break;
      case VideoModeGroup:
        if (!Group(next, &head, r, index, context)) return 0;
        break;
      case VideoModeSingle:
        if (!Read(context, r, index)) return 0;
        break;
    }
  }
  list->Current ^= 1;
  list->Head = head;
  list->Tail = kept;
  return 1;
}

struct VideoCoefficientPass {
  int16_t* Coefs;
  uint32_t Bits;  // the bit plane of this pass
};

// A coefficient found in bit plane `bits`: its top bit is implied; a field of bits + 1 bits holds
// the lower bits and, on top, the sign (in plane 0 the field is the sign alone).
static inline int VideoReadCoefficientValue(void* context, VideoBitReader* r, uint32_t index) {
  const VideoCoefficientPass* pass = static_cast<const VideoCoefficientPass*>(context);
  const uint32_t bits = pass->Bits;
  const uint32_t field = VideoReadBits(r, bits + 1);
  const uint32_t magnitude = (1u << bits) | (field & ((1u << bits) - 1));
  const uint32_t negative = field >> bits;
  pass->Coefs[VideoCoefScan[index]] = int16_t((magnitude ^ (0u - negative)) + negative);
  return 1;
}

// VideoWalkGroup for coefficient values, without a branch on the data: the flag bit and a value's
// field (at most 16 bits together) are taken from one buffered word, the entry is written to the
// free slot in front of the list whether it is kept or not, and a deferred coefficient stores 0 (a
// coefficient in a group has not been read yet, so it is 0 already).
static inline int VideoReadCoefficientGroup(uint8_t* entries, uint32_t* head, VideoBitReader* r,
                                            uint32_t index, void* context) {
  const VideoCoefficientPass* pass = static_cast<const VideoCoefficientPass*>(context);
  const uint32_t bits = pass->Bits;
  for (uint32_t c = index; c < index + 4; ++c) {
    VideoBufferWord(r);
    const uint32_t word = uint32_t(r->Bits);
    const uint32_t read = (word & 1) - 1;  // all ones when the value is read now
    const uint32_t field = word >> 1;
    const uint32_t magnitude = (1u << bits) | (field & ((1u << bits) - 1));
    const uint32_t negative = (field >> bits) & 1;
    entries[*head - 1] = uint8_t(c * 4 + VideoModeSingle);
    *head -= word & 1;
    pass->Coefs[VideoCoefScan[c]] = int16_t(((magnitude ^ (0u - negative)) + negative) & read);
    VideoSkipBits(r, 1 + ((bits + 1) & read));
  }
  return 1;
}

void VideoReadCoefficients(VideoBitReader* r, int16_t coefs[64]) {
  // Clearing all 64 entries is a few vector stores; 63 from entry 1 would be a library call.
  const int16_t dc = coefs[0];
  std::memset(coefs, 0, 64 * sizeof(int16_t));
  coefs[0] = dc;
  static const uint8_t start[6] = {4 * 4 + VideoModeGroupStart,  24 * 4 + VideoModeGroupStart,
                                   44 * 4 + VideoModeGroupStart, 1 * 4 + VideoModeSingle,
                                   2 * 4 + VideoModeSingle,      3 * 4 + VideoModeSingle};
  // The reader works on a local copy: stores into the work list (bytes) could otherwise alias it.
  VideoBitReader local = *r;
  VideoWorkList list;
  VideoWorkListInit(&list, start, 6);
  const uint32_t planes = VideoReadBits(&local, 4);
  VideoCoefficientPass pass = {coefs, 0};
  for (uint32_t p = planes; p-- > 0;) {
    pass.Bits = p;
    VideoWalkWorkList<VideoReadCoefficientValue, VideoReadCoefficientGroup>(&list, &local, &pass);
  }
  VideoUnbufferWord(&local, r->Pos);
  *r = local;
}

struct VideoResiduePass {
  int8_t* Residue;          // natural order
  uint8_t Nonzero[64];      // coefficient indices in the order they became nonzero
  uint32_t NonzeroCount;
  uint32_t Changes;
  uint32_t Budget;
  uint32_t Mask;
};

// Counts a change; returns 0 once the change after the budget has been made.
static int VideoCountChange(VideoResiduePass* pass) {
  return ++pass->Changes != pass->Budget + 1;
}

static inline int VideoReadResidueValue(void* context, VideoBitReader* r, uint32_t index) {
  VideoResiduePass* pass = static_cast<VideoResiduePass*>(context);
  pass->Nonzero[pass->NonzeroCount++] = uint8_t(index);
  const uint32_t value = VideoReadBit(r) ? 0u - pass->Mask : pass->Mask;
  pass->Residue[VideoCoefScan[index]] = int8_t(uint8_t(value));
  return VideoCountChange(pass);
}

// Moves every nonzero value one mask further from zero where its bit says so.
static int VideoRefineResidue(VideoResiduePass* pass, VideoBitReader* r) {
  for (uint32_t i = 0; i < pass->NonzeroCount; ++i) {
    if (!VideoReadBit(r)) continue;
    int8_t* value = &pass->Residue[VideoCoefScan[pass->Nonzero[i]]];
    const uint32_t v = uint8_t(*value);
    *value = int8_t(uint8_t(*value < 0 ? v - pass->Mask : v + pass->Mask));
    if (!VideoCountChange(pass)) return 0;
  }
  return 1;
}

void VideoReadResidue(VideoBitReader* r, int8_t residue[64], uint32_t budget) {
  std::memset(residue, 0, 64);
  static const uint8_t start[4] = {4 * 4 + VideoModeGroupStart, 24 * 4 + VideoModeGroupStart,
                                   44 * 4 + VideoModeGroupStart, 0 * 4 + VideoModeGroup};
  VideoWorkList list;
  VideoWorkListInit(&list, start, 4);
  VideoResiduePass pass = {};
  pass.Residue = residue;
  pass.Budget = budget;
  VideoBitReader local = *r;
  for (pass.Mask = 1u << VideoReadBits(&local, 3); pass.Mask != 0; pass.Mask >>= 1) {
    if (!VideoRefineResidue(&pass, &local)) break;
    if (!VideoWalkWorkList<VideoReadResidueValue>(&list, &local, &pass)) break;
  }
  VideoUnbufferWord(&local, r->Pos);
  *r = local;
}
