// The SDL2 back end: each channel queues its sound on an SDL audio device of its own in queue
// mode (no callback), polled like the other back ends through the queued amount.
#pragma once

#include "vexa/sound.h"

// Selector: SdlChannelOpen once SDL's audio subsystem is (or can be) initialised, else none.
SoundOpenFunction SoundUseSdl(void* arg);
int SdlChannelOpen(AudioTrack* track, uint32_t rate, uint32_t bits, uint32_t channels,
                   uint32_t openFlags, Movie* movie);
