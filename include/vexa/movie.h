/* The open movie record, the open flags and the movie operations. */
#ifndef VEXA_MOVIE_H
#define VEXA_MOVIE_H

#include <stdint.h>

#include "vexa/export.h"
#include "vexa/planes.h"
#include "vexa/sound_channel.h"
#include "vexa/stream.h"

VEXA_EXTERN_C_BEGIN

/* Open flags: the caller's bits, adjusted by the open. */
#define OpenNoFrameBuffers 0x00000400u
#define OpenFrameRate 0x00001000u
#define OpenPreload 0x00002000u
#define OpenTrackList 0x00004000u
#define MovieFlagPreI 0x00008000u
#define MovieFlagSwapUV 0x00010000u
#define OpenGrayscale 0x00020000u
#define OpenNeverSkip 0x00080000u
#define OpenAlpha 0x00100000u
#define OpenNoFillIo 0x00200000u
#define OpenSimulateSpeed 0x00400000u
#define OpenFromHandle 0x00800000u
#define OpenIoBufferSize 0x01000000u
#define OpenCustomStream 0x02000000u
#define OpenFromMemory 0x04000000u
#define OpenNoIoThread 0x08000000u
#define OpenScaleMask 0x70000000u
#define OpenScaleShift 28

/* Header video flags read by the core. */
#define VideoFlagGrayscale 0x00020000u
#define VideoFlagAlpha 0x00100000u
#define VideoFlagScaleMask 0x70000000u

/* Track format word. */
#define TrackRateMask 0x0000FFFFu
#define TrackDct 0x10000000u
#define TrackStereo 0x20000000u
#define Track16Bit 0x40000000u
#define TrackAudio 0x80000000u

#define MOVIE_HEADER_BYTES 44u
#define MOVIE_MAX_TRACKS 256u
#define MOVIE_MAX_INDEX_ENTRIES 1000000u
#define MOVIE_MAX_DIMENSION 32767u
#define MOVIE_FRAME_PADDING 1024u
#define MOVIE_ERROR_CAPACITY 256u
/* "None" for the pending numeric values. */
#define MOVIE_PENDING_NONE 0xFFFFFFFFu

/* The typedef of Movie comes with vexa/sound_channel.h (a track's open is handed its movie). */

/* The fixed 44-byte header at the start of every movie file. */
typedef struct MovieHeader {
  char Magic[3];
  char Version;
  uint32_t FileSizeLess8;
  uint32_t Frames;
  uint32_t LargestFrameSize;
  uint32_t IndexEntries;
  uint32_t Width;
  uint32_t Height;
  uint32_t FrameRate;
  uint32_t FrameRateDiv;
  uint32_t VideoFlags;
  uint32_t NumTracks;
} MovieHeader;

struct Movie {
  uint32_t Width, Height;          /* displayed size (doubled per scaling mode) */
  uint32_t Frames;
  uint32_t FrameNum;               /* 1-based frame whose packet is loaded */
  uint32_t LastFrameNum;
  uint32_t FrameRate, FrameRateDiv;
  uint32_t ReadError;
  uint32_t OpenFlags;
  uint32_t VideoFlags;
  uint32_t FileSizeLess8;
  uint32_t ChangedPercent;
  uint32_t Rects[8][4];            /* changed areas: x, y, width, height */
  int32_t NumRects;                /* -1 = none recorded (use the change map) */
  VideoPlanes* Planes;
  uint8_t* ChangeMapSpare;
  uint32_t BlocksPerRow;
  uint32_t ChangeMapBytes;
  uint8_t* ChangeMap;
  uint8_t* ChangeMapCur;
  uint8_t* ChangeMapLast;
  uint32_t LargestFrameSize, IndexEntries, NumTracks;
  uint32_t PeakSecondBytes, PeakSecondFrame;
  uint32_t Paused;
  uint32_t AsyncJob[2];
  uint32_t SoundOn;
  uint8_t* FramePtr;               /* current frame packet */
  uint32_t FrameBytes, FrameOffset, FrameIsKey;
  uint32_t SkippedLast;
  uint32_t NumOpenTracks;
  AudioTrack* Tracks;              /* at least one entry */
  uint32_t* TrackIndices;          /* file track index of each open track */
  uint64_t DecodeScratchSizes[9];  /* the video decoder's list buffers */
  uint32_t ChangedPercentMax;
  uint8_t* Preloaded;              /* frame data in memory (preload or image), or none */
  const uint32_t* FrameIndex;
  StreamReader Reader;
  uint8_t* ReadBuffer;
  uint32_t ReadBufferSize;
  uint32_t FileWidth, FileHeight;
  const uint32_t* TrackMaxBytes;
  const uint32_t* TrackFormats;
  const uint32_t* TrackIds;
  uint32_t FramesPlayed, StartTime, CopyStart, TimerBase, TimerBaseFrame;
  uint32_t SlackMs;
  uint32_t SlowestTime, SlowestFrame, SecondSlowestTime, SecondSlowestFrame;
  uint32_t TotalMemory;
  uint32_t VideoTime, AudioTime, BlitTime;
  uint32_t OpenTime;
  uint32_t FileFrameRate, FileFrameRateDiv;
  uint32_t WindowFrames;           /* size of the statistics rings: the file's rounded frames per
                                      second, at most 1024 (faster movies: the last 1023 frames) */
  uint32_t RingPos;
  uint32_t* RingTime;              /* frame-end times */
  uint32_t* RingAudio;
  uint32_t* RingVideo;
  uint32_t* RingBlit;
  uint32_t* RingForeground;
  uint32_t* RingIdle;
  uint32_t* RingBackground;
  uint32_t LastFinishedFrame, LastFrameEnd, LoopResyncTime, LoopResync;
  uint32_t SoundSkips, SkipState, FarBehind, SkippedBlits, SkipRun, PausedOffset;
  uint32_t IoServiced, SoundServiced;
  ServiceNode SoundNode;           /* its mutex is the movie's SoundMutex */
  uint32_t AllKeyFrames;
  void* PlanesBlock;
  void* DecodeScratch[2];          /* the video decoder's scratch: luma half, other half */
  uint32_t VideoDecoded;           /* bit 0: some of this frame's video was decoded; bit 1: the
                                      second half of a split decode marked ChangeMapHalf */
  uint32_t FrameDataBytes;         /* frame bytes the frame buffer (or the data held in memory,
                                      counted from the first frame) really holds */
  uint8_t* ChangeMapHalf;          /* the change map the second half of a split decode writes;
                                      merged into ChangeMapCur when the frame ends */
};

/* The playback summary, filled by MovieGetSummary. */
typedef struct PlaybackSummary {
  uint32_t Width, Height, TotalTime, FileFrameRate, FileFrameRateDiv, FrameRate, FrameRateDiv;
  uint32_t OpenTime, Frames, FramesPlayed, SkippedFrames, SkippedBlits, SoundSkips, BlitTime;
  uint32_t ForegroundReadTime, VideoTime, AudioTime, IdleReadTime, BackgroundReadTime, ReadSpeed;
  uint32_t SlowestTime, SecondSlowestTime, SlowestFrame, SecondSlowestFrame;
  uint32_t AverageDataRate, AverageFrameSize, TotalMemory, InputMemory, HighestInputMemory;
  uint32_t PeakDataRate, PeakDataFrame;
} PlaybackSummary;

/* The running statistics over the last second of frames, filled by MovieGetRealtimeStats. Above
   1024 frames per second the window is the last 1023 frames, less than a second; DataRate is
   still in bytes per second. */
typedef struct RealtimeStats {
  uint32_t FrameNum, FrameRate, FrameRateDiv, WindowFrames, WindowTime, WindowVideo, WindowAudio;
  uint32_t WindowRead, WindowIdleRead, WindowBackRead, WindowBlit, ReadBufferSize, ReadBufferUsed;
  uint32_t DataRate;
} RealtimeStats;

/* What MovieDecodeFrame decodes. */
#define DecodeLuma 0x1u
#define DecodeSoundAndRest 0x2u
#define DecodeAll 0x3u

/* Threads. Movies may be opened and closed on several threads at once: the pending values and
   the last-error text belong to the thread that sets them and opens. One movie belongs to one
   thread (its owner), which makes every call on it, except MovieDecodeFrame, which may run on
   other threads between the owner's MovieFrameBegin and MovieFrameEnd: once with DecodeAll, or
   DecodeLuma and DecodeSoundAndRest at the same time on two threads. The library's own service
   threads read ahead and hand sound to the back ends of every movie on their own. The
   process-wide settings (sound opener, close hook, allocator, sound back end selection) are
   made while no movie is being opened.

   Opening and closing. name is a file name, an open file handle (OpenFromHandle: a HANDLE on
   Windows, a file descriptor cast to a pointer elsewhere) or a complete file image in memory
   (OpenFromMemory). Returns none on failure; MovieGetError then tells why (the calling thread's
   last open). Sizes the header claims are held against the file's or image's real length, when
   known: no claim makes the open allocate more than the data can fill. MovieClose hands every
   decoded sample of every track to its back end before it closes the channel. */
VEXA_API Movie* MovieOpen(const void* name, uint32_t openFlags);
VEXA_API void MovieClose(Movie* movie);
VEXA_API const char* MovieGetError(void);
/* Sets the last-error text (for stream openers); at most 255 characters are kept. */
VEXA_API void MovieSetError(const char* text);

/* Loads the packet of a 1-based frame (0 means 1) into FramePtr. */
VEXA_API void MovieLoadFramePacket(Movie* movie, uint32_t frame);
/* Frame stepping. One cycle per frame: MovieWait until it answers 0; MovieFrameBegin; one
   MovieDecodeFrame(DecodeAll), or DecodeLuma and DecodeSoundAndRest on two threads;
   MovieFrameEnd; copy the picture out; MovieNextFrame. */
VEXA_API Movie* MovieFrameBegin(Movie* movie, uint32_t now);
VEXA_API uint32_t MovieDecodeFrame(Movie* movie, uint32_t what);
VEXA_API uint32_t MovieFrameEnd(Movie* movie, uint32_t now);
VEXA_API void MovieNextFrame(Movie* movie);
/* Gives the movie two change maps (ChangeMap, and ChangeMapSpare), adopting a ChangeMap it already
   has; both are counted in TotalMemory and freed by MovieClose. From then on each MovieFrameEnd
   leaves the map just marked to the copy (ChangeMapLast) and the next frame marks the other one,
   so the copy of a frame may run while the next frame decodes. 1 when both maps exist. */
VEXA_API uint32_t MovieAllocSpareChangeMap(Movie* movie);
/* 1: not yet time for the next frame (come back later); 0: show it now. */
VEXA_API uint32_t MovieWait(Movie* movie);
VEXA_API void MovieGetSummary(Movie* movie, PlaybackSummary* summary);
VEXA_API void MovieGetRealtimeStats(Movie* movie, RealtimeStats* stats);
/* Turns the sound of every open track off (0) or on (1); 1 when a channel is on afterwards. */
VEXA_API uint32_t MovieSoundOnOff(Movie* movie, uint32_t on);
/* 1 when the current frame is too late to show (its copy is dropped unless peek), else 0. */
VEXA_API uint32_t MovieShouldSkip(Movie* movie, uint32_t peek);
/* Pauses (1) or resumes (0) playback and the sound; returns the new paused state. */
VEXA_API uint32_t MoviePause(Movie* movie, uint32_t on);

/* The built-in closing logo movie (one frame, 224 x 252): a complete file image for
   MovieOpen(image, OpenFromMemory); *bytes receives its size. */
VEXA_API const uint8_t* MovieLogoImage(uint32_t* bytes);

/* The library's millisecond clock. */
VEXA_API uint32_t MovieTimerMs(void);

/* Pending open values: set before MovieOpen on the thread that opens, used when the matching
   open flag is given. Every open takes them all, whether it uses them and whether it succeeds or
   not: none is left over for the next open. */
VEXA_API void MovieSetPendingFrameRate(uint32_t rate, uint32_t rateDiv);           /* OpenFrameRate */
VEXA_API int MovieSetPendingTrackList(const uint32_t* ids, uint32_t count);        /* OpenTrackList */
VEXA_API void MovieSetPendingIoBufferSize(uint32_t bytes);                         /* OpenIoBufferSize */
VEXA_API void MovieSetPendingSimulatedSpeed(uint32_t bytesPerSecond);              /* OpenSimulateSpeed */
VEXA_API void MovieSetPendingStreamOpener(StreamOpener opener);                    /* OpenCustomStream */
/* Size of the next OpenFromMemory image: the open refuses an image too short for the header, and
   one whose header and tables claim more than it holds. */
VEXA_API void MovieSetPendingImageSize(uint32_t bytes);
VEXA_API void MovieSetSoundOpenFunc(SoundOpenFunction open);
typedef void (*MovieCloseHookFunc)(Movie* movie);
VEXA_API void MovieSetCloseHook(MovieCloseHookFunc hook);

/* Optional process-wide allocator for every block of the library. alloc returns the block,
   0 to decline (the private heap is used), or (void*)-1 for failure. */
typedef void* (*MemAllocHookFunc)(uint32_t bytes);
typedef void (*MemFreeHookFunc)(void* block);
VEXA_API void MovieSetAllocator(MemAllocHookFunc alloc, MemFreeHookFunc release);

/* The built-in stream opener (files by name or handle), for custom openers to build on. */
VEXA_API int StreamOpenFile(StreamReader* reader, const void* name, uint32_t openFlags);

VEXA_EXTERN_C_END

#endif
