// The screen saver on Windows: the platform's password service, the preview parent's size, and the
// window messages that may end a running screen saver.
#include "player/win32/screen_saver_win32.h"

#include <windows.h>

#include "player/player_host.h"
#include "player/screen_saver.h"

namespace {

uint32_t PlatformId() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
  return known ? version.dwPlatformId : 0;
}

int ReadUserValue(const char* keyPath, const char* valueName, uint32_t* value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD data = 0, size = sizeof data;
  const LONG result =
      RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || size != sizeof data) return 0;
  *value = data;
  return 1;
}

void* LoadModule(const char* name) { return LoadLibraryA(name); }

void* FindEntry(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

int CallPasswordEntry(void* entry, void* window) {
  using VerifyPassword = BOOL(WINAPI*)(HWND);
  return reinterpret_cast<VerifyPassword>(entry)(static_cast<HWND>(window)) != 0;
}

void UnloadModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

int ClientSize(uintptr_t handle, uint32_t* width, uint32_t* height) {
  HWND window = reinterpret_cast<HWND>(handle);
  RECT client = {};
  if (!IsWindow(window) || !GetClientRect(window, &client)) return 0;
  *width = uint32_t(client.right > 0 ? client.right : 0);
  *height = uint32_t(client.bottom > 0 ? client.bottom : 0);
  return 1;
}

// The system commands that would switch away from, close or restart a running screen saver.
bool IsBlockedCommand(WPARAM command) {
  const WPARAM c = command & 0xFFF0;
  return c == SC_NEXTWINDOW || c == SC_PREVWINDOW || c == SC_CLOSE || c == SC_SCREENSAVE;
}

}  // namespace

const ScreenSaverServices Win32ScreenSaverServices = {
    PlatformId, ReadUserValue, LoadModule, FindEntry, CallPasswordEntry, UnloadModule, ClientSize,
};

int Win32ScreenSaverMessage(PlayerState* player, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ACTIVATEAPP:
      if (!wparam) PlayerScreenSaverEvent(player, HostSaverDeactivated, 0, 0);
      return 0;
    case WM_SYSCOMMAND:
      return IsBlockedCommand(wparam) &&
             PlayerScreenSaverEvent(player, HostSaverWindowCommand, 0, 0);
    case WM_MOUSEMOVE:
      PlayerScreenSaverEvent(player, HostSaverMouseMove, int16_t(LOWORD(lparam)),
                             int16_t(HIWORD(lparam)));
      return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      PlayerScreenSaverEvent(player, HostSaverPress, 0, 0);
      return 0;
    case WM_POWERBROADCAST:
      if (wparam == PBT_APMSUSPEND) PlayerScreenSaverEvent(player, HostSaverSuspend, 0, 0);
      return 0;
  }
  return 0;
}
