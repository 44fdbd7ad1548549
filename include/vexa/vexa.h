/* Vexa movie library: the whole public interface. */
#ifndef VEXA_VEXA_H
#define VEXA_VEXA_H

#include <stdint.h>

#include "vexa/copy.h"
#include "vexa/export.h"
#include "vexa/movie.h"
#include "vexa/planes.h"
#include "vexa/sound.h"
#include "vexa/sound_channel.h"
#include "vexa/stream.h"

/* The version of this header. The build reads these three lines: they are the library's only
   statement of its version (the shared library's name and vexa.pc take it from here). */
#define VEXA_VERSION_MAJOR 0
#define VEXA_VERSION_MINOR 1
#define VEXA_VERSION_PATCH 0
/* The version as one number: major * 10000 + minor * 100 + patch (0.1.0 is 100). */
#define VEXA_VERSION \
  (VEXA_VERSION_MAJOR * 10000u + VEXA_VERSION_MINOR * 100u + VEXA_VERSION_PATCH)

VEXA_EXTERN_C_BEGIN

/* The version of the library linked, as VEXA_VERSION; differs from VEXA_VERSION when a program
   runs with another shared library than the one whose header it was built with. */
VEXA_API uint32_t VexaVersion(void);

VEXA_EXTERN_C_END

#endif
