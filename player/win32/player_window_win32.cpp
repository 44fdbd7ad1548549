// The player window on Win32: the window class "VexaWin", the window itself, and the window
// procedure that turns USER messages into the portable player's events.
#include <windows.h>

#include "player/player_host.h"
#include "player/player_state.h"
#include "player/win32/player_host_win32.h"
#include "player/win32/screen_saver_win32.h"

namespace {

constexpr int kIconId = 101;  // the program's icon and its transparent cursor share the number
constexpr int kCursorId = 101;

PlayerState* PlayerOf(HWND window) {
  return reinterpret_cast<PlayerState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  PlayerState* player = PlayerOf(window);
  if (!player) return DefWindowProcA(window, message, wparam, lparam);
  if (Win32ScreenSaverMessage(player, message, wparam, lparam)) return 0;
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      PlayerFocusEvent(player, message == WM_SETFOCUS);
      break;
    case WM_PAINT:
      PlayerPaintEvent(player);
      ValidateRect(window, nullptr);  // whatever the player left unpainted must not come back
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the player paints the background itself; erasing would flash over the movie
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
      if (!(pos->flags & SWP_NOMOVE)) {
        int32_t x = pos->x, y = pos->y;
        PlayerWindowPosChangingEvent(player, &x, &y);
        pos->x = x;
        pos->y = y;
      }
      break;
    }
    case WM_WINDOWPOSCHANGED:
      PlayerWindowPosChangedEvent(player);
      break;
    case WM_CHAR:
      PlayerCharEvent(player, uint32_t(wparam));
      return 0;
    case WM_LBUTTONUP:
      PlayerLeftButtonUpEvent(player);
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int Win32RegisterWindowClass(const HostWindowLook* look) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PlayerWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconId));
  windowClass.hCursor = look->HideCursor
                            ? LoadCursorA(instance, MAKEINTRESOURCEA(kCursorId))
                            : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.lpszClassName = PlayerWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

void* Win32CreateMainWindow(const HostWindowLook* look, PlayerState* player) {
  DWORD extended =
      (look->TopMost ? WS_EX_TOPMOST : 0) | (look->DialogFrame ? WS_EX_DLGMODALFRAME : 0);
  DWORD style = WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
  style |= look->Child ? WS_CHILD : WS_POPUP;
  if (look->Caption) style |= WS_CAPTION;
  return CreateWindowExA(extended, PlayerWindowClass, PlayerTitle, style, CW_USEDEFAULT,
                         CW_USEDEFAULT, 32, 32, reinterpret_cast<HWND>(look->Parent), nullptr,
                         GetModuleHandleA(nullptr), player);
}
