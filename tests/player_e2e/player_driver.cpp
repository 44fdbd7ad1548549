// Drives VexaPlay.exe from outside, as a user would: starts it with a command line, then runs the
// given steps in order and prints what it sees, one line per fact, for the test script to check.
//
//   vexa_player_driver.exe "VexaPlay.exe SWITCHES NAMES" STEP...
//
// PARENT in the command line becomes the handle of a 160 x 128 window at 100, 100 (a screen saver's
// preview window), which the steps before `window` capture.
//
//   window        wait until the player window (class "VexaWin", top-level or in the PARENT
//                 window) is visible; print "window LEFT TOP RIGHT BOTTOM" (on the screen)
//   sleep=MS      wait MS milliseconds
//   key=NAME      post a key's down message to the player window: space, enter, escape or dot
//   mouse=X,Y     move the mouse pointer to X, Y on the screen
//   capture=FILE  copy the client area into FILE (32-bit B, G, R, X rows, top row first) and
//                 print "capture W H frame N" (N: the frame code in the picture's corner)
//   frame         print "frame N" from a capture that is not kept
//   focus=away    bring a window of the driver to the foreground (the player loses the focus)
//   focus=back    bring the player window back to the foreground
//   box[=BUTTON]  wait for a message box of the player; print "title T" and "text L" for each
//                 line of its text, then press the button (default: the first one shown)
//   gone          wait until the player window is hidden or destroyed; print "gone MS" (MS since
//                 the step began; Wine without a window manager takes 2 s more to finish)
//   exit          wait for the player to end; print "exit CODE MS" (MS since the step began)
//
// A step that waits gives up after 20 s: the driver prints "timeout STEP", ends the player and
// exits with 2. Any other failure exits with 1.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 20000;
constexpr int kCodeBlock = 16;  // the frame code: 4 x 4 blocks of 16 x 16 pixels, bit i at block
constexpr int kCodeBits = 16;   // (i % 4, i / 4) counted from the top-left corner, white = 1
HWND Preview = nullptr;         // the window made for PARENT

struct Search { DWORD Process; const char* ClassName; HWND Found; };

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (process != search->Process || std::strcmp(name, search->ClassName) ||
      !IsWindowVisible(window))
    return TRUE;
  search->Found = window;
  return FALSE;
}

// Waits up to `ms` for messages to the driver's own windows and handles them (focus changes; the
// player's window inside the preview window sends some and waits for the answers).
void HandleOwnMessages(DWORD ms) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
}

// Waits until the player shows a window of the class; none when it ends or the time runs out.
HWND WaitForWindow(const PROCESS_INFORMATION& player, const char* className) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kTimeoutMs) {
    Search search = {player.dwProcessId, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.Found && Preview)
      EnumChildWindows(Preview, MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.Found) return search.Found;
    HandleOwnMessages(0);
    if (WaitForSingleObject(player.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// The client area as 32-bit rows, top row first; empty when it cannot be read.
std::vector<uint8_t> CaptureClient(HWND window, int* width, int* height) {
  RECT client = {};
  GetClientRect(window, &client);
  *width = client.right;
  *height = client.bottom;
  std::vector<uint8_t> pixels;
  if (*width <= 0 || *height <= 0) return pixels;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), *width, -*height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  // From the screen (Wine reads another process's window DC as black), and only the part on the
  // screen (Wine reads all of a copy reaching past the screen as black); the rest stays black.
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  const RECT wanted = {origin.x, origin.y, origin.x + *width, origin.y + *height};
  const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT part = {};
  IntersectRect(&part, &wanted, &screen);
  HDC source = GetDC(nullptr), memory = CreateCompatibleDC(source);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib) {
    HGDIOBJ old = SelectObject(memory, dib);
    if (BitBlt(memory, part.left - origin.x, part.top - origin.y, part.right - part.left,
               part.bottom - part.top, source, part.left, part.top, SRCCOPY)) {
      GdiFlush();
      const auto* first = static_cast<const uint8_t*>(bits);
      pixels.assign(first, first + size_t(*width) * size_t(*height) * 4);
    }
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, source);
  return pixels;
}

// Reads the frame code of the picture at the client area's top-left corner; -1 when too small.
long FrameCode(const std::vector<uint8_t>& pixels, int width, int height) {
  if (pixels.empty() || width < 4 * kCodeBlock || height < 4 * kCodeBlock) return -1;
  long frame = 0;
  for (int bit = 0; bit < kCodeBits; ++bit) {
    const int x = (bit % 4) * kCodeBlock + kCodeBlock / 2,
              y = (bit / 4) * kCodeBlock + kCodeBlock / 2;
    if (pixels[(size_t(y) * size_t(width) + size_t(x)) * 4 + 1] > 128) frame |= 1L << bit;
  }
  return frame;
}

int Capture(HWND window, const char* file) {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels = CaptureClient(window, &width, &height);
  if (pixels.empty()) return std::printf("capture failed\n"), 0;
  if (file) {
    FILE* out = std::fopen(file, "wb");
    const bool ok = out && std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    if (out) std::fclose(out);
    if (!ok) return std::printf("cannot write %s\n", file), 0;
    std::printf("capture %d %d ", width, height);
  }
  std::printf("frame %ld\n", FrameCode(pixels, width, height));
  return 1;
}

// Text: the longest static text, the message (the icon has none); Choice: the button to press
// ("&" left out), empty for the first one shown.
struct BoxParts { std::string Text, Choice; HWND Button; };

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM context) {
  auto* parts = reinterpret_cast<BoxParts*>(context);
  char name[64] = {}, text[4096] = {};
  GetClassNameA(child, name, sizeof name);
  GetWindowTextA(child, text, sizeof text);
  std::string label = text;
  std::erase(label, '&');
  const bool chosen = parts->Choice.empty() || !lstrcmpiA(label.c_str(), parts->Choice.c_str());
  if (!lstrcmpiA(name, "Button") && IsWindowVisible(child) && chosen && !parts->Button)
    parts->Button = child;
  if (!lstrcmpiA(name, "Static") && std::strlen(text) > parts->Text.size()) parts->Text = text;
  return TRUE;
}

// Prints the box's title and text lines, then presses the chosen button.
void ReadAndCloseBox(HWND box, const std::string& choice) {
  char title[256] = {};
  GetWindowTextA(box, title, sizeof title);
  std::printf("title %s\n", title);
  BoxParts parts = {"", choice, nullptr};
  EnumChildWindows(box, ReadBoxChild, reinterpret_cast<LPARAM>(&parts));
  std::erase(parts.Text, '\r');
  std::istringstream text(parts.Text);
  for (std::string line; std::getline(text, line);) std::printf("text %s\n", line.c_str());
  const int id = parts.Button ? GetDlgCtrlID(parts.Button) : IDOK;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(parts.Button));
}

int PostKey(HWND window, const char* name) {
  const char* names[] = {"space", "enter", "escape", "dot"};
  const WPARAM keys[] = {VK_SPACE, VK_RETURN, VK_ESCAPE, VK_OEM_PERIOD};
  for (int i = 0; i < 4; ++i)  // the player's TranslateMessage makes the character
    if (!std::strcmp(name, names[i])) return PostMessageA(window, WM_KEYDOWN, keys[i], 1) != 0;
  return std::printf("unknown key %s\n", name), 0;
}

// Moves the foreground to a small window of the driver's own, or back to the player.
int MoveFocus(HWND player, const std::string& where) {
  static HWND own = nullptr;
  if (!own)
    own = CreateWindowExA(0, "STATIC", "driver", WS_POPUP | WS_VISIBLE, 0, 0, 16, 16, nullptr,
                          nullptr, GetModuleHandleA(nullptr), nullptr);
  const HWND target = where == "away" ? own : player;
  SetForegroundWindow(target);
  HandleOwnMessages(0);
  return std::printf("focus %s\n", where.c_str()), 1;
}

// Waits while the test holds for the window: 1 when it ended, -1 when the time ran out.
int WaitWhile(BOOL(WINAPI* test)(HWND), HWND window, DWORD start) {
  for (; test(window); Sleep(5))
    if (GetTickCount() - start > kTimeoutMs) return -1;
  return 1;
}

// Runs one step; 1 done, 0 failed, -1 timed out.
int RunStep(const PROCESS_INFORMATION& player, HWND* window, const std::string& step) {
  const DWORD start = GetTickCount();
  const size_t equals = step.find('=');
  const std::string verb = step.substr(0, equals),
                    value = equals == std::string::npos ? "" : step.substr(equals + 1);
  if (verb == "sleep") {
    while (GetTickCount() - start < std::stoul(value)) HandleOwnMessages(5);
    return 1;
  }
  if (verb == "exit") {
    if (WaitForSingleObject(player.hProcess, kTimeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(player.hProcess, &code);
    return std::printf("exit %lu %lu\n", code, GetTickCount() - start), 1;
  }
  if (verb == "box") {
    HWND box = WaitForWindow(player, "#32770");
    if (!box) return -1;
    ReadAndCloseBox(box, value);
    return WaitWhile(IsWindow, box, start);  // the next step must not find this box again
  }
  if (verb == "window") {
    RECT r = {};
    *window = WaitForWindow(player, "VexaWin");
    if (!*window || !GetWindowRect(*window, &r)) return -1;
    return std::printf("window %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom), 1;
  }
  if (!*window) return std::printf("%s: no player window yet\n", step.c_str()), 0;
  if (verb == "gone") {
    if (WaitWhile(IsWindowVisible, *window, start) < 0) return -1;
    return std::printf("gone %lu\n", GetTickCount() - start), 1;
  }
  if (verb == "key") return PostKey(*window, value.c_str());
  if (verb == "capture") return Capture(*window, value.c_str());
  if (verb == "frame") return Capture(*window, nullptr);
  if (verb == "focus") return MoveFocus(*window, value);
  if (verb == "mouse")
    return SetCursorPos(std::stoi(value), std::stoi(value.substr(value.find(',') + 1))) != 0;
  return std::printf("unknown step %s\n", step.c_str()), 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return std::fprintf(stderr, "usage: vexa_player_driver \"VexaPlay.exe ARGS\" STEP...\n"), 1;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::string commandLine = argv[1];
  if (const size_t at = commandLine.find("PARENT"); at != std::string::npos) {
    Preview = CreateWindowExA(0, "STATIC", nullptr, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100,
                              100, 160, 128, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    commandLine.replace(at, 6, std::to_string(reinterpret_cast<uintptr_t>(Preview)));
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION player = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &player))
    return std::printf("cannot start: %s\n", argv[1]), 1;
  HWND window = Preview;
  int result = 0;
  for (int i = 2; i < argc && !result; ++i) {
    const int done = RunStep(player, &window, argv[i]);
    if (done < 0) std::printf("timeout %s\n", argv[i]);
    result = done == 1 ? 0 : done < 0 ? 2 : 1;
  }
  TerminateProcess(player.hProcess, 99);  // fails when it has ended
  CloseHandle(player.hThread);
  CloseHandle(player.hProcess);
  return result;
}
