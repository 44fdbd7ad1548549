// The update prompt on Windows: the local date, the suite's program, the profile and registry
// stores of the last check date, the question box and the emulation check.
#include <windows.h>

#include "player/quick_play_defaults.h"
#include "player/update_prompt.h"
#include "player/win32/screen_saver_win32.h"

namespace {

void Today(CalendarDate* date) {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  *date = {now.wYear, now.wMonth, now.wDay};
}

int FileExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int ReadProfile(const char* section, const char* key, char* out, uint32_t capacity) {
  return Win32QuickPlayReader.ReadProfile(section, key, out, capacity);
}

void WriteProfile(const char* section, const char* key, const char* text) {
  WriteProfileStringA(section, key, text);
}

int ReadRegistry(const char* keyPath, const char* valueName, uint8_t* data, uint32_t capacity,
                 uint32_t* bytes, int* isString) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0, size = capacity;
  const LONG result = RegQueryValueExA(key, valueName, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return 0;  // also a value larger than `capacity`
  *bytes = size;
  *isString = type == REG_SZ;
  return 1;
}

void WriteRegistry(const char* keyPath, const char* valueName, const char* text) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 DWORD(lstrlenA(text) + 1));
  RegCloseKey(key);
}

int AskYesNo(void* window, const char* title, const char* text) {
  return MessageBoxA(static_cast<HWND>(window), text, title, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Looked up once; a system without IsWow64Process runs nothing emulated. A 64-bit process is
// never emulated, so this is 0 in the 64-bit build.
int IsEmulated32() {
  static int emulated = -1;
  if (emulated < 0) {
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto query = reinterpret_cast<IsWow64>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    emulated = query && query(GetCurrentProcess(), &wow64) && wow64;
  }
  return emulated;
}

}  // namespace

const UpdateServices Win32UpdateServices = {
    Today, FileExists, ReadProfile, WriteProfile, ReadRegistry, WriteRegistry,
    AskYesNo, IsEmulated32,
};
