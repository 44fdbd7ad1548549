// The stored defaults on Windows: the per-user profile (win.ini) and a string value under
// HKEY_LOCAL_MACHINE, opened for reading only.
#include <windows.h>

#include <cstring>

#include "player/quick_play_defaults.h"

namespace {

int ReadProfile(const char* section, const char* key, char* out, uint32_t capacity) {
  if (capacity == 0) return 0;
  GetProfileStringA(section, key, "", out, capacity);
  out[capacity - 1] = 0;
  return out[0] != 0;
}

// Only a string value of at most QuickPlayMaxChars characters is taken; the text read is
// terminated here, since the registry does not promise a terminator.
int ReadRegistry(const char* keyPath, const char* valueName, char* out, uint32_t capacity) {
  HKEY key;
  if (capacity == 0 || RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return 0;
  char data[QuickPlayMaxChars + 2];
  DWORD type = 0, size = QuickPlayMaxChars + 1;
  LONG result = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ || size > QuickPlayMaxChars + 1) return 0;
  data[size] = 0;
  size_t length = strlen(data);
  if (length > QuickPlayMaxChars || length >= capacity) return 0;
  memcpy(out, data, length + 1);
  return 1;
}

}  // namespace

const QuickPlayReader Win32QuickPlayReader = {ReadProfile, ReadRegistry};
