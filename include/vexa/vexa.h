/* Vexa movie library: the whole public interface. */
#ifndef VEXA_VEXA_H
#define VEXA_VEXA_H

#include "vexa/copy.h"
#include "vexa/export.h"
#include "vexa/movie.h"
#include "vexa/planes.h"
#include "vexa/sound.h"
#include "vexa/sound_channel.h"
#include "vexa/stream.h"

#endif
