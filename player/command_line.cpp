// The command line: switches are "/" plus a letter (any case). Parsing cuts each recognised
// switch out of the text, so whatever is left is the list of movie names.
#include "player/command_line.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "player/quick_play_defaults.h"
#include "surface/surface_flags.h"
#include "vexa/copy.h"
#include "vexa/movie.h"

namespace {

constexpr uint32_t ScreenSaverStyle = 2;  // the DIB section: works on every display

struct DisplayMode {
  uint32_t Width, Height;
};
// /D resolution numbers 1 to 13.
constexpr DisplayMode DisplayModes[] = {
    {320, 200}, {320, 240}, {320, 400}, {400, 300},  {480, 360},  {512, 384},   {640, 400},
    {640, 480}, {800, 600}, {960, 720}, {1024, 768}, {1152, 864}, {1280, 1024}};
// /D depth codes 0 to 6 as the surface's pending-depth codes.
constexpr uint32_t PendingDepths[] = {16, 24, 32, 8, 1, 2, 3};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Blanks are all control characters and the space; the terminator is not one.
bool IsBlank(char c) { return c != 0 && static_cast<unsigned char>(c) <= ' '; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void RemoveChars(char* at, size_t count) { memmove(at, at + count, strlen(at + count) + 1); }

// Appends as much of `more` as the command-line buffer still holds.
void AppendText(char* text, const char* more) {
  size_t length = strlen(text);
  size_t count = strnlen(more, CommandLineChars - 1 - length);
  memcpy(text + length, more, count);
  text[length + count] = 0;
}

// Appends `more` behind one blank unless the text is empty or already ends in a blank.
void AppendSeparated(char* text, const char* more) {
  if (*more == 0) return;
  size_t length = strlen(text);
  if (length != 0 && !IsBlank(text[length - 1])) AppendText(text, " ");
  AppendText(text, more);
}

bool FollowsFlag(const char* p) { return static_cast<unsigned char>(*p) < '0'; }
bool FollowsNumber(const char* p) { return IsDigit(p[0]) || (p[0] == '-' && IsDigit(p[1])); }

// Whether `p` lies inside a double-quoted name: switches are never looked for there, so a quoted
// name may hold slashes (a POSIX path, or a Windows path written with forward slashes).
bool Quoted(const char* text, const char* p) {
  bool quoted = false;
  for (; text < p; ++text)
    if (*text == '"') quoted = !quoted;
  return quoted;
}

// The next "/" at or after `p` that stands outside quotes, or none.
const char* NextSlash(const char* text, const char* p) {
  for (p = strchr(p, '/'); p != nullptr && Quoted(text, p); p = strchr(p + 1, '/')) {
  }
  return p;
}

// The "/" of the first switch with this letter whose next characters fit the shape.
char* FindSwitch(char* text, char letter, bool (*follows)(const char*)) {
  for (const char* p = NextSlash(text, text); p != nullptr; p = NextSlash(text, p + 1))
    if (p[1] != 0 && Lower(p[1]) == Lower(letter) && follows(p + 2)) return text + (p - text);
  return nullptr;
}

// Optional "-" and digits, saturated to the 32-bit signed range.
const char* ParseInteger(const char* p, int32_t* value) {
  bool negative = *p == '-';
  if (negative) ++p;
  uint64_t magnitude = 0;
  for (; IsDigit(*p); ++p)
    magnitude = std::min<uint64_t>(magnitude * 10 + static_cast<uint64_t>(*p - '0'), 1ull << 31);
  *value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                    : static_cast<int32_t>(std::min<uint64_t>(magnitude, INT32_MAX));
  return p;
}

bool TakeFlag(char* text, char letter) {
  char* p = FindSwitch(text, letter, FollowsFlag);
  if (p != nullptr) RemoveChars(p, 2);
  return p != nullptr;
}

bool TakeNumber(char* text, char letter, int32_t* value) {
  char* p = FindSwitch(text, letter, FollowsNumber);
  if (p == nullptr) return false;
  RemoveChars(p, static_cast<size_t>(ParseInteger(p + 2, value) - p));
  return true;
}

int32_t TakeNumberOr(char* text, char letter, int32_t absent) {
  int32_t value = absent;
  TakeNumber(text, letter, &value);
  return value;
}

bool TakeFraction(char* text, char letter, int32_t* numerator, uint32_t* denominator) {
  char* p = FindSwitch(text, letter, FollowsNumber);
  if (p == nullptr) return false;
  RemoveChars(p, static_cast<size_t>(ParseFraction(p + 2, numerator, denominator) - p));
  return true;
}

struct Fraction {
  uint64_t Num, Den;
};

// Digits beyond this bound change nothing a player can use; stopping there keeps 64 bits enough.
constexpr uint64_t DigitLimit = 1000000000000000000ull;

void Reduce(Fraction* f) {
  if (f->Num == 0 || f->Den == 0) return;
  uint64_t a = f->Num, b = f->Den;
  while (b != 0) {
    uint64_t r = a % b;
    a = b;
    b = r;
  }
  f->Num /= a;
  f->Den /= a;
}

// Scales both parts down together until they fit; an integer too large saturates, and so does a
// denominator under a numerator of 0 or 1.
void FitFraction(Fraction* f, uint64_t maxNum) {
  while (f->Num > maxNum || f->Den > UINT32_MAX) {
    if (f->Den == 1) {
      f->Num = maxNum;
    } else if (f->Num <= 1) {
      f->Den = UINT32_MAX;
    } else {
      f->Num = (f->Num + 1) / 2;
      f->Den = (f->Den + 1) / 2;
    }
  }
}

// "digits[.digits]" as a reduced fraction that fits 32 bits.
const char* ParseDecimal(const char* p, Fraction* f) {
  f->Num = 0;
  f->Den = 1;
  for (; IsDigit(*p); ++p) f->Num = std::min(f->Num * 10 + static_cast<uint64_t>(*p - '0'), DigitLimit);
  if (*p == '.') {
    for (++p; IsDigit(*p); ++p) {
      if (f->Num >= DigitLimit / 10 || f->Den >= DigitLimit / 10) continue;
      f->Num = f->Num * 10 + static_cast<uint64_t>(*p - '0');
      f->Den *= 10;
    }
  }
  Reduce(f);
  FitFraction(f, UINT32_MAX);
  return p;
}

// /L: the number form first; a bare /L (or /L-1) plays endlessly, no /L plays once.
uint32_t TakeLoopCount(char* text) {
  int32_t value = -1;
  if (TakeNumber(text, 'L', &value) && value != -1) return static_cast<uint32_t>(value);
  return TakeFlag(text, 'L') ? 0 : 1;
}

// /F: the fraction first; a bare /F plays as fast as possible.
void TakeFrameRate(PlayOptions* o) {
  int32_t rate = 0;
  uint32_t div = 0;
  bool given = TakeFraction(o->CommandLine, 'F', &rate, &div) || TakeFlag(o->CommandLine, 'F');
  o->FrameRate = given ? static_cast<uint32_t>(rate) : OptionNotGiven;
  o->FrameRateDiv = given ? div : OptionNotGiven;
  if (given) o->OpenFlags |= OpenFrameRate;
}

// /A: 1000 shows the alpha plane, 100 grey scale, the rest (at most 7) the scaling mode.
void ApplyDisplayOptions(PlayOptions* o, uint32_t value) {
  if (value / 1000 == 1) {
    value -= 1000;
    o->ExtraCopyFlags |= CopySwapAlpha | OpenAlpha;
    o->OpenFlags |= OpenAlpha;
  }
  if (value / 100 == 1) {
    value -= 100;
    o->OpenFlags |= OpenGrayscale;
  }
  o->OpenFlags |= std::min(value, 7u) << OpenScaleShift;
}

// /D: resolution number (value % 100, 1 to 13) and depth code (value / 100, 0 to 6); other
// values ask for no mode.
void ApplyDisplayMode(PlayOptions* o, uint32_t value) {
  uint32_t resolution = value % 100, depth = value / 100;
  if (resolution < 1 || resolution > std::size(DisplayModes) || depth >= std::size(PendingDepths))
    return;
  o->SurfaceFlags |= SurfaceSetMode;
  o->ScreenWidth = o->ModeWidth = DisplayModes[resolution - 1].Width;
  o->ScreenHeight = o->ModeHeight = DisplayModes[resolution - 1].Height;
  o->ModeDepth = PendingDepths[depth];
}

}  // namespace

void AssembleCommandLine(char* text, const char* embedded, const char* user) {
  size_t length = 0;
  while (embedded != nullptr && length < EmbeddedCommandLineChars && embedded[length] != 0 &&
         embedded[length] != '~') {
    text[length] = embedded[length];
    ++length;
  }
  text[length] = 0;
  if (user != nullptr) AppendSeparated(text, user);
}

void CancelSwitches(char* text) {
  for (char* p = strstr(text, "/-"); p != nullptr; p = strstr(p, "/-")) {
    if (Quoted(text, p)) {
      ++p;
      continue;
    }
    if (p[2] == 0) {
      *p = 0;
      return;
    }
    char letter = Lower(p[2]);
    for (char* q = text; q + 1 < p;) {
      if (q[0] != '/' || Lower(q[1]) != letter || Quoted(text, q)) {
        ++q;
        continue;
      }
      char* end = q + 2;
      while (end < p && *end != '/' && *end != 0 && !IsBlank(*end)) ++end;
      RemoveChars(q, static_cast<size_t>(end - q));
      p -= end - q;
    }
    RemoveChars(p, 3);
  }
}

void ParseCommandLine(PlayOptions* o, const QuickPlayReader* defaults, uint32_t screenWidth,
                      uint32_t screenHeight) {
  char* text = o->CommandLine;
  o->OpenFlags = o->SurfaceFlags = o->ExtraCopyFlags = 0;
  o->ListLoopCount = 1;
  if (TakeFlag(text, '!')) {
    char stored[QuickPlayMaxChars + 1];
    ReadQuickPlayDefaults(defaults, stored);
    AppendSeparated(text, stored);
  }
  o->LoopCount = TakeLoopCount(text);
  // Window handles are 32-bit values, sign-extended.
  o->ParentWindow = static_cast<uintptr_t>(static_cast<intptr_t>(TakeNumberOr(text, '#', 0)));
  TakeFrameRate(o);
  o->SoundTrack = static_cast<uint32_t>(TakeNumberOr(text, 'T', 0));
  if (o->SoundTrack != 0) o->OpenFlags |= OpenTrackList;
  o->SimulatedSpeed = static_cast<uint32_t>(TakeNumberOr(text, 'M', 0));
  if (o->SimulatedSpeed != 0) o->OpenFlags |= OpenSimulateSpeed;
  o->IoBufferSize = static_cast<uint32_t>(TakeNumberOr(text, 'E', -1));
  if (o->IoBufferSize != OptionNotGiven) o->OpenFlags |= OpenIoBufferSize;
  o->DisabledControls = static_cast<uint32_t>(TakeNumberOr(text, 'U', 0));
  uint32_t style = static_cast<uint32_t>(TakeNumberOr(text, 'I', 0));
  o->AlwaysOnTop = style / 100;
  o->WindowStyle = style % 100;
  o->UseWaveOut = TakeFlag(text, 'Z');
  o->ShowSummary = TakeFlag(text, 'S');
  o->ShowStats = TakeFlag(text, 'Q');
  o->KeepPlayingUnfocused = TakeFlag(text, 'J');
  o->FillScreen = TakeFlag(text, 'R');
  o->HideCursor = TakeFlag(text, 'C');
  if (o->FillScreen) o->WindowStyle = 2;
  if (TakeFlag(text, 'N')) o->OpenFlags |= OpenNeverSkip;
  if (TakeFlag(text, 'G')) o->OpenFlags |= OpenNoFillIo;
  if (TakeFlag(text, 'P')) o->OpenFlags |= OpenPreload;
  if (TakeFlag(text, 'K')) o->OpenFlags |= OpenNoIoThread;
  ApplyDisplayOptions(o, static_cast<uint32_t>(TakeNumberOr(text, 'A', 0)));
  o->WindowX = TakeNumberOr(text, 'X', CentreMarker);
  o->WindowY = TakeNumberOr(text, 'Y', CentreMarker);
  o->OutWidth = o->OutHeight = 0;
  o->OutWidthDiv = o->OutHeightDiv = 0;
  TakeFraction(text, 'W', &o->OutWidth, &o->OutWidthDiv);
  TakeFraction(text, 'H', &o->OutHeight, &o->OutHeightDiv);
  o->ScreenWidth = screenWidth;
  o->ScreenHeight = screenHeight;
  o->ModeWidth = o->ModeHeight = o->ModeDepth = 0;
  ApplyDisplayMode(o, static_cast<uint32_t>(TakeNumberOr(text, 'D', 0)));
  uint32_t blit = static_cast<uint32_t>(TakeNumberOr(text, 'B', 0)) & SurfaceStyleMask;
  if (o->ScreenSaverMode != 0) {
    o->LoopCount = 0;
    o->FillScreen = o->HideCursor = true;
    o->WindowStyle = 2;
    blit = ScreenSaverStyle;
  }
  o->SurfaceFlags |= blit;
}

const char* ParseFraction(const char* text, int32_t* numerator, uint32_t* denominator) {
  bool negative = *text == '-';
  Fraction value;
  const char* p = ParseDecimal(text + (negative ? 1 : 0), &value);
  if (p[0] == ';' && IsDigit(p[1])) {
    Fraction divisor;
    p = ParseDecimal(p + 1, &divisor);
    value = {value.Num * divisor.Den, value.Den * divisor.Num};
    Reduce(&value);
  }
  FitFraction(&value, INT32_MAX);
  int32_t magnitude = static_cast<int32_t>(value.Num);
  *numerator = negative ? -magnitude : magnitude;
  *denominator = value.Den == 0 ? 1 : static_cast<uint32_t>(value.Den);
  return p;
}

void TakeNextFileName(char* name, size_t capacity, char* list) {
  char* start = list;
  while (IsBlank(*start)) ++start;
  char* end = start;
  char* rest;
  char* close = *start == '"' ? strchr(start + 1, '"') : nullptr;
  if (close != nullptr) {
    end = close;
    rest = close + 1;
    ++start;
  } else {
    while (*end != 0 && !IsBlank(*end)) ++end;
    rest = end;
  }
  while (start < end && IsBlank(*start)) ++start;
  while (end > start && IsBlank(end[-1])) --end;
  if (capacity != 0) {
    size_t length = std::min(static_cast<size_t>(end - start), capacity - 1);
    memcpy(name, start, length);
    name[length] = 0;
  }
  while (IsBlank(*rest)) ++rest;
  RemoveChars(list, static_cast<size_t>(rest - list));
  size_t length = strlen(list);
  while (length != 0 && IsBlank(list[length - 1])) list[--length] = 0;
}

int CommandLineNeedsHelp(const char* text) {
  if (NextSlash(text, text) != nullptr) return 1;
  while (IsBlank(*text)) ++text;
  return *text == 0;
}

const char PlayerHelpTitle[] = "Vexa Video Player Help";

const char PlayerHelpText[] =
    "Vexa Video Player 1.9h\n"
    "  SYNTAX: VexaPlay <Vexa1 Vexa2 ...> [/Switches]:\n"
    "    /P  \t- Preload the entire Vexa video into memory.\n"
    "    /L##\t- Loop the animation (just/L for infinite).\n"
    "    /F#.#\t- Use this frame rate (just /F for fast).\n"
    "    /T##\t- Play the specified sound track.\n"
    "    /Z  \t- Use waveOut instead of DirectSound for audio output.\n"
    "    /S  \t- Show the playback summary when finished.\n"
    "    /X##\t- Specifies the X coordinate of the playback.\n"
    "    /Y##\t- Specifies the Y coordinate of the playback.\n"
    "    /W#.#\t- Stretch to this width in pixels (can be slow). Use negative numbers for\n"
    "         \t    scaling (i.e. for 2x, use '/w-2').  For full screen, use -1 ('/w-1').\n"
    "    /H#.#\t- Stretch to this height in pixels (can be slow).\n"
    "    /R   \t- Fill the screen with a black background.\n"
    "    /C   \t- Hide the cursor when in the Vexa window.\n"
    "    /M##\t- Simulate this read speed (in bytes/second).\n"
    "    /E##\t- Specified the amount of memory for read buffering.\n"
    "    /G  \t- Don't load the read buffer when opening the Vexa (faster opening).\n"
    "    /K  \t- Do not use multi-threaded device reading.\n"
    "    /U##\t- Disable controls: 1=pause, 2=skip, 4=quit.\n"
    "    /N  \t- Never skip frames when falling behind.\n"
    "    /Q  \t- Show run-time playback statistics.\n"
    "    /J  \t- Don't pause the video when the focus is lost.\n"
    "    /I# \t- Window style: 0=normal, 1=no caption, 2=nothing.  Add 100 for always-on-top.\n"
    "    /A##\t- Display options: 1=2x height doubled, 2=2x height interlaced, 3=2x width doubled,\n"
    "        \t    4=2x width and height doubled, 5=2x width and height interlaced,\n"
    "        \t    6=1x height interlaced, 7=force none. Add 100 for grayscale, 1000 to show alpha.\n"
    "    /D##\t- Display resolution: 1=320x200, 2=320x240, 3=320x400, 4=400x300, 5=480x360,\n"
    "        \t    6=512x384, 7=640x400, 8=640x480, 9=800x600, 10=960x720, 11=1024x768,\n"
    "        \t    12=1152x864, 13=1280x1024. To set the color depth, add: 0 for 16-bit,\n"
    "        \t    100 for 24-bit, 200 for 32-bit, 300 for 8-bit, 400 for at least\n"
    "        \t    high-color (16, 32, then 24), 500 to try true-color (32, 24, then 16),\n"
    "        \t    and 600 for true-color only (32, then 24).\n"
    "    /B##\t- Blitting style: 0=Automatic, 1=DirectDraw primary display (best quality,\n"
    "        \t    very fast), 2=DIBSection (best quality, most compatible), 3=YV12 overlay,\n"
    "        \t    4=YUY2 overlay, 5=UYVY overlay, 6=YV12 off-screen, 7=YUY2 off-screen,\n"
    "        \t    8=UYVY off-screen, 9=DirectDraw RGB video memory off-screen,\n"
    "        \t    10=DirectDraw RGB system memory off-screen.\n";
