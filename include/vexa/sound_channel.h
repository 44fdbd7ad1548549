/* One open sound track: the core's PCM ring followed by the sound back end's channel. */
#ifndef VEXA_SOUND_CHANNEL_H
#define VEXA_SOUND_CHANNEL_H

#include <stdint.h>

#include "vexa/export.h"

VEXA_EXTERN_C_BEGIN

typedef struct AudioTrack AudioTrack;
typedef struct Movie Movie;

/* The back end's ten operations, in slot order. */
typedef struct SoundOps {
  int (*SoundReady)(AudioTrack* t);
  int (*SoundLock)(AudioTrack* t, uint8_t** region, uint32_t* size);
  int (*SoundUnlock)(AudioTrack* t, uint32_t bytes);
  void (*SoundSetVolume)(AudioTrack* t, uint32_t volume);
  void (*SoundSetPan)(AudioTrack* t, uint32_t pan);
  int (*SoundPause)(AudioTrack* t, int on);
  int (*SoundOnOff)(AudioTrack* t, int on);
  void (*SoundClose)(AudioTrack* t);
  void (*SoundSetChannelMap)(AudioTrack* t, const uint32_t* map, uint32_t count);
  void (*SoundSetChannelVolumes)(AudioTrack* t, const uint32_t* a, const uint32_t* b,
                                 uint32_t count);
} SoundOps;

/* Opens a track's channel on a sound back end: 1 success, 0 failure. */
typedef int (*SoundOpenFunction)(AudioTrack* track, uint32_t rate, uint32_t bits,
                                 uint32_t channels, uint32_t openFlags, Movie* movie);

struct AudioTrack {
  /* The core's ring of decoded 16-bit sound. */
  uint8_t* PcmWrite;
  uint32_t PcmRingBytes;
  uint8_t* PcmRing;       /* none: the track failed */
  uint8_t* PcmRingEnd;
  void* Decoder;          /* the track's audio block decoder */
  uint8_t* PcmRead;
  uint32_t FileRate;      /* sample rate from the track's format word */

  /* Written by the back end's open. */
  uint32_t Rate;
  uint32_t Bits;
  uint32_t Channels;
  uint32_t ChunkBytes;    /* 16-bit bytes that fill one region */
  uint32_t SampleMask;    /* 0 from the back end: the core uses 0xFFFFFFFF */
  uint32_t LatencyMs;
  uint32_t SpeedFactor;   /* 16.16; 0 from the back end: the core uses 1.0 */
  uint32_t EndFrame;      /* frames after it form the end zone */
  uint32_t LeadInBytes;
  uint32_t SelfFed;       /* the back end feeds its device itself */
  uint32_t Underrun;
  uint32_t Narrow8;       /* 1 when Bits is 8 */
  uint32_t IsOn;

  /* The back end's own state and its operations. */
  void* BackEnd;
  uint32_t BackEndWords[16];
  SoundOps Ops;
};

VEXA_EXTERN_C_END

#endif
