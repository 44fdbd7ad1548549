// Installs the caller's allocation hook pair (both or neither).
#pragma once

#include "vexa/movie.h"

void MemSetHooks(MemAllocHookFunc alloc, MemFreeHookFunc release);
