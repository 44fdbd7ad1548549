// Clocks, sleeping, the processor count and the multimedia timer's resolution.
#include <cstdint>

#include "platform/win32/win32.h"
// After windows.h:
#include <mmsystem.h>

uint64_t PlatformCounterFrequency() {
  LARGE_INTEGER frequency;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return 0;
  return static_cast<uint64_t>(frequency.QuadPart);
}

uint64_t PlatformCounterNow() {
  LARGE_INTEGER now;
  if (!QueryPerformanceCounter(&now)) return 0;
  return static_cast<uint64_t>(now.QuadPart);
}

uint32_t PlatformTickCountMs() { return GetTickCount(); }

uint32_t PlatformMultimediaTimeMs() { return timeGetTime(); }

void PlatformSleepMs(uint32_t ms) { Sleep(ms); }

uint32_t PlatformProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors < 1 ? 1u : info.dwNumberOfProcessors;
}

// The system counts these requests itself: the 1 ms resolution lasts while any is held.
void PlatformTimerPeriodBegin() { timeBeginPeriod(1); }
void PlatformTimerPeriodEnd() { timeEndPeriod(1); }
