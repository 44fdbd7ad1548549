// MovieOpen: reads and checks the header and tables, allocates everything the movie needs in a
// few blocks, loads frame 1's packet, opens the chosen sound tracks and joins the service threads.
#include <cstring>

#include "core/movie_header.h"
#include "core/movie_internal.h"
#include "core/movie_pending.h"
#include "core/movie_planes.h"
#include "core/movie_service.h"
#include "io/read_ahead.h"
#include "platform/mem.h"
#include "video/bundles.h"
#include "video/video_decoder.h"

namespace {

const char* const kKeepOpenerError = "";

// Everything the open knows before the movie record exists.
struct OpenContext {
  Movie local;
  MovieHeader header;
  PendingOpenValues pending;  // the values this open took (all of them, used or not)
  const uint8_t* image;       // OpenFromMemory: the caller's file image
  uint64_t fileLength;        // bytes of the movie: the header's claim, within a known image size
  uint64_t available;         // bytes that really exist: the file's or image's length, when known
  uint32_t largestFrame;      // the largest stored frame, from the index scan
  bool streamOpen;
  Movie* movie;               // the allocated record, once it exists
  uint32_t simulatedSpeed;
};

uint32_t Saturate32(uint64_t n) { return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(n); }

// Ends a failed open: frees what exists, closes the stream and leaves the error text.
Movie* FailOpen(OpenContext* c, const char* error) {
  Movie* m = c->movie;
  StreamReader* r = m ? &m->Reader : &c->local.Reader;
  if (c->streamOpen && r->StreamClose) r->StreamClose(r);
  if (m) {
    if (m->OpenFlags & OpenPreload && !(m->OpenFlags & OpenFromMemory)) MemFree(m->Preloaded);
    MemFree(m->ReadBuffer);
    MemFree(m->PlanesBlock);
    std::memset(m, 0, sizeof(*m));
    MemFree(m);
  }
  if (error) MovieSetError(error);  // null: the stream opener's own text stands
  return nullptr;
}

// Opens the stream (unless the file is in memory) and reads the 44 header bytes.
const char* ReadHeader(OpenContext* c, const void* name, uint32_t flags) {
  uint8_t bytes[MOVIE_HEADER_BYTES];
  const PendingOpenValues* pending = &c->pending;
  if (flags & OpenFromMemory) {
    c->image = static_cast<const uint8_t*>(name);
    // A known image size (MOVIE_PENDING_NONE: unknown) must hold the header before it is read.
    if (!c->image || pending->ImageSize < MOVIE_HEADER_BYTES) return kMovieErrorNotVexa;
    std::memcpy(bytes, c->image, MOVIE_HEADER_BYTES);
  } else {
    StreamReader* r = &c->local.Reader;
    StreamOpener opener = (flags & OpenCustomStream) && pending->StreamOpen ? pending->StreamOpen
                                                                            : StreamOpenFile;
    if (!opener(r, name, flags)) {
      if (!MovieHasError()) MovieSetError(kMovieErrorOpeningFile);
      return kKeepOpenerError;
    }
    c->streamOpen = true;
    if (r->StreamReadAt(r, 0, bytes, MOVIE_HEADER_BYTES) != MOVIE_HEADER_BYTES)
      return kMovieErrorNotVexa;
  }
  MovieParseHeader(bytes, &c->header);
  return MovieCheckHeader(&c->header);
}

uint32_t EffectiveFlags(const MovieHeader* h, uint32_t callerFlags) {
  uint32_t flags = callerFlags & ~(OpenScaleMask | MovieFlagPreI | MovieFlagSwapUV);
  if (!(h->VideoFlags & VideoFlagAlpha)) flags &= ~OpenAlpha;
  flags |= h->VideoFlags & VideoFlagGrayscale;
  uint32_t scale = callerFlags & OpenScaleMask;
  if (!scale) scale = h->VideoFlags & VideoFlagScaleMask;
  return flags | scale | MovieVersionFlags(h->Version);
}

// Sizes, flags and rates from the header and the pending values.
void ApplyHeader(OpenContext* c, uint32_t callerFlags) {
  const MovieHeader* h = &c->header;
  Movie* m = &c->local;
  const PendingOpenValues* pending = &c->pending;
  m->OpenFlags = EffectiveFlags(h, callerFlags);
  uint32_t scale = (m->OpenFlags & OpenScaleMask) >> OpenScaleShift;
  m->FileWidth = h->Width;
  m->FileHeight = h->Height;
  m->Width = h->Width * (scale == 3 || scale == 4 || scale == 5 ? 2 : 1);
  m->Height = h->Height * (scale >= 1 && scale <= 5 && scale != 3 ? 2 : 1);
  m->BlocksPerRow = ((h->Width + 15) / 16 + 15) & ~15u;
  m->ChangeMapBytes = ((m->Height + 15) / 16) * m->BlocksPerRow;
  m->FileFrameRate = m->FrameRate = h->FrameRate;
  m->FileFrameRateDiv = m->FrameRateDiv = h->FrameRateDiv;
  if ((callerFlags & OpenFrameRate) && pending->FrameRate != MOVIE_PENDING_NONE) {
    m->FrameRate = pending->FrameRate;
    m->FrameRateDiv = pending->FrameRateDiv;
  }
  m->Frames = h->Frames;
  m->LargestFrameSize = h->LargestFrameSize;
  m->IndexEntries = h->IndexEntries;
  m->NumTracks = h->NumTracks;
  m->VideoFlags = h->VideoFlags;
  m->FileSizeLess8 = h->FileSizeLess8;
  // The rings hold at most kMaxWindowFrames entries: above that many frames per second the
  // running statistics cover the last kMaxWindowFrames - 1 frames, less than a second.
  const uint32_t fps = MovieRoundedFps(h->FrameRate, h->FrameRateDiv);
  m->WindowFrames = fps < kMaxWindowFrames ? fps : kMaxWindowFrames;
  VideoBundleBufferSizes(h->Width, m->DecodeScratchSizes);
  c->fileLength = uint64_t(h->FileSizeLess8) + 8;
  if ((callerFlags & OpenFromMemory) && pending->ImageSize != MOVIE_PENDING_NONE &&
      pending->ImageSize < c->fileLength)
    c->fileLength = pending->ImageSize;
  // A file's real length (0: the stream cannot tell) bounds every block sized from the header.
  const uint32_t real = (callerFlags & OpenFromMemory) ? 0 : m->Reader.FileLength;
  c->available = real && real < c->fileLength ? real : c->fileLength;
}

// The tables must exist before the blocks that hold them are made.
const char* CheckTablesExist(const OpenContext* c) {
  const MovieHeader* h = &c->header;
  return MOVIE_HEADER_BYTES + MovieTablesBytes(h->NumTracks, h->IndexEntries) > c->available
             ? kMovieErrorReadingHeader
             : nullptr;
}

// Plans the record's sub-blocks and allocates it.
int AllocateRecord(OpenContext* c) {
  Movie* m = &c->local;
  uint32_t trackSlots = c->pending.TrackCount;
  uint32_t ring = m->WindowFrames * 4;
  uint32_t** rings[] = {&m->RingTime,       &m->RingAudio, &m->RingVideo,     &m->RingBlit,
                        &m->RingForeground, &m->RingIdle,  &m->RingBackground};
  for (uint32_t** slot : rings) MemPlanFor(slot, ring);
  MemPlanFor(&m->Tracks, (trackSlots ? trackSlots : 1) * uint32_t(sizeof(AudioTrack)));
  MemPlanFor(&m->TrackIndices, trackSlots * 4);
  if (!(m->OpenFlags & OpenFromMemory) || reinterpret_cast<uintptr_t>(c->image) % 4) {
    MemPlanFor(const_cast<uint32_t**>(&m->FrameIndex), (m->IndexEntries + 1) * 4);
    MemPlanFor(const_cast<uint32_t**>(&m->TrackMaxBytes), m->NumTracks * 4);
    MemPlanFor(const_cast<uint32_t**>(&m->TrackFormats), m->NumTracks * 4);
    MemPlanFor(const_cast<uint32_t**>(&m->TrackIds), m->NumTracks * 4);
  }
  m->TotalMemory = uint32_t(sizeof(Movie)) + MemPlannedBytes();
  Movie* movie = static_cast<Movie*>(MemAlloc(sizeof(Movie)));
  if (!movie) return 0;
  std::memcpy(movie, m, sizeof(Movie));
  movie->Reader.Owner = movie;
  c->movie = movie;
  return 1;
}

// Reads (or, for an aligned memory image, points at) the three track tables and the index.
const char* LoadTables(OpenContext* c) {
  Movie* m = c->movie;
  const uint32_t n = m->NumTracks;
  const uint32_t indexBytes = (m->IndexEntries + 1) * 4;
  if (m->OpenFlags & OpenFromMemory) {
    const uint8_t* t = c->image + MOVIE_HEADER_BYTES;
    if (reinterpret_cast<uintptr_t>(c->image) % 4 == 0) {
      m->TrackMaxBytes = reinterpret_cast<const uint32_t*>(t);
      m->TrackFormats = m->TrackMaxBytes + n;
      m->TrackIds = m->TrackFormats + n;
      m->FrameIndex = m->TrackIds + n;
    } else {  // unaligned image: the tables are copied so they can be read as words
      std::memcpy(const_cast<uint32_t*>(m->TrackMaxBytes), t, n * 4);
      std::memcpy(const_cast<uint32_t*>(m->TrackFormats), t + n * 4, n * 4);
      std::memcpy(const_cast<uint32_t*>(m->TrackIds), t + n * 8, n * 4);
      std::memcpy(const_cast<uint32_t*>(m->FrameIndex), t + n * 12, indexBytes);
    }
    return nullptr;
  }
  StreamReader* r = &m->Reader;
  uint32_t* tables[] = {const_cast<uint32_t*>(m->TrackMaxBytes),
                        const_cast<uint32_t*>(m->TrackFormats), const_cast<uint32_t*>(m->TrackIds)};
  bool ok = true;
  for (uint32_t* table : tables) ok &= r->StreamReadAt(r, STREAM_CONTINUE, table, n * 4) == n * 4;
  ok &= r->StreamReadAt(r, STREAM_CONTINUE, const_cast<uint32_t*>(m->FrameIndex), indexBytes) ==
        indexBytes;
  return ok && !r->ReadError ? nullptr : kMovieErrorReadingHeader;
}

const char* ScanIndex(OpenContext* c) {
  Movie* m = c->movie;
  FrameIndexScan scan;
  // The peak second is measured over the whole second, also where the statistics window is capped.
  const uint32_t window = MovieRoundedFps(m->FileFrameRate, m->FileFrameRateDiv);
  if (!MovieScanFrameIndex(m->FrameIndex, m->Frames, window, c->fileLength, m->LargestFrameSize,
                           &scan))
    return kMovieErrorBadFrameSizes;
  c->largestFrame = scan.LargestFrameBytes;
  m->PeakSecondBytes = scan.PeakSecondBytes;
  m->PeakSecondFrame = scan.PeakSecondFrame;
  m->AllKeyFrames = scan.AllKeyFrames;
  return nullptr;
}

// One block holds the VideoPlanes record, every wanted plane and the decoders' scratch areas.
const char* AllocatePlanes(OpenContext* c) {
  Movie* m = c->movie;
  if (m->OpenFlags & OpenNoFrameBuffers) return nullptr;
  VideoPlanes desc;
  MovieDescribePlanes(&desc, m->FileWidth, m->FileHeight, m->Frames, m->OpenFlags);
  int wanted = 0;
  for (uint32_t s = 0; s < desc.SetCount; ++s)
    for (int p = 0; p < 4; ++p)
      if (desc.Sets[s][p].Wanted) {
        MemPlanFor(&desc.Sets[s][p].Pixels, MoviePlaneBytes(&desc, p));
        ++wanted;
      }
  if (!wanted) return nullptr;
  // One scratch area per decode half: the two halves of a split decode run at the same time.
  uint64_t scratch = VideoScratchBytes(m->DecodeScratchSizes);
  if (scratch > 0x7FFFFFFFu) return kMovieErrorOutOfMemory;
  for (void*& area : m->DecodeScratch) MemPlan(&area, uint32_t(scratch));
  MemPlanFor(&m->ChangeMapHalf, m->ChangeMapBytes);
  uint32_t bytes = uint32_t(sizeof(VideoPlanes)) + MemPlannedBytes();
  void* block = MemAlloc(sizeof(VideoPlanes));
  if (!block) return kMovieErrorOutOfMemory;
  std::memcpy(block, &desc, sizeof(desc));
  m->Planes = static_cast<VideoPlanes*>(block);
  m->PlanesBlock = block;
  m->TotalMemory += bytes;
  return nullptr;
}

// Holds all frame data in memory (asked for, forced, or an image) or sets up the read-ahead ring.
const char* SetUpFrameData(OpenContext* c, uint32_t wantedBuffer) {
  Movie* m = c->movie;
  StreamReader* r = &m->Reader;
  const uint32_t firstFrame = m->FrameIndex[0] & ~1u;
  // The frame data that really exists, from the first frame to the end of the file or image.
  const uint64_t held = c->available > firstFrame ? c->available - firstFrame : 0;
  m->FrameDataBytes = Saturate32(held);
  if (m->OpenFlags & OpenFromMemory) {
    m->Preloaded = const_cast<uint8_t*>(c->image) + firstFrame;
    return nullptr;
  }
  const uint32_t fileLength = Saturate32(c->available);
  if (wantedBuffer > 0xFFF00000u) wantedBuffer = 0xFFF00000u;  // the ring size must stay 32-bit
  m->ReadBufferSize = r->StreamBufferSize(r, wantedBuffer);
  if (m->ReadBufferSize >= (m->FileSizeLess8 / 10) * 9) m->OpenFlags |= OpenPreload;
  if (m->OpenFlags & OpenPreload) {
    const uint64_t n = held;
    if (n + MOVIE_FRAME_PADDING > 0xFFFFFF00u) return kMovieErrorOutOfMemory;
    m->Preloaded = static_cast<uint8_t*>(MemAlloc(uint32_t(n) + MOVIE_FRAME_PADDING));
    if (!m->Preloaded) return kMovieErrorOutOfMemory;
    m->TotalMemory += uint32_t(n) + MOVIE_FRAME_PADDING;
    m->ReadBufferSize = 0;
    r->StreamSetBuffer(r, nullptr, 0, fileLength, c->simulatedSpeed);
    r->StreamReadFrame(r, 0, firstFrame, m->Preloaded, uint32_t(n));
    r->StreamClose(r);
    c->streamOpen = false;
    r->ForegroundTime = 0;
    return nullptr;
  }
  // The ring never needs more than the frame data; the frame buffer holds the largest stored
  // frame, or as much of it as the file really has.
  if (wantedBuffer > held) m->ReadBufferSize = r->StreamBufferSize(r, uint32_t(held));
  const uint64_t frameRoom = c->largestFrame < held ? c->largestFrame : held;
  if (frameRoom + MOVIE_FRAME_PADDING > 0xFFFFFF00u) return kMovieErrorOutOfMemory;
  m->FrameDataBytes = uint32_t(frameRoom);
  MemPlanFor(&m->FramePtr, uint32_t(frameRoom) + MOVIE_FRAME_PADDING);
  uint32_t bytes = m->ReadBufferSize + MemPlannedBytes();
  m->ReadBuffer = static_cast<uint8_t*>(MemAlloc(m->ReadBufferSize));
  if (!m->ReadBuffer) return kMovieErrorOutOfMemory;
  m->TotalMemory += bytes;
  r->StreamSetBuffer(r, m->ReadBuffer, m->ReadBufferSize, fileLength, c->simulatedSpeed);
  return nullptr;
}

// The read-buffer size and simulated speed, from the pending values when asked for.
uint32_t TakeReadSettings(OpenContext* c, uint32_t callerFlags) {
  const PendingOpenValues* pending = &c->pending;
  uint32_t wanted = c->movie->PeakSecondBytes;
  if ((callerFlags & OpenIoBufferSize) && pending->IoBufferSize != MOVIE_PENDING_NONE)
    wanted = pending->IoBufferSize;
  c->simulatedSpeed = 0;
  if ((callerFlags & OpenSimulateSpeed) && pending->SimulatedSpeed != MOVIE_PENDING_NONE)
    c->simulatedSpeed = pending->SimulatedSpeed;
  return wanted;
}

// Fills the read-ahead ring before the first frame is asked for.
void FillReadBuffer(Movie* m) {
  StreamReader* r = &m->Reader;
  while (r->StreamFill(r, 0) != 0) {
  }
}

}  // namespace

Movie* MovieOpen(const void* name, uint32_t openFlags) {
  if (!(openFlags & OpenTrackList)) MovieResetPendingTrackList();
  OpenContext c{};
  // Every open takes all pending values, failed or not: none is left over for the next one.
  MovieTakePending(&c.pending);
  const uint32_t start = MovieTimerMs();
  MovieClearError();

  const char* error = ReadHeader(&c, name, openFlags);
  if (error) return FailOpen(&c, error == kKeepOpenerError ? nullptr : error);
  ApplyHeader(&c, openFlags);
  if ((error = CheckTablesExist(&c))) return FailOpen(&c, error);
  if (!AllocateRecord(&c)) return FailOpen(&c, kMovieErrorOutOfMemory);
  Movie* m = c.movie;
  if ((error = LoadTables(&c)) || (error = ScanIndex(&c)) || (error = AllocatePlanes(&c)) ||
      (error = SetUpFrameData(&c, TakeReadSettings(&c, openFlags))))
    return FailOpen(&c, error);

  m->FrameNum = 0xFFFFFFFFu;
  m->SlackMs = m->FrameRate ? Saturate32(uint64_t(m->FrameRateDiv) * 2000 / m->FrameRate) : 2000;
  MovieLoadFramePacket(m, 1);
  m->OpenTime = MovieTimerMs() - start;
  m->Tracks[0].SpeedFactor = 0x10000;

  MovieSelectTracks(m, c.pending.TrackIds, c.pending.TrackCount);
  MovieOpenTracks(m);
  if (!(m->OpenFlags & OpenNoIoThread) && !m->Preloaded) MovieJoinIoService(m);
  else StreamInstallLocks(&m->Reader);
  if (!m->Preloaded && !(m->OpenFlags & OpenNoFillIo)) FillReadBuffer(m);
  return m;
}
