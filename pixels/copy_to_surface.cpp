// MovieCopyToSurface: frame dropping, the reader's service step, and the choice between copying
// the whole picture and only its changed areas.
#include "core/movie_internal.h"
#include "core/movie_timing.h"
#include "platform/atomic.h"
#include "pixels/copy_job.h"
#include "vexa/copy.h"

namespace {

// Movie settings that apply to every copy: scaling mode, chroma order, gray scale.
constexpr uint32_t kMovieCopyFlags = OpenScaleMask | MovieFlagSwapUV | OpenGrayscale;
// Below this percentage of changed blocks only the changed areas are converted.
constexpr uint32_t kChangedCopyPercent = 75;

// Asks the frame timing whether the picture is late. Returns 1 when this copy is dropped;
// *behind tells whether the frame was late.
int CopyIsDropped(Movie* m, uint32_t flags, uint32_t* behind) {
  if (m->NumOpenTracks == 0 || m->FrameRate == 0 || m->Paused || m->SkipState != 0) return 0;
  const bool mustShow =
      (flags & OpenNeverSkip) || (m->OpenFlags & OpenNeverSkip) || m->FrameNum >= m->Frames;
  if (mustShow) {
    *behind = MovieShouldSkip(m, 1);
    return 0;
  }
  return MovieShouldSkip(m, 0) != 0;
}

// One read-ahead chunk when the ring runs low, taken only if the reader's lock is free at once;
// a busy lock means the IO thread is filling, so the processor is handed to it once.
void CopyServiceReader(Movie* m, uint32_t flags) {
  StreamReader* r = &m->Reader;
  if ((flags & OpenNoFillIo) || m->Preloaded != nullptr || r->StreamFill == nullptr) return;
  if (PlatformShared(r->Reading).load() != 0) return;
  const uint64_t target = m->PeakSecondBytes < PlatformShared(r->FillTarget).load()
                              ? m->PeakSecondBytes
                              : PlatformShared(r->FillTarget).load();
  if (uint64_t(PlatformShared(r->Used).load()) * 4 >= target * 3) return;
  if (r->ReaderTryLock == nullptr || r->ReaderTryLock(r)) {
    r->StreamFill(r, 0);
    if (r->ReaderUnlock != nullptr) r->ReaderUnlock(r);
  } else if (!(m->OpenFlags & OpenNoIoThread) && r->ReaderYield != nullptr) {
    r->ReaderYield(r);
  }
}

// The change map the decoder writes is made on the first copy that could use it; until a frame
// has been decoded with it, the whole picture counts as changed.
void CopyEnsureChangeMap(Movie* m) {
  if (m->ChangeMap != nullptr) return;
  m->ChangeMap = MovieAllocChangeMap(m);
  if (m->ChangeMap == nullptr) return;
  m->ChangedPercent = m->ChangedPercentMax = 100;
}

void CopyPicture(Movie* m, const CopyJob* job, uint32_t flags) {
  if (job->Sel.Row == nullptr && !job->Sel.Planar) return;
  if (!(flags & CopyAll) && m->ChangedPercent < kChangedCopyPercent) {
    CopyEnsureChangeMap(m);
    if (m->ChangeMapLast != nullptr && CopyMapCovers(job, m->BlocksPerRow, m->ChangeMapBytes)) {
      CopyChanged(job, m->ChangeMapLast, m->BlocksPerRow);
      return;
    }
  }
  CopyFull(job);
}

}  // namespace

uint32_t MovieCopyToSurface(Movie* m, void* dest, int32_t pitch, uint32_t rows, uint32_t,
                            uint32_t, uint32_t, uint32_t, uint32_t width, uint32_t height,
                            uint32_t flags) {
  if (m == nullptr || dest == nullptr || m->Planes == nullptr || rows == 0) return 0;
  uint32_t storedWidth, storedHeight;
  CopyStoredSize(m, width, height, &storedWidth, &storedHeight);
  if (storedWidth == 0 || storedHeight == 0 || m->SkipState == 2) return m->SkipState == 2;

  flags |= m->OpenFlags & kMovieCopyFlags;
  if (!CopyHasAlpha(m)) flags &= ~CopySwapAlpha;
  CopyJob job;
  if (!CopyJobPrepare(&job, m, dest, pitch, rows, storedWidth, storedHeight, flags,
                      PixelKernelsBest())) {
    return 0;
  }

  if (m->CopyStart == kCopyArmed) m->CopyStart = MovieTimerMs();
  // The reader counts fills during a copy as background time; restore whatever the frame
  // decode running beside this copy had set.
  const uint32_t wasBusy = PlatformShared(m->Reader.Busy).exchange(1);
  uint32_t behind = 0;
  if (CopyIsDropped(m, flags, &behind)) {
    PlatformShared(m->Reader.Busy).store(wasBusy);
    return 1;
  }
  CopyServiceReader(m, flags);
  CopyPicture(m, &job, flags);
  m->SkippedLast = 0;
  PlatformShared(m->Reader.Busy).store(wasBusy);
  return behind;
}
