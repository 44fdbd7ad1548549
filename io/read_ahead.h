// Read-ahead on the IO service thread: the urgency of a reader's ring and one fill, for the
// callbacks the reader's owner registers with its IO node, and the reader's lock operations over
// the IO node's mutex.
#pragma once

#include <cstdint>

#include "vexa/stream.h"

// Urgency of the reader's read-ahead in pass, given the pass that last served it: a ring under
// half of its target is urgent, the emptier the more; otherwise one chunk per pass, the ring
// served longest ago first; 0 after a read error, while suspended, or once served in this pass.
uint32_t StreamReadAheadNeed(StreamReader* r, uint32_t servedPass, uint32_t pass);
// One StreamFill. A fill that cannot add anything makes the ring count as full for now.
void StreamReadAheadServe(StreamReader* r, uint32_t pass);

// Installs the reader's lock operations: they take the IO node's mutex, and do nothing (the try
// succeeds) while the node has none.
void StreamInstallLocks(StreamReader* r);
