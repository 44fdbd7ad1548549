// A movie's membership of the IO service thread.
#pragma once

#include "vexa/movie.h"

// Installs the reader's lock operations and joins ServiceIo with the movie's need and serve
// callbacks, the movie as the node's data; joining gives the movie its IO mutex. 0 when no
// service thread could be made: the movie then reads ahead only in the foreground and its lock
// operations do nothing.
int MovieJoinIoService(Movie* movie);
