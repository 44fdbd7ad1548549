// Raw OS file handles for the tests of opening a movie from a caller's handle.
#include "tests/support/test_support.h"

#ifdef _WIN32
#include <windows.h>

const void* TestOpenHandle(const std::string& path, uint32_t offset) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER at;
  at.QuadPart = offset;
  SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
  return h;
}

int64_t TestHandlePosition(const void* handle) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(const_cast<void*>(handle), zero, &at, FILE_CURRENT)) return -1;
  return at.QuadPart;
}

void TestCloseHandle(const void* handle) { CloseHandle(const_cast<void*>(handle)); }

#else
#include <fcntl.h>
#include <unistd.h>

const void* TestOpenHandle(const std::string& path, uint32_t offset) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  lseek(fd, off_t(offset), SEEK_SET);
  return reinterpret_cast<const void*>(intptr_t(fd));
}

int64_t TestHandlePosition(const void* handle) {
  return int64_t(lseek(int(reinterpret_cast<intptr_t>(handle)), 0, SEEK_CUR));
}

void TestCloseHandle(const void* handle) { close(int(reinterpret_cast<intptr_t>(handle))); }
#endif
