// Stand-ins for the parts of the player merged separately (the command line, the reports) and a
// decode worker that decodes each frame at once on the calling thread.
#include <cstring>

#include "player/decode_workers.h"
#include "player/player_needs.h"

const char StatsSampleText[] = "Fre: 2000";
uint32_t FormatStatsLine(char* text, uint32_t, const RealtimeStats*) { return text[0] = 0; }
uint32_t FormatSummary(char* text, const PlaybackSummary*, const Surface*) { return text[0] = 0; }

int AsyncDecodeStart(Movie* m) {
  if (m->AsyncJob[0] || !MovieFrameBegin(m, MovieTimerMs())) return 0;
  MovieDecodeFrame(m, DecodeAll);
  m->AsyncJob[0] = 0x300;  // finished, not yet ended
  return 1;
}

int AsyncDecodeWait(Movie* m) {
  if (m->AsyncJob[0]) MovieFrameEnd(m, MovieTimerMs());
  m->AsyncJob[0] = 0;
  return 1;
}
