// The IO node's callbacks: the reader's read-ahead, with the pass that last served the movie kept
// in the movie record.
#include "core/movie_service.h"

#include "io/read_ahead.h"
#include "io/service.h"
#include "platform/atomic.h"

namespace {

uint32_t MovieIoNeed(ServiceNode* node, uint32_t pass) {
  Movie* m = static_cast<Movie*>(node->Owner);
  return StreamReadAheadNeed(&m->Reader, PlatformShared(m->IoServiced).load(), pass);
}

void MovieIoServe(ServiceNode* node, uint32_t pass) {
  Movie* m = static_cast<Movie*>(node->Owner);
  StreamReadAheadServe(&m->Reader, pass);
  PlatformShared(m->IoServiced).store(pass);
}

}  // namespace

int MovieJoinIoService(Movie* movie) {
  // The lock operations go in first: once the node is linked the service thread may fill, and
  // from then on every foreground read must take the IO mutex.
  StreamInstallLocks(&movie->Reader);
  movie->Reader.IoNode.Owner = movie;
  return ServiceJoinIo(&movie->Reader.IoNode, MovieIoNeed, MovieIoServe);
}
