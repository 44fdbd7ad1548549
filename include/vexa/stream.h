/* Movie input: the stream reader's operation table and the service-thread client node. */
#ifndef VEXA_STREAM_H
#define VEXA_STREAM_H

#include <stdint.h>

#include "vexa/export.h"

VEXA_EXTERN_C_BEGIN

typedef struct StreamReader StreamReader;
typedef struct ServiceNode ServiceNode;
typedef struct PlatformMutex PlatformMutex;

/* Offset meaning "continue where the last read stopped" / "no offset given". */
#define STREAM_CONTINUE 0xFFFFFFFFu
/* StreamFill's answer when the reader's lock was busy: try again later. */
#define STREAM_FILL_BUSY 0xFFFFFFFFu
/* Read-ahead chunk and ring geometry. */
#define STREAM_CHUNK_BYTES 131072u
#define STREAM_RING_ALIGN 4096u
#define STREAM_MIN_BUFFER 266240u

/* StreamBackground operation bits. */
#define STREAM_BG_SUSPEND 0x1u
#define STREAM_BG_RESUME 0x2u
#define STREAM_BG_WAIT 0x80000000u

typedef uint32_t (*ServiceNeedFunc)(ServiceNode* node, uint32_t pass);
typedef void (*ServiceServeFunc)(ServiceNode* node, uint32_t pass);

/* A movie's membership of one shared service thread. */
struct ServiceNode {
  ServiceNode* Next;          /* next client of the same thread */
  PlatformMutex* NodeMutex;   /* the movie's IO mutex or SoundMutex; made when the node joins */
  ServiceNode* SortNext;      /* link of one pass's priority list */
  uint32_t Need;              /* last value of NeedFn */
  ServiceNeedFunc NeedFn;     /* 0 = nothing to do */
  ServiceServeFunc ServeFn;
  void* Owner;                /* the Movie this node belongs to */
};

/* A stream opener fills the reader's operation table; 1 = success. On failure it may leave an
   error text with MovieSetError. */
typedef int (*StreamOpener)(StreamReader* reader, const void* name, uint32_t openFlags);

struct StreamReader {
  /* Operations, filled by the opener. */
  uint32_t (*StreamReadAt)(StreamReader* r, uint32_t offset, void* dest, uint32_t size);
  uint32_t (*StreamReadFrame)(StreamReader* r, uint32_t frameIndex, uint32_t offset, void* dest,
                              uint32_t size);
  uint32_t (*StreamBufferSize)(StreamReader* r, uint32_t wanted);
  void (*StreamSetBuffer)(StreamReader* r, void* buffer, uint32_t size, uint32_t fileLength,
                          uint32_t simRate);
  uint32_t (*StreamFill)(StreamReader* r, uint32_t pass);
  void (*StreamClose)(StreamReader* r);
  uint32_t (*StreamBackground)(StreamReader* r, uint32_t op);

  void* Owner;                /* the Movie */
  uint32_t ReadError;         /* 1 after any short read */
  uint32_t Reading;           /* 1 while a fill's file read runs */
  uint32_t BytesRead;         /* by frame reads and fills */
  uint32_t Busy;              /* 1 while the movie decodes or copies a frame */
  uint32_t ReadTime;          /* ms inside file reads of frame reads and fills */
  uint32_t ForegroundTime;    /* ms inside StreamReadFrame */
  uint32_t IdleTime;          /* ms of fills while the movie was not Busy */
  uint32_t BackgroundTime;    /* ms of fills that overlapped a Busy period */
  uint32_t BufSize;           /* ring size, a multiple of the chunk */
  uint32_t HighUsed;          /* most bytes ever held */
  uint32_t FillTarget;        /* bytes the ring should hold now */
  uint32_t Used;              /* bytes not yet delivered (changed atomically) */
  uint32_t Suspended;
  void* File;                 /* the opener's file object */
  uint32_t FilePos;           /* next byte the reader reads from the file */
  uint32_t ConsumerPos;       /* next byte the movie asks for */
  uint8_t* ReadPtr;           /* next ring byte to deliver */
  uint32_t Free;              /* ring bytes free for reading (changed atomically) */
  uint8_t* RingStart;
  uint8_t* RingEnd;
  uint8_t* WritePtr;          /* the ring slot the next fill writes */
  uint32_t DontClose;         /* 1 when the file handle belongs to the caller */
  uint32_t BaseOffset;        /* the handle's position at open; added to every seek */
  uint32_t FileLength;         /* bytes of the movie; an opener that knows it sets it (0: unknown) */
  uint32_t SimRate;           /* simulated device speed, bytes/s; 0 = off */
  int32_t SimDebt;            /* ms still owed to the simulation */
  uint32_t SimLast;           /* time of the simulation's last settlement */

  /* Lock operations, set by MovieOpen once the movie's IO mutex exists; null during the
     header reads. */
  int (*ReaderLock)(StreamReader* r);
  int (*ReaderTryLock)(StreamReader* r);
  void (*ReaderUnlock)(StreamReader* r);
  void (*ReaderYield)(StreamReader* r);

  ServiceNode IoNode;         /* membership of the IO service thread */
};

VEXA_EXTERN_C_END

#endif
