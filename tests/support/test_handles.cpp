#include "tests/support/test_support.h"

#ifdef _WIN32
#include <windows.h>

const void* TestOpenHandle(const std::string& path, uint32_t offset) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  SetFilePointerEx(h, LARGE_INTEGER{.QuadPart = LONGLONG(offset)}, nullptr, FILE_BEGIN);
  return h;
}

int64_t TestHandlePosition(const void* handle) {
  LARGE_INTEGER zero{}, at;
  return SetFilePointerEx(const_cast<void*>(handle), zero, &at, FILE_CURRENT) ? at.QuadPart : -1;
}

void TestCloseHandle(const void* handle) { CloseHandle(const_cast<void*>(handle)); }

#else
#include <fcntl.h>
#include <unistd.h>

const void* TestOpenHandle(const std::string& path, uint32_t offset) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) lseek(fd, off_t(offset), SEEK_SET);
  return fd < 0 ? nullptr : reinterpret_cast<const void*>(intptr_t(fd));
}

int64_t TestHandlePosition(const void* handle) {
  return int64_t(lseek(int(reinterpret_cast<intptr_t>(handle)), 0, SEEK_CUR));
}

void TestCloseHandle(const void* handle) { close(int(reinterpret_cast<intptr_t>(handle))); }
#endif
