// Atomic access to a plain field that several threads read or change (the field stays a plain
// member of its public record).
#pragma once

#include <atomic>

template <typename T>
inline std::atomic_ref<T> PlatformShared(T& field) {
  return std::atomic_ref<T>(field);
}
