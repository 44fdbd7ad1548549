// MovieClose: leaves the service threads first, then frees every block of the movie.
#include <cstring>

#include "core/movie_internal.h"
#include "core/movie_pending.h"
#include "core/movie_timing.h"
#include "core/sound_pump.h"
#include "io/service.h"
#include "platform/mem.h"

void MovieClose(Movie* m) {
  if (!m) return;
  // First wait for a decode still running on another thread: it writes the sound rings and planes.
  if (MovieCloseHookFunc hook = MovieCloseHook()) hook(m);
  SoundPumpRest(m);
  MoviePause(m, 1);

  ServiceLeave(&m->Reader.IoNode, &m->SoundNode);
  MovieCloseTracks(m);

  if (!m->Preloaded) {
    m->Reader.StreamClose(&m->Reader);
    MemFree(m->ReadBuffer);
  } else if (!(m->OpenFlags & OpenFromMemory)) {
    MemFree(m->Preloaded);
  }
  MemFree(m->PlanesBlock);
  MemFree(m->ChangeMapSpare);
  if (m->ChangeMap != m->ChangeMapSpare) MemFree(m->ChangeMap);
  std::memset(m, 0, sizeof(*m));
  MemFree(m);
}
