// The PlayerHost table on Win32: window handling, messages, time, message boxes, GDI text, files
// and system queries. Every handle crosses the table as an opaque pointer.
#include "player/win32/player_host_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstring>

#include "player/player_host.h"
#include "player/quick_play_defaults.h"
#include "player/win32/screen_saver_win32.h"
#include "vexa/movie.h"

namespace {

constexpr UINT kCommandLineString = 16;  // the embedded command line: 512 "~" unless written over
constexpr int kEmbeddedChars = 512;      // read at most 511 characters of it

HWND Hwnd(void* window) { return static_cast<HWND>(window); }

RECT ToRect(const HostRect* rect) {
  return RECT{rect->X, rect->Y, rect->X + rect->Width, rect->Y + rect->Height};
}

void Destroy(void* window) { DestroyWindow(Hwnd(window)); }

void Show(void* window, int show) { ShowWindow(Hwnd(window), show ? SW_SHOWNORMAL : SW_HIDE); }

void Move(void* window, const HostRect* rect) {
  MoveWindow(Hwnd(window), rect->X, rect->Y, rect->Width, rect->Height, TRUE);
}

void TopLeft(void* window, int32_t* x, int32_t* y) {
  RECT r = {};
  GetWindowRect(Hwnd(window), &r);
  *x = r.left;
  *y = r.top;
}

int Minimized(void* window) { return IsIconic(Hwnd(window)) != 0; }

int Focused(void* window) { return GetFocus() == Hwnd(window); }

void SetTitle(void* window, const char* title) { SetWindowTextA(Hwnd(window), title); }

void Invalidate(void* window, const HostRect* rect) {
  RECT r = ToRect(rect);
  InvalidateRect(Hwnd(window), &r, FALSE);
}

void BlackenClient(HWND window, HDC dc) {
  RECT client = {};
  GetClientRect(window, &client);
  PatBlt(dc, 0, 0, client.right, client.bottom, BLACKNESS);
}

void Paint(void* window, const HostRect* exclude, int blacken) {
  HWND w = Hwnd(window);
  if (exclude) {
    RECT r = ToRect(exclude);
    ValidateRect(w, &r);  // the picture redraws itself: painting it black would flicker
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(w, &paint);
  if (dc && blacken) BlackenClient(w, dc);
  EndPaint(w, &paint);
}

void FillBlack(void* window) {
  HWND w = Hwnd(window);
  if (HDC dc = GetDC(w)) {
    BlackenClient(w, dc);
    ReleaseDC(w, dc);
  }
}

void UpdateAll() { RedrawWindow(nullptr, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

HostPump Pump() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return HostPumpNone;
  if (message.message == WM_QUIT) return HostPumpQuit;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return HostPumpDispatched;
}

void SleepMs(uint32_t ms) { Sleep(ms); }

void TimerBegin() { timeBeginPeriod(1); }

void TimerEnd() { timeEndPeriod(1); }

void Message(const char* title, const char* text, HostIcon icon) {
  UINT style = MB_OK;
  if (icon == HostIconStop) style |= MB_ICONSTOP;
  if (icon == HostIconInformation) style |= MB_ICONINFORMATION;
  MessageBoxA(nullptr, text, title, style);
}

void Measure(void* window, const char* text, int32_t* width, int32_t* height) {
  SIZE size = {};
  HWND w = Hwnd(window);
  if (HDC dc = GetDC(w)) {
    GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
    ReleaseDC(w, dc);
  }
  *width = size.cx;
  *height = size.cy;
}

void DrawLine(void* window, const char* text, const HostRect* strip, int32_t centreX) {
  HWND w = Hwnd(window);
  HDC dc = GetDC(w);
  if (!dc) return;
  RECT r = ToRect(strip);
  SetTextColor(dc, RGB(255, 255, 0));
  SetBkColor(dc, RGB(0, 0, 0));
  SetTextAlign(dc, TA_CENTER | TA_TOP);
  ExtTextOutA(dc, centreX, strip->Y, ETO_OPAQUE, &r, text, UINT(std::strlen(text)), nullptr);
  ReleaseDC(w, dc);
}

int OpenAt(const char* name, uint32_t offset, void** handle) {
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER position;
  position.QuadPart = offset;
  if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) {
    CloseHandle(file);
    return 0;
  }
  *handle = file;
  return 1;
}

void Close(void* handle) { CloseHandle(handle); }

void ProgramName(char* name, uint32_t capacity) {
  if (!capacity) return;
  DWORD length = GetModuleFileNameA(nullptr, name, capacity);
  name[length < capacity ? length : capacity - 1] = 0;  // a cut name is not terminated
}

void Embedded(char* text, uint32_t capacity) {
  if (!capacity) return;
  char resource[kEmbeddedChars] = {};
  LoadStringA(GetModuleHandleA(nullptr), kCommandLineString, resource, kEmbeddedChars);
  size_t length = std::strcspn(resource, "~");
  if (length >= capacity) length = capacity - 1;
  std::memcpy(text, resource, length);
  text[length] = 0;
}

void Screen(uint32_t* width, uint32_t* height) {
  *width = uint32_t(GetSystemMetrics(SM_CXSCREEN));
  *height = uint32_t(GetSystemMetrics(SM_CYSCREEN));
}

uint32_t Processors() {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}

void WebSite(const char* address) {
  ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOW);
}

void ScreenSaver(int on) {
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, UINT(on), &previous, 0);
}

const PlayerHost kHost = {
    .RegisterWindowClass = Win32RegisterWindowClass,
    .CreateMainWindow = Win32CreateMainWindow,
    .DestroyMainWindow = Destroy,
    .ShowMainWindow = Show,
    .MoveMainWindow = Move,
    .GetWindowTopLeft = TopLeft,
    .IsMinimized = Minimized,
    .HasFocus = Focused,
    .SetWindowTitle = SetTitle,
    .InvalidateClient = Invalidate,
    .PaintClient = Paint,
    .FillClientBlack = FillBlack,
    .UpdateAllWindows = UpdateAll,
    .PumpMessage = Pump,
    .Sleep = SleepMs,
    .Now = MovieTimerMs,
    .TimerResolutionBegin = TimerBegin,
    .TimerResolutionEnd = TimerEnd,
    .ShowMessage = Message,
    .MeasureText = Measure,
    .DrawTextLine = DrawLine,
    .OpenFileAt = OpenAt,
    .CloseFile = Close,
    .ProgramFileName = ProgramName,
    .EmbeddedCommandLine = Embedded,
    .ScreenSize = Screen,
    .ProcessorCount = Processors,
    .OpenWebSite = WebSite,
    .ScreenSaverRunning = ScreenSaver,
    .QuickPlay = &Win32QuickPlayReader,
    .Sound = nullptr,  // /Z chooses waveOut, otherwise DirectSound
    .Saver = &Win32ScreenSaverServices,
    .Update = &Win32UpdateServices,
};

}  // namespace

const PlayerHost* Win32PlayerHost() { return &kHost; }
