// Read-ahead on the IO service thread: the IO node's need and service functions, and the
// reader's lock operations over the IO node's mutex (the movie's IO mutex).
#pragma once

#include <cstdint>

#include "io/service.h"
#include "vexa/movie.h"

// Urgency of the movie's read-ahead (node->Owner is the Movie): a ring under half of its
// target is urgent, the emptier the more; otherwise one chunk per pass, the ring served longest
// ago first; 0 after a read error, while suspended, or once served in a non-urgent pass.
uint32_t ReadAheadNeed(ServiceNode* node, uint32_t pass);
// One StreamFill; the movie's IoServiced becomes pass.
void ReadAheadServe(ServiceNode* node, uint32_t pass);

// The reader's lock operations. With no IO mutex they do nothing and the try succeeds.
int ReaderLock(StreamReader* r);
int ReaderTryLock(StreamReader* r);
void ReaderUnlock(StreamReader* r);
void ReaderYield(StreamReader* r);

// Installs the lock operations without joining the IO service (movies that do not join).
void MovieInstallReaderLocks(Movie* movie);
// Installs the lock operations and joins the IoService (rate 60), which gives the movie its IO
// mutex. 0 when no service thread could be made: the movie then reads ahead only in the
// foreground and its lock operations do nothing.
int MovieJoinIoService(Movie* movie);
