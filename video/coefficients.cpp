#include "video/coefficients.h"

#include <cstring>

#include "video/scan_tables.h"

// The work list of the bit-plane readers: one byte per entry, coefficient index * 4 + mode, 0 for
// an empty entry. Mode 3 entries are inserted in front of the first entry, mode 2 entries appended
// after the last. Every index gets at most one mode 3 entry and nine mode 2 entries are ever
// appended, so 64 free places in front and 16 behind suffice.
struct VideoWorkList {
  uint8_t Entries[96];
  uint32_t Head;  // first entry
  uint32_t Tail;  // one past the last entry
};

enum : uint32_t { VideoModeGroupStart = 0, VideoModeGroupSplit = 1, VideoModeGroup = 2,
                  VideoModeSingle = 3 };

static void VideoWorkListInit(VideoWorkList* list, const uint8_t* entries, uint32_t count) {
  list->Head = 64;
  list->Tail = 64 + count;
  std::memcpy(list->Entries + list->Head, entries, count);
}

// Called for a coefficient whose value is read in the current pass; returns 0 to stop reading.
typedef int (*VideoCoefficientRead)(void* context, VideoBitReader* r, uint32_t index);

// Handles the group index..index+3: a 1 bit defers the coefficient to a mode 3 entry, a 0 bit
// reads it now.
static int VideoWalkGroup(VideoWorkList* list, VideoBitReader* r, uint32_t index,
                          VideoCoefficientRead read, void* context) {
  for (uint32_t c = index; c < index + 4; ++c) {
    if (VideoReadBit(r)) {
      list->Entries[--list->Head] = uint8_t(c * 4 + VideoModeSingle);
    } else if (!read(context, r, c)) {
      return 0;
    }
  }
  return 1;
}

// One pass over the work list, from its first entry to its last; entries appended on the way are
// visited in the same pass, entries inserted in front are not. Returns 0 when reading stopped.
static int VideoWalkWorkList(VideoWorkList* list, VideoBitReader* r, VideoCoefficientRead read,
                             void* context) {
  for (uint32_t i = list->Head; i < list->Tail; ++i) {
    const uint32_t entry = list->Entries[i];
    if (entry == 0 || !VideoReadBit(r)) continue;
    const uint32_t index = entry >> 2;
    switch (entry & 3) {
      case VideoModeGroupStart:
        list->Entries[i] = uint8_t((index + 4) * 4 + VideoModeGroupSplit);
        if (!VideoWalkGroup(list, r, index, read, context)) return 0;
        break;
      case VideoModeGroupSplit:
        list->Entries[i] = uint8_t(index * 4 + VideoModeGroup);
        for (uint32_t step = 4; step <= 12; step += 4) {
          list->Entries[list->Tail++] = uint8_t((index + step) * 4 + VideoModeGroup);
        }
        break;
      case VideoModeGroup:
        list->Entries[i] = 0;
        if (!VideoWalkGroup(list, r, index, read, context)) return 0;
        break;
      case VideoModeSingle:
        list->Entries[i] = 0;
        if (!read(context, r, index)) return 0;
        break;
    }
  }
  return 1;
}

struct VideoCoefficientPass {
  int16_t* Coefs;
  uint32_t Bits;  // the bit plane of this pass
};

// A coefficient found in bit plane `bits`: its top bit is implied, the lower bits and the sign
// follow (for plane 0 only the sign).
static int VideoReadCoefficientValue(void* context, VideoBitReader* r, uint32_t index) {
  const VideoCoefficientPass* pass = static_cast<const VideoCoefficientPass*>(context);
  int32_t value;
  if (pass->Bits == 0) {
    value = VideoReadBit(r) ? -1 : 1;
  } else {
    const uint32_t field = VideoReadBits(r, pass->Bits + 1);
    value = int32_t((1u << pass->Bits) | (field & ((1u << pass->Bits) - 1)));
    if (field >> pass->Bits) value = -value;
  }
  pass->Coefs[VideoCoefScan[index]] = int16_t(value);
  return 1;
}

void VideoReadCoefficients(VideoBitReader* r, int16_t coefs[64]) {
  std::memset(coefs + 1, 0, 63 * sizeof(int16_t));
  static const uint8_t start[6] = {4 * 4 + VideoModeGroupStart,  24 * 4 + VideoModeGroupStart,
                                   44 * 4 + VideoModeGroupStart, 1 * 4 + VideoModeSingle,
                                   2 * 4 + VideoModeSingle,      3 * 4 + VideoModeSingle};
  VideoWorkList list;
  VideoWorkListInit(&list, start, 6);
  const uint32_t planes = VideoReadBits(r, 4);
  VideoCoefficientPass pass = {coefs, 0};
  for (uint32_t p = planes; p-- > 0;) {
    pass.Bits = p;
    VideoWalkWorkList(&list, r, VideoReadCoefficientValue, &pass);
  }
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

static int VideoReadResidueValue(void* context, VideoBitReader* r, uint32_t index) {
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
  for (pass.Mask = 1u << VideoReadBits(r, 3); pass.Mask != 0; pass.Mask >>= 1) {
    if (!VideoRefineResidue(&pass, r)) return;
    if (!VideoWalkWorkList(&list, r, VideoReadResidueValue, &pass)) return;
  }
}
