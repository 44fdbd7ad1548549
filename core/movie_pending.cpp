#include "core/movie_pending.h"

#include <atomic>
#include <cstring>

#include "platform/mem_hook.h"

namespace {
// Opens on different threads neither share pending values nor error texts.
thread_local PendingOpenValues gPending;
thread_local char gLastError[MOVIE_ERROR_CAPACITY];
std::atomic<SoundOpenFunction> gSoundOpen{nullptr};
std::atomic<MovieCloseHookFunc> gCloseHook{nullptr};
}  // namespace

PendingOpenValues* MoviePending() { return &gPending; }

void MovieTakePending(PendingOpenValues* taken) {
  std::memcpy(static_cast<void*>(taken), &gPending, sizeof(gPending));
  gPending = PendingOpenValues{};
}

SoundOpenFunction MovieSoundOpener() { return gSoundOpen.load(); }
MovieCloseHookFunc MovieCloseHook() { return gCloseHook.load(); }

void MovieResetPendingTrackList() {
  gPending.TrackCount = 1;
  gPending.TrackIds[0] = 0;
}

void MovieClearError() { gLastError[0] = 0; }
int MovieHasError() { return gLastError[0] != 0; }

const char* MovieGetError(void) { return gLastError; }

void MovieSetError(const char* text) {
  if (!text) text = "";
  size_t n = std::strlen(text);
  if (n > MOVIE_ERROR_CAPACITY - 1) n = MOVIE_ERROR_CAPACITY - 1;
  std::memcpy(gLastError, text, n);
  gLastError[n] = 0;
}

void MovieSetPendingFrameRate(uint32_t rate, uint32_t rateDiv) {
  gPending.FrameRate = rate;
  gPending.FrameRateDiv = rateDiv;
}

int MovieSetPendingTrackList(const uint32_t* ids, uint32_t count) {
  if (count > kMaxPendingTracks || (count && !ids)) return 0;
  gPending.TrackCount = count;
  if (count) std::memcpy(gPending.TrackIds, ids, count * sizeof(uint32_t));
  return 1;
}

void MovieSetPendingIoBufferSize(uint32_t bytes) { gPending.IoBufferSize = bytes; }
void MovieSetPendingSimulatedSpeed(uint32_t bytesPerSecond) {
  gPending.SimulatedSpeed = bytesPerSecond;
}
void MovieSetPendingStreamOpener(StreamOpener opener) { gPending.StreamOpen = opener; }
void MovieSetPendingImageSize(uint32_t bytes) { gPending.ImageSize = bytes; }
void MovieSetSoundOpenFunc(SoundOpenFunction open) { gSoundOpen.store(open); }
void MovieSetCloseHook(MovieCloseHookFunc hook) { gCloseHook.store(hook); }
void MovieSetAllocator(MemAllocHookFunc alloc, MemFreeHookFunc release) {
  MemSetHooks(alloc, release);
}
