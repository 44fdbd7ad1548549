// Files on descriptors: open/read/lseek. A borrowed descriptor is never closed here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "platform/platform.h"

struct PlatformFile {
  int fd;
  bool owned;  // opened here, so closed here
};

namespace {

bool IsDirectory(int fd) {
  struct stat info;
  return fstat(fd, &info) != 0 || S_ISDIR(info.st_mode);
}

}  // namespace

PlatformFile* PlatformFileOpenRead(const char* name) {
  if (name == nullptr) return nullptr;
  // Non-blocking only for the open itself, so that a FIFO without a writer cannot hang it.
  const int fd = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  const int flags = fcntl(fd, F_GETFL);
  if (IsDirectory(fd) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
#if defined(POSIX_FADV_SEQUENTIAL)
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  auto* f = new (std::nothrow) PlatformFile{fd, true};
  if (f == nullptr) close(fd);
  return f;
}

PlatformFile* PlatformFileFromHandle(const void* handle) {
  // The descriptor travels as the pointer's value (descriptor 0 is a null pointer, and valid).
  const intptr_t value = reinterpret_cast<intptr_t>(handle);
  if (value < 0 || value > INT32_MAX) return nullptr;
  const int fd = static_cast<int>(value);
  if (IsDirectory(fd)) return nullptr;  // also refuses a descriptor that is not open
  return new (std::nothrow) PlatformFile{fd, false};
}

int64_t PlatformFileTell(PlatformFile* f) {
  const off_t position = lseek(f->fd, 0, SEEK_CUR);
  return position < 0 ? -1 : static_cast<int64_t>(position);
}

int PlatformFileSeek(PlatformFile* f, int64_t offset) {
  if (offset < 0) return 0;
  return lseek(f->fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? 0 : 1;
}

uint32_t PlatformFileRead(PlatformFile* f, void* dest, uint32_t size) {
  auto* out = static_cast<unsigned char*>(dest);
  uint32_t done = 0;
  while (done < size) {
    const ssize_t got = read(f->fd, out + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<uint32_t>(got);
  }
  return done;
}

int64_t PlatformFileSize(PlatformFile* f) {
  struct stat info;
  if (fstat(f->fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

void PlatformFileClose(PlatformFile* f) {
  if (f == nullptr) return;
  if (f->owned) close(f->fd);
  delete f;
}

void PlatformStdinBinary() {}  // POSIX streams make no difference
