// Simulated device speed: every frame read or fill is made to last as long as the simulated
// device would have needed for its bytes. Time owed carries over between reads as SimDebt; a
// read that overshoots leaves a credit (negative debt) for the next one.
#include <cstdint>

#include "io/stream_file.h"
#include "platform/platform.h"
#include "vexa/movie.h"

void StreamSimulateDelay(StreamReader* r, uint32_t bytes, uint32_t start) {
  if (r->SimRate == 0) return;
  const uint32_t now = MovieTimerMs();
  const int64_t due = static_cast<int64_t>(uint64_t{bytes} * 1000u / r->SimRate);
  int64_t debt = int64_t{r->SimDebt} + due - static_cast<int32_t>(now - start);
  if (debt > INT32_MAX) debt = INT32_MAX;
  if (debt < INT32_MIN) debt = INT32_MIN;
  r->SimDebt = static_cast<int32_t>(debt);
  r->SimLast = now;
  while (r->SimDebt > 0) {
    const uint32_t elapsed = MovieTimerMs() - r->SimLast;
    if (elapsed >= static_cast<uint32_t>(r->SimDebt)) {
      r->SimDebt -= static_cast<int32_t>(elapsed);
      r->SimLast += elapsed;
      break;
    }
    // Sleep through most of what is owed; yield for the last millisecond to end on time.
    const uint32_t remaining = static_cast<uint32_t>(r->SimDebt) - elapsed;
    PlatformSleepMs(remaining > 1 ? remaining - 1 : 0);
  }
}
