// Files on kernel handles. A borrowed handle is never closed here.
#include <cstdint>
#include <new>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "platform/win32/win32.h"

struct PlatformFile {
  HANDLE handle;
  bool owned;  // opened here, so closed here
};

PlatformFile* PlatformFileOpenRead(const char* name) {
  if (name == nullptr) return nullptr;
  const DWORD attributes = GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return nullptr;
  }
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
  HANDLE handle =
      CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // Someone may be writing it (a movie still being recorded or copied): share writing too.
    handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  auto* f = new (std::nothrow) PlatformFile{handle, true};
  if (f == nullptr) CloseHandle(handle);
  return f;
}

PlatformFile* PlatformFileFromHandle(const void* handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return new (std::nothrow) PlatformFile{const_cast<HANDLE>(handle), false};
}

int64_t PlatformFileTell(PlatformFile* f) {
  LARGE_INTEGER position;
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(f->handle, zero, &position, FILE_CURRENT)) return -1;
  return position.QuadPart;
}

int PlatformFileSeek(PlatformFile* f, int64_t offset) {
  if (offset < 0) return 0;
  LARGE_INTEGER target;
  target.QuadPart = offset;
  return SetFilePointerEx(f->handle, target, nullptr, FILE_BEGIN) ? 1 : 0;
}

uint32_t PlatformFileRead(PlatformFile* f, void* dest, uint32_t size) {
  auto* out = static_cast<unsigned char*>(dest);
  uint32_t done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!ReadFile(f->handle, out + done, size - done, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

int64_t PlatformFileSize(PlatformFile* f) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f->handle, &size)) return -1;
  return size.QuadPart;
}

void PlatformFileClose(PlatformFile* f) {
  if (f == nullptr) return;
  if (f->owned) CloseHandle(f->handle);
  delete f;
}

void PlatformStdinBinary() { _setmode(_fileno(stdin), _O_BINARY); }
