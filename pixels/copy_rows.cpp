// The copy's row loops: the whole rectangle, or only the changed 16x16 areas.
#include <cstring>

#include "pixels/copy_job.h"

namespace {

// Intermediate row for converters followed by a post-step.
constexpr uint32_t kPostChunkBytes = 512;
constexpr uint32_t kAreaSize = 16;

// Pixels one converter call may take.
uint32_t ChunkPixels(const CopyJob* job, uint32_t count) {
  uint32_t chunk = count;
  if (job->Sel.Post != nullptr) chunk = kPostChunkBytes / job->Sel.RowBytes;
  if (job->Gray && chunk > kCopyGrayPixels) chunk = kCopyGrayPixels;
  return chunk < count ? chunk : count;
}

PixelSpan SourceSpan(const CopyJob* job, uint32_t y, uint32_t x) {
  PixelSpan s;
  const uint32_t chromaRow = y / 2;
  s.Y = job->Y + y * job->YPitch + x;
  s.A = job->A != nullptr ? job->A + y * job->APitch + x : nullptr;
  s.U = job->U + chromaRow * job->UPitch + (job->Gray ? 0 : x / 2);
  s.V = job->V + chromaRow * job->VPitch + (job->Gray ? 0 : x / 2);
  s.Dest = nullptr;
  s.Count = 0;
  s.OddStart = x & 1;
  s.Phase = y & 1;
  return s;
}

// bytes destination bytes of one plane row from src, each source byte twice when the width is
// doubled (an odd count ends with the first half of a pair); grey chroma (src null) is a fill.
void CopyPlaneRow(const CopyJob* job, const uint8_t* src, uint32_t bytes, uint8_t* out) {
  if (src == nullptr) {
    std::memset(out, 128, bytes);
  } else if (job->Sel.Post == nullptr) {
    std::memcpy(out, src, bytes);
  } else {
    job->Sel.Post(src, bytes / 2, out);
    if (bytes % 2 != 0) out[bytes - 1] = src[bytes / 2];
  }
}

// The plane row into destination rows destRow .. destRow + copies - 1 of the plane, from byte
// first on.
void CopyPlaneRows(const CopyJob* job, const CopyPlane* plane, uint64_t destRow, uint32_t copies,
                   const uint8_t* src, uint32_t first, uint32_t bytes) {
  for (uint64_t row = destRow; row < destRow + copies && row < plane->Rows; ++row) {
    CopyPlaneRow(job, src, bytes, plane->Row0 + plane->Pitch * ptrdiff_t(row) + first);
  }
}

// Planar 4:2:0: the luma bytes of the span, and on even source rows the V and U bytes of its
// chroma samples. A chroma row lies beside two luma rows, so in the height-doubling modes it
// fills both of its destination rows even where the luma rows between stay untouched (modes 2
// and 5), and under mode 6 every chroma row is written: each serves an even luma row that is.
// Doubled, the chroma row stops at half the luma row's bytes, rounded up.
void CopyPlanarSpan(const CopyJob* job, uint32_t y, uint32_t x, uint32_t count) {
  const uint32_t scale = job->Sel.DestBytes;  // 2 when the width is doubled
  const CopyPlane luma = {job->Dest, job->Pitch, job->DestRows};
  CopyPlaneRows(job, &luma, uint64_t(y) * job->RowFactor, job->RepeatRow + 1,
                job->Y + y * job->YPitch + x, x * scale, count * scale);
  if (y % 2 != 0 || count == 0) return;
  const uint32_t first = x / 2, end = (x + count + 1) / 2;
  const uint32_t rowEnd = (job->Width * scale + 1) / 2;
  const uint32_t bytes = (end * scale < rowEnd ? end * scale : rowEnd) - first * scale;
  const uint8_t* planes[2] = {job->V, job->U};
  const size_t pitches[2] = {job->VPitch, job->UPitch};
  for (int p = 0; p < 2; ++p) {
    const uint8_t* src = job->Gray ? nullptr : planes[p] + (y / 2) * pitches[p] + first;
    CopyPlaneRows(job, &job->Chroma[p], uint64_t(y / 2) * job->RowFactor, job->RowFactor, src,
                  first * scale, bytes);
  }
}

}  // namespace

void CopySpan(const CopyJob* job, uint32_t y, uint32_t x, uint32_t count) {
  const PixelSelection* sel = &job->Sel;
  if (sel->Planar) return CopyPlanarSpan(job, y, x, count);
  const uint64_t destRow = uint64_t(y) * job->RowFactor;
  if (sel->Row == nullptr || destRow >= job->DestRows || count == 0) return;
  uint8_t* row = job->Dest + job->Pitch * ptrdiff_t(destRow);
  uint8_t* out = row + size_t(x) * sel->DestBytes;

  PixelSpan span = SourceSpan(job, y, x);
  span.Count = count;
  span.Dest = out;
  alignas(16) uint8_t converted[kPostChunkBytes];
  const uint32_t chunk = ChunkPixels(job, count);
  for (uint32_t done = 0; done < count; done += chunk) {
    const uint32_t n = count - done < chunk ? count - done : chunk;
    PixelSpan part = PixelSubSpan(&span, done, n, sel->RowBytes);
    if (job->Gray) part.U = part.V = job->U;  // the grey row is only one chunk long
    if (sel->Post == nullptr) {
      sel->Row(&part, &sel->K);
    } else {
      part.Dest = converted;
      sel->Row(&part, &sel->K);
      sel->Post(converted, n, out + size_t(done) * sel->DestBytes);
    }
  }
  if (job->RepeatRow && destRow + 1 < job->DestRows) {
    std::memcpy(out + job->Pitch, out, size_t(count) * sel->DestBytes);
  }
}

void CopyFull(const CopyJob* job) {
  for (uint32_t y = 0; y < job->Height; y += job->RowStep) CopySpan(job, y, 0, job->Width);
}

int CopyMapCovers(const CopyJob* job, uint32_t stride, uint32_t mapBytes) {
  const uint64_t columns = (uint64_t(job->Width) + kAreaSize - 1) / kAreaSize;
  const uint64_t bands = (uint64_t(job->Height) + kAreaSize - 1) / kAreaSize;
  return stride >= columns && uint64_t(stride) * bands <= mapBytes;
}

void CopyChanged(const CopyJob* job, const uint8_t* map, uint32_t stride) {
  const uint32_t columns = (job->Width + kAreaSize - 1) / kAreaSize;
  for (uint32_t y = 0; y < job->Height; y += job->RowStep) {
    const uint8_t* band = map + size_t(y / kAreaSize) * stride;
    uint32_t c = 0;
    while (c < columns) {
      if (band[c] == 0) {
        ++c;
        continue;
      }
      const uint32_t first = c;
      while (c < columns && band[c] != 0) ++c;
      const uint32_t x = first * kAreaSize;
      const uint32_t end = c * kAreaSize < job->Width ? c * kAreaSize : job->Width;
      CopySpan(job, y, x, end - x);
    }
  }
}
