// Preparing a copy's conversion job from the movie's planes, the destination and the flags.
#include <array>

#include "pixels/copy_job.h"
#include "vexa/copy.h"

namespace {

constexpr std::array<uint8_t, kCopyGrayPixels> kGrayRow = [] {
  std::array<uint8_t, kCopyGrayPixels> row{};
  row.fill(128);
  return row;
}();

uint32_t ScaleDown(uint32_t shown, uint32_t stored, uint32_t displayed) {
  if (displayed == 0) return 0;
  const uint64_t scaled = uint64_t(shown) * stored / displayed;
  return scaled < stored ? uint32_t(scaled) : stored;
}

const VideoPlane* CurrentSet(const Movie* movie) {
  const VideoPlanes* p = movie->Planes;
  return p->Current < 2 ? p->Sets[p->Current] : nullptr;
}

void SetScaling(CopyJob* job, uint32_t mode) {
  job->RowFactor = PixelScaleDoublesHeight(mode) ? 2 : 1;
  job->RepeatRow = PixelScaleRepeatsRows(mode) ? 1 : 0;
  job->RowStep = PixelScaleSkipsOddRows(mode) ? 2 : 1;
}

// Planar (type 15) destinations hold rows luma rows, then the V and the U plane of rows / 2 rows
// at half the pitch each; with the pitch negative every plane runs upwards within its own rows.
void SetChromaPlanes(CopyJob* job, uint8_t* dest, uint64_t pitchBytes, uint32_t rows, bool up) {
  const uint32_t chromaRows = rows / 2;
  const ptrdiff_t half = ptrdiff_t(pitchBytes / 2);
  uint8_t* plane = dest + ptrdiff_t(rows) * ptrdiff_t(pitchBytes);
  for (CopyPlane& chroma : job->Chroma) {
    chroma.Row0 = up && chromaRows > 0 ? plane + ptrdiff_t(chromaRows - 1) * half : plane;
    chroma.Pitch = up ? -half : half;
    chroma.Rows = chromaRows;
    plane += ptrdiff_t(chromaRows) * half;
  }
}

}  // namespace

void CopyStoredSize(const Movie* movie, uint32_t width, uint32_t height, uint32_t* storedWidth,
                    uint32_t* storedHeight) {
  const VideoPlanes* p = movie->Planes;
  uint32_t w = ScaleDown(width, movie->FileWidth, movie->Width);
  uint32_t h = ScaleDown(height, movie->FileHeight, movie->Height);
  *storedWidth = w < p->Width ? w : p->Width;
  *storedHeight = h < p->Height ? h : p->Height;
}

int CopyHasAlpha(const Movie* movie) {
  const VideoPlane* set = CurrentSet(movie);
  return set != nullptr && set[PlaneA].Wanted && set[PlaneA].Pixels != nullptr;
}

int CopyJobPrepare(CopyJob* job, const Movie* movie, void* dest, int32_t pitch, uint32_t rows,
                   uint32_t storedWidth, uint32_t storedHeight, uint32_t flags,
                   const PixelKernels* kernels) {
  const VideoPlane* set = CurrentSet(movie);
  if (set == nullptr || set[PlaneY].Pixels == nullptr || set[PlaneChroma1].Pixels == nullptr ||
      set[PlaneChroma2].Pixels == nullptr) {
    return 0;
  }
  *job = CopyJob{};
  PixelSelect(flags, CopyHasAlpha(movie), kernels, &job->Sel);
  // The buffer holds rows * |pitch| bytes: a destination row longer than the pitch would run
  // into the next row or past the buffer's end.
  const uint64_t rowBytes = uint64_t(storedWidth) * job->Sel.DestBytes;
  const uint64_t pitchBytes = pitch < 0 ? uint64_t(-int64_t(pitch)) : uint64_t(pitch);
  if (pitchBytes < rowBytes || (job->Sel.Planar && pitchBytes % 2 != 0)) return 0;

  job->Pitch = pitch;
  job->DestRows = rows;
  job->Dest = static_cast<uint8_t*>(dest);
  if (pitch < 0) job->Dest += ptrdiff_t(rows - 1) * ptrdiff_t(pitchBytes);
  if (job->Sel.Planar) {
    SetChromaPlanes(job, static_cast<uint8_t*>(dest), pitchBytes, rows, pitch < 0);
  }

  const bool swapAlpha = (flags & CopySwapAlpha) && CopyHasAlpha(movie);
  const VideoPlane& luma = set[swapAlpha ? PlaneA : PlaneY];
  const VideoPlane& alpha = set[swapAlpha ? PlaneY : PlaneA];
  job->Y = luma.Pixels, job->YPitch = luma.Pitch;
  if (CopyHasAlpha(movie)) job->A = alpha.Pixels, job->APitch = alpha.Pitch;

  // The first chroma plane carries V (red difference), the second U; older files have them the
  // other way round.
  const bool swapUV = (flags & MovieFlagSwapUV) != 0;
  const VideoPlane& v = set[swapUV ? PlaneChroma2 : PlaneChroma1];
  const VideoPlane& u = set[swapUV ? PlaneChroma1 : PlaneChroma2];
  job->Gray = (flags & OpenGrayscale) ? 1 : 0;
  if (job->Gray) {
    job->U = job->V = kGrayRow.data();
  } else {
    job->U = u.Pixels, job->UPitch = u.Pitch;
    job->V = v.Pixels, job->VPitch = v.Pitch;
  }
  job->Width = storedWidth;
  job->Height = storedHeight;
  SetScaling(job, (flags & CopyScaleMask) >> CopyScaleShift);
  return 1;
}
