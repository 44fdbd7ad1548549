// One file of the list: the pending open values, opening the movie by its name form, the output
// size and stretch bits, the surface and the window's place; and closing it all again.
#include <cstdio>

#include "player/decode_workers.h"
#include "player/file_names.h"
#include "player/main_loop.h"
#include "player/output_layout.h"
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

// Opens `file` at `offset` and the movie in it by handle; none with *error set on failure. The
// host seeks with a 32-bit offset: a larger one cannot be reached and fails like the open.
Movie* OpenEmbedded(PlayerState* p, const char* file, uint64_t offset, const char* failText,
                    const char** error) {
  if (offset > UINT32_MAX || !p->Host->OpenFileAt(file, uint32_t(offset), &p->EmbedFile)) {
    *error = failText;
    return nullptr;
  }
  p->EmbedFileOpen = true;
  return MovieOpen(p->EmbedFile, p->Options->OpenFlags | OpenFromHandle);
}

// Opens the movie by its name form; a ":" or "|" name whose offset does not parse fails with
// the text of its file's open error.
Movie* OpenByName(PlayerState* p, const char* name, const char** error) {
  MovieName split;
  const int parsed = SplitMovieName(name, &split);
  if (split.Kind != MovieNamePlain) {
    const bool ownProgram = split.Kind == MovieNameOwnProgram;
    const char* failText = ownProgram ? "Error opening EXE file." : "Error opening file.";
    char program[FileNameChars];
    if (ownProgram) p->Host->ProgramFileName(program, sizeof program);
    if (!parsed) {
      *error = failText;
      return nullptr;
    }
    return OpenEmbedded(p, ownProgram ? program : split.Path, split.Offset, failText, error);
  }
  Movie* m = MovieOpen(split.Path, p->Options->OpenFlags);
  if (m) {
    char title[WindowTitleChars];
    MakeWindowTitle(name, title, sizeof title);
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

// The output size of the movie; sets this file's stretch bits, or the copy's doubling instead.
void OutputSize(PlayerState* p, Movie* m, uint32_t* outW, uint32_t* outH) {
  PlayOptions* o = p->Options;
  const OutputRequest request{m->Width, m->Height, (m->OpenFlags & OpenScaleMask) >> OpenScaleShift,
                              o->OutWidth, o->OutWidthDiv, o->OutHeight, o->OutHeightDiv,
                              o->ScreenWidth, o->ScreenHeight, o->SurfaceFlags};
  OutputLayout layout;
  ComputeOutputLayout(&request, &layout);
  *outW = layout.Width;
  *outH = layout.Height;
  o->SurfaceFlags = layout.SurfaceFlags;
  m->OpenFlags |= layout.ScaleMode << OpenScaleShift;
  m->Width = layout.MovieWidth;
  m->Height = layout.MovieHeight;
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

// Centres or places the window and sets the picture's offset in the client area.
void PlaceForFile(PlayerState* p, const Surface* s) {
  PlayOptions* o = p->Options;
  const PlacementRequest request{o->WindowX, o->WindowY, s->WindowWidth, s->WindowHeight,
                                 s->ClientOffsetX, s->ClientOffsetY, s->NonClientWidth,
                                 s->NonClientHeight, s->Width, s->Height, s->ScreenWidth,
                                 s->ScreenHeight, (s->ScreenBits + 7) / 8, s->ClampToScreen != 0,
                                 o->FillScreen != 0};
  WindowPlacement place;
  ComputeWindowPlacement(&request, &place);
  o->WindowX = place.MovieX;
  o->WindowY = place.MovieY;
  PlaceWindow(p, place.X, place.Y, int32_t(place.Width), int32_t(place.Height));
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
