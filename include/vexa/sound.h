/* Choosing the sound back end that movies open their tracks on, and the WAV-file back end. */
#ifndef VEXA_SOUND_H
#define VEXA_SOUND_H

#include <stdint.h>

#include "vexa/export.h"
#include "vexa/sound_channel.h"

VEXA_EXTERN_C_BEGIN

/* A back end's selector: sets the back end up (arg is back-end specific; SoundSelect passes 0)
   and returns its channel-open function, or none when the back end cannot be used. */
typedef SoundOpenFunction (*SoundSelector)(void* arg);

/* Chooses the back end for the sound tracks of movies opened from now on. The last selector
   used is remembered. A selector different from it is refused while any movie has a sound
   track open: 0, and nothing changes. Otherwise the selector is remembered and called with 0;
   when it returns an open function, that becomes the one MovieOpen uses and the result is 1;
   when it returns none, the previous open function stays and the result is 0. A null selector
   stands for no back end: once accepted, movies open without sound. Call from one thread. */
VEXA_API int SoundSelect(SoundSelector selector);
/* The selector remembered by SoundSelect (none before the first selection). */
VEXA_API SoundSelector SoundSelected(void);
/* The name of the back end that movies opened now get their sound tracks from: "waveOut",
   "DirectSound", "WAV file", "the application's" (an open function set with
   MovieSetSoundOpenFunc) or "none". A movie whose channels did not open (no sound device) plays
   silent whatever the name: its NumOpenTracks is 0. */
VEXA_API const char* SoundBackEndName(void);

/* ---- The WAV-file back end ----
   Writes each sound track it opens as a canonical 44-byte-header PCM WAV file (16-bit signed or
   8-bit unsigned samples, at the channel's rate and channel count) through a sink. Every region
   is ready at once; the header's sizes are completed when the channel closes. It takes no
   settings: the volume, pan and channel slots are empty (the file gets the decoded sound as
   is). */

/* Where a WAV file's bytes go. WriteAt writes count bytes at a byte offset of the file (the header
   is written at offset 0 at open and again at close, the samples are appended after it) and
   returns 1 when all of them were written. Close is called exactly once for every sink handed
   to the back end, last; complete is 1 when every sample handed over and the final header were
   written, 0 when a write failed or the sound outgrew what a WAV header can describe (the file
   then holds, and its header describes, what was written before that). */
typedef struct WavSink {
  int (*WriteAt)(void* user, uint64_t offset, const uint8_t* bytes, uint32_t count);
  void (*Close)(void* user, int complete);
  void* User;
} WavSink;

/* fileIndex when a channel is not opened for a track of a movie. */
#define WAV_NO_TRACK 0xFFFFFFFFu

/* Chooses the sink of a channel as it opens: fills *sink and returns 1, or returns 0 to refuse
   the channel (the track then plays silent). movie is the movie whose track is being opened
   (or none); fileIndex is the track's index in the movie's track table, so its identifier is
   movie->TrackIds[fileIndex], or WAV_NO_TRACK. */
typedef int (*WavSinkChooser)(void* user, Movie* movie, uint32_t fileIndex, WavSink* sink);

/* Sets the process-wide chooser (none: the back end opens no channels). Set it before opening
   movies; channels already open keep their sinks. */
VEXA_API void WavSetSinkChooser(WavSinkChooser chooser, void* user);
/* Selector of the WAV back end: WavChannelOpen, or none while no sink chooser is set. */
VEXA_API SoundOpenFunction SoundUseWav(void* arg);
/* The back end's channel open (a SoundOpenFunction). Regions hold at most 16 KB of samples,
   and at most an eighth of the track's largest decoded packet (so a movie's ring never fills
   while the core waits for a whole region); 1 on success. */
VEXA_API int WavChannelOpen(AudioTrack* track, uint32_t rate, uint32_t bits, uint32_t channels,
                            uint32_t openFlags, Movie* movie);

/* A sink into a caller's buffer of Capacity bytes (for tests and fuzzing): writes that would
   pass the end fail. Size is one past the highest byte written; Closes counts the closes and
   Complete keeps the last close's flag. */
typedef struct WavMemory {
  uint8_t* Data;
  uint64_t Capacity;
  uint64_t Size;
  uint32_t Closes;
  uint32_t Complete;
} WavMemory;
/* Fills *sink to write into memory; Size, Closes and Complete start at 0. */
VEXA_API void WavMemorySink(WavMemory* memory, WavSink* sink);

/* ---- The waveOut back end ----
   Queues each channel's sound on the platform's waveform-audio device in 16 equal blocks of a
   sixteenth of a second (smaller when the track's largest packet is small) and starts the device
   once half a second, the whole movie, or all 16 blocks are queued. Where the platform has no
   waveOut device its channels do not open and movies play silent. */

/* Selector of the waveOut back end: WaveOutChannelOpen (arg is ignored). */
VEXA_API SoundOpenFunction SoundUseWaveOut(void* arg);
VEXA_API int WaveOutChannelOpen(AudioTrack* track, uint32_t rate, uint32_t bits, uint32_t channels,
                                uint32_t openFlags, Movie* movie);

/* ---- The DirectSound back end ----
   One looping buffer of 0.6 s per channel on a device object shared by the process, refilled
   behind the play cursor as it moves. */

/* Selector of the DirectSound back end: arg is a DirectSound object of the caller's (0: the back
   end loads the platform's library and creates its own). DirectSoundChannelOpen, or none when the
   library, its creation function or the device is unavailable, or when arg differs from the
   object that open channels use. */
VEXA_API SoundOpenFunction SoundUseDirectSound(void* arg);
VEXA_API int DirectSoundChannelOpen(AudioTrack* track, uint32_t rate, uint32_t bits,
                                    uint32_t channels, uint32_t openFlags, Movie* movie);

VEXA_EXTERN_C_END

#endif
