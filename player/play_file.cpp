// One file of the list: the pending open values, opening the movie by its name form, the output
// size and stretch bits, the surface and the window's place; and closing it all again.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "player/decode_workers.h"
#include "player/main_loop.h"
#include "player/update_prompt.h"
#include "surface/surface.h"

namespace {

constexpr uint32_t ErrorChars = MOVIE_ERROR_CAPACITY;

void SetPendingValues(const PlayOptions* o) {
  if (o->FrameRate != OptionNotGiven && o->FrameRateDiv != OptionNotGiven)
    MovieSetPendingFrameRate(o->FrameRate, o->FrameRateDiv);
  if (o->SoundTrack) MovieSetPendingTrackList(&o->SoundTrack, 1);
  if (o->SimulatedSpeed) MovieSetPendingSimulatedSpeed(o->SimulatedSpeed);
  if (o->IoBufferSize != OptionNotGiven) MovieSetPendingIoBufferSize(o->IoBufferSize);
}

// A decimal byte offset; larger values saturate (the open then fails on them).
uint32_t ParseOffset(const char* text) {
  const unsigned long long v = std::strtoull(text, nullptr, 10);
  return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(v);
}

// Opens `file` at `offset` and the movie in it by handle; none with *error set on failure.
Movie* OpenEmbedded(PlayerState* p, const char* file, uint32_t offset, const char* failText,
                    const char** error) {
  if (!p->Host->OpenFileAt(file, offset, &p->EmbedFile)) {
    *error = failText;
    return nullptr;
  }
  p->EmbedFileOpen = true;
  return MovieOpen(p->EmbedFile, p->Options->OpenFlags | OpenFromHandle);
}

// The last component of a name: after the last ":", "/" or "\".
const char* LastComponent(const char* name) {
  const char* last = name;
  for (const char* c = name; *c; ++c)
    if (*c == ':' || *c == '/' || *c == '\\') last = c + 1;
  return last;
}

Movie* OpenByName(PlayerState* p, const char* name, const char** error) {
  char path[CommandLineChars + 8];
  if (name[0] == ':') {
    p->Host->ProgramFileName(path, CommandLineChars);
    return OpenEmbedded(p, path, ParseOffset(name + 1), "Error opening EXE file.", error);
  }
  if (const char* bar = std::strchr(name, '|')) {
    std::snprintf(path, sizeof path, "%.*s", int(bar - name), name);
    return OpenEmbedded(p, path, ParseOffset(bar + 1), "Error opening file.", error);
  }
  const bool hasExtension = std::strchr(LastComponent(name), '.') != nullptr;
  std::snprintf(path, sizeof path, "%s%s", name, hasExtension ? "" : ".vxa");
  Movie* m = MovieOpen(path, p->Options->OpenFlags);
  if (m) {
    char title[CommandLineChars + 32];
    std::snprintf(title, sizeof title, "%s - %s", LastComponent(name), PlayerTitle);
    p->Host->SetWindowTitle(p->Window, title);
  }
  return m;
}

void ReportError(PlayerState* p, const char* text) {
  char copy[ErrorChars];
  std::snprintf(copy, sizeof copy, "%s", text);
  p->Host->ShowMessage("Vexa Error", copy, HostIconStop);
  p->Destroying = true;
  p->Host->DestroyMainWindow(p->Window);
}

// One side of the output size: a fraction of the movie's size, the screen's size (-1/1) or a
// scale factor (another negative fraction).
uint32_t OutputSide(int32_t num, uint32_t div, uint32_t movie, uint32_t screen) {
  if (num == 0 || div == 0) return movie;
  if (num > 0) return uint32_t(uint64_t(num) / div);
  if (num == -1 && div == 1) return screen;
  return uint32_t(std::min<uint64_t>(uint64_t(-int64_t(num)) * movie / div, 0xFFFFFFFFu));
}

uint32_t StretchBits(uint32_t out, uint32_t movie, uint32_t multiple, uint32_t divisor,
                     uint32_t up, uint32_t down) {
  if (out == movie || out == 0 || movie == 0) return 0;
  if (out % movie == 0) return multiple;
  if (movie % out == 0) return divisor;
  return out > movie ? up : down;
}

// The output size of the movie; sets the stretch bits, or the copy's doubling instead.
void OutputSize(PlayerState* p, Movie* m, uint32_t* outW, uint32_t* outH) {
  PlayOptions* o = p->Options;
  const uint32_t w = m->Width, h = m->Height, sw = o->ScreenWidth, sh = o->ScreenHeight;
  if (o->OutWidth == -1 && o->OutWidthDiv == 1 && o->OutHeight == -1 && o->OutHeightDiv == 1 &&
      w && h) {
    const uint64_t fitW = uint64_t(w) * sh / h;
    *outW = fitW <= sw ? uint32_t(fitW) : sw;
    *outH = fitW <= sw ? sh : uint32_t(uint64_t(h) * sw / w);
  } else {
    *outW = OutputSide(o->OutWidth, o->OutWidthDiv, w, sw);
    *outH = OutputSide(o->OutHeight, o->OutHeightDiv, h, sh);
  }
  // Stretch bits belong to one file: the previous file's must not carry over.
  o->SurfaceFlags &= ~StretchMask;
  o->SurfaceFlags |= StretchBits(*outW, w, StretchWidthMultiple, StretchWidthDivisor,
                                 StretchWidthUp, StretchWidthDown) |
                     StretchBits(*outH, h, StretchHeightMultiple, StretchHeightDivisor,
                                 StretchHeightUp, StretchHeightDown);
  if (m->OpenFlags & OpenScaleMask) return;
  uint32_t mode = 0;
  if (*outW == w && *outH == 2 * h) mode = 1;
  if (*outW == 2 * w && *outH == h) mode = 3;
  if (*outW == 2 * w && *outH == 2 * h) mode = 4;
  if (!mode) return;
  m->OpenFlags |= mode << OpenScaleShift;
  if (mode != 3) m->Height *= 2;
  if (mode != 1) m->Width *= 2;
  o->SurfaceFlags &= ~StretchMask;
}

Surface* OpenSurface(PlayerState* p, Movie* m) {
  Surface* s = SurfaceOpen(p->Window, m->Width, m->Height, p->Options->SurfaceFlags);
  if (p->PreviousSurface) {
    SurfaceClose(p->PreviousSurface);
    p->PreviousSurface = nullptr;
    if (!s) s = SurfaceOpen(p->Window, m->Width, m->Height, p->Options->SurfaceFlags);
  }
  return s;
}

int32_t AlignUp(int32_t x, uint32_t screenBits) {
  const int32_t step = screenBits == 32 ? 2 : screenBits == 24 ? 8 : 4;
  return x >= 0 ? (x + step - 1) / step * step : -(-x / step * step);
}

int32_t ClampToScreen(int32_t at, uint32_t size, uint32_t screen) {
  return int32_t(std::max<int64_t>(std::min<int64_t>(at, int64_t(screen) - size), 0));
}

// Centres or places the window and sets the picture's offset in the client area.
void PlaceForFile(PlayerState* p, const Surface* s) {
  PlayOptions* o = p->Options;
  const int32_t ww = int32_t(s->WindowWidth), wh = int32_t(s->WindowHeight);
  const int32_t sw = int32_t(s->ScreenWidth), sh = int32_t(s->ScreenHeight);
  int32_t x = o->WindowX, y = o->WindowY;
  if (x == CentreMarker) x = ww > sw ? -s->ClientOffsetX : (sw - ww) / 2 / 4 * 4;
  if (y == CentreMarker) y = wh > sh ? -s->ClientOffsetY : (sh - wh) / 2;
  if (!o->FillScreen) {
    o->WindowX = o->WindowY = 0;
    PlaceWindow(p, x, y, ww, wh);
    return;
  }
  int32_t px = x + s->ClientOffsetX, py = y + s->ClientOffsetY;
  if (s->ClampToScreen) {
    px = ClampToScreen(px, s->Width, s->ScreenWidth);
    py = ClampToScreen(py, s->Height, s->ScreenHeight);
  }
  o->WindowX = AlignUp(px, s->ScreenBits) - s->ClientOffsetX;
  o->WindowY = py - s->ClientOffsetY;
  PlaceWindow(p, -s->ClientOffsetX, -s->ClientOffsetY, int32_t(s->NonClientWidth) + sw,
              int32_t(s->NonClientHeight) + sh);
}

}  // namespace

int PlayFileStart(PlayerState* p, const char* name) {
  const PlayerHost* h = p->Host;
  PlayOptions* o = p->Options;
  SetPendingValues(o);
  if (OfferUpdateCheck(p, name)) return 0;  // the user chose to update: the program ends
  const char* error = nullptr;
  Movie* m = OpenByName(p, name, &error);
  if (!m) {
    ReportError(p, error ? error : MovieGetError());
    return 0;
  }
  p->CurrentMovie = m;
  AsyncDecodeStart(m);
  uint32_t outW = 0, outH = 0;
  OutputSize(p, m, &outW, &outH);
  if (o->FillScreen || o->ShowStats) p->BackgroundPending = false;
  Surface* s = OpenSurface(p, m);
  if (!s) {
    h->ShowMainWindow(p->Window, 0);
    ReportError(p, SurfaceGetError());
    return 0;
  }
  p->CurrentSurface = s;
  SurfaceSetDestSize(s, outW, outH);
  PlaceForFile(p, s);
  h->ShowMainWindow(p->Window, 1);
  p->HasFocus = h->HasFocus(p->Window) != 0;
  if (!h->IsMinimized(p->Window)) SurfaceMoved(s, o->WindowX, o->WindowY);
  const uint32_t mode = (m->OpenFlags & OpenScaleMask) >> OpenScaleShift;
  p->InterlacedBackground = mode == 2 || mode == 5 || mode == 6;
  if (p->InterlacedBackground) {
    p->BackgroundPending = false;
    const HostRect r{o->WindowX, o->WindowY, int32_t(s->DestWidth), int32_t(s->DestHeight)};
    h->InvalidateClient(p->Window, &r);
  }
  return 1;
}

void PlayerCloseMovie(PlayerState* p) {
  if (p->CurrentMovie) MovieClose(p->CurrentMovie);
  p->CurrentMovie = nullptr;
  if (p->EmbedFileOpen) p->Host->CloseFile(p->EmbedFile);
  p->EmbedFileOpen = false;
}

void PlayFileEnd(PlayerState* p) {
  PlayerCloseMovie(p);
  if (p->CurrentSurface) {
    if (p->PreviousSurface) SurfaceClose(p->PreviousSurface);
    p->PreviousSurface = p->CurrentSurface;
    p->CurrentSurface = nullptr;
  }
}

void PlayerCloseAll(PlayerState* p) {
  PlayFileEnd(p);
  if (p->PreviousSurface) SurfaceClose(p->PreviousSurface);
  p->PreviousSurface = nullptr;
}
