// What the Win32 implementation files share. Mutexes, events and semaphores are kernel handles
// passed around as the opaque pointer types; a thread is a small record around its handle.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/platform.h"

namespace platform_win32 {

template <typename Object>
HANDLE AsHandle(Object* object) {
  return reinterpret_cast<HANDLE>(object);
}

template <typename Object>
Object* FromHandle(HANDLE handle) {
  return reinterpret_cast<Object*>(handle);
}

// The handle that is signalled when t ends.
HANDLE ThreadHandle(const PlatformThread* t);

// 1 when a wait's result says the object was obtained (an abandoned mutex counts).
inline int Obtained(DWORD result) { return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0; }

}  // namespace platform_win32
