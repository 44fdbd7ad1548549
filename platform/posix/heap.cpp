// The library's heap on POSIX is the C heap (callers zero what they need).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

void* PlatformHeapAllocate(uint64_t bytes) {
  // Refused before malloc sees it: no allocator can serve it, and some (sanitizers) abort instead
  // of returning null.
  if (bytes > static_cast<uint64_t>(PTRDIFF_MAX)) return nullptr;
  return std::malloc(bytes == 0 ? 1 : static_cast<size_t>(bytes));
}

void PlatformHeapRelease(void* block) { std::free(block); }
