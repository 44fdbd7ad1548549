// The fuzz targets' work: open what the input describes, decode all of it through the public
// calls (and the decoders' own entry points), and check what must hold whatever the input.
#include "fuzz/fuzz_entries.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/audio_decoder.h"
#include "platform/mem.h"
#include "video/bundles.h"
#include "video/plane_decoder.h"
#include "vexa/copy.h"
#include "vexa/movie.h"
#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif
#if __has_include("vexa/sound.h")
#include "vexa/sound.h"
#define VEXA_FUZZ_HAVE_WAV 1
#endif

namespace {

// A broken invariant is a finding: stop the way a sanitizer report does.
#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Chooses options from the input without taking bytes away from the movie: a hash of its start
// and its length, so that seeds stay plain movie files.
uint32_t InputSelector(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u ^ uint32_t(size);
  for (size_t i = 0; i < size && i < 64; ++i) h = (h ^ data[i]) * 16777619u;
  return h ^ (h >> 15);
}

// Refuses any one library block above the cap (the library then reports "Out of memory."); smaller
// blocks come from the library's own heap. In the uncapped mode (VEXA_FUZZ_UNCAPPED not empty) nothing
// is refused: a block larger than the input can justify is a finding, so that a size claim the
// data cannot fill is caught instead of hidden behind the cap.
const bool gUncapped = [] {
  const char* mode = std::getenv("VEXA_FUZZ_UNCAPPED");
  return mode && *mode;
}();
uint64_t gInputBytes = 0;
void* CappedAlloc(uint32_t bytes) {
  if (gUncapped) {
    FUZZ_CHECK(bytes <= kFuzzUncappedFloor + kFuzzUncappedPerByte * gInputBytes);
    return nullptr;
  }
  return bytes > kFuzzMaxBlock ? reinterpret_cast<void*>(~uintptr_t(0)) : nullptr;
}
void CappedFree(void*) {}

// What a movie target accepts: a header whose picture fits the pixel cap (a picture's planes are
// sized by its dimensions, which the data need not fill). Everything else goes to the library.
bool MovieWithinCaps(const uint8_t* data, size_t size) {
  gInputBytes = size;  // what the uncapped mode holds each block against
  if (size < MOVIE_HEADER_BYTES) return true;  // the open refuses it without allocating
  const uint64_t width = Le32(data + 20), height = Le32(data + 24);
  return width * height <= kFuzzMaxPixels;
}

// Bytes per displayed pixel of a surface type (planar: of the luma plane; the two chroma planes
// add half as much again).
uint32_t SurfaceBytes(uint32_t type) {
  static const uint8_t kBytes[SurfaceTypeCount] = {1, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2, 1};
  return kBytes[type & 15];
}

// Copies the current picture into a buffer that fits the copy exactly, so that a write past it
// is reported; the surface type, scaling, pitch direction and copied area turn with `turn`.
void CopyFrame(Movie* m, uint32_t turn) {
  const uint32_t type = turn % SurfaceTypeCount;
  const uint32_t scale = (turn / 3) % 8;
  uint32_t flags = type | (scale << CopyScaleShift);
  if (turn & 0x10) flags |= CopyAll;
  if (turn & 0x20) flags |= CopySwapAlpha;
  // Scaling doubles at most each direction and the copy clips to the picture it shows: one copy
  // in eight asks for all of that, the others (converting a pixel costs the most here) for the
  // movie's displayed size or a part of it.
  uint32_t width = m->Width + 1, height = m->Height + 1;
  if ((turn & 0x1C00) == 0) {
    width = m->Width * 2 + 1;
    height = m->Height * 2 + 1;
  } else if (turn & 0x40) {
    width = width / 2 + 3;
    height = height / 3 + 1;
  }
  const uint32_t rowBytes = width * SurfaceBytes(type) + (turn & 0x80 ? 7 : 0);
  const size_t bytes = size_t(rowBytes) * height * (type == SurfacePlanar ? 3 : 2) / 2;
  if (bytes == 0 || bytes > (64u << 20)) return;
  std::unique_ptr<uint8_t[]> surface(new uint8_t[bytes]);
  const bool upwards = (turn & 0x100) != 0;
  const int32_t pitch = upwards ? -int32_t(rowBytes) : int32_t(rowBytes);
  const uint32_t late =
      MovieCopyToSurface(m, surface.get(), pitch, height, 0, 0, 0, 0, width, height, flags);
  FUZZ_CHECK(late <= 1);
  // A pitch shorter than a row of the picture is refused, and nothing is written.
  if (m->Width > 1 && m->Planes) {
    std::memset(surface.get(), 0xA5, bytes);
    const uint32_t refused = MovieCopyToSurface(m, surface.get(), 1, height, 0, 0, 0, 0, width,
                                                height, (flags & ~15u) | SurfaceRGBX32);
    FUZZ_CHECK(refused == 0);
    // Rows one byte apart would cover this much; the rest of the buffer is past any row.
    const size_t reach = std::min(bytes, size_t(height) + rowBytes);
    for (size_t i = 0; i < reach; ++i) FUZZ_CHECK(surface[i] == 0xA5);
  }
}

// Steps through the frames: begin, decode (whole, or split in luma and the rest), end, copy,
// next. The copy runs under OpenNeverSkip so that the clock never drops one.
void PlayMovie(Movie* m, uint32_t selector) {
  FUZZ_CHECK(m->Frames > 0);
  uint32_t frames = m->Frames < kFuzzMaxFrames ? m->Frames : kFuzzMaxFrames;
  for (uint32_t k = 0; k < frames; ++k) {
    const uint32_t turn = selector + k * 0x9E3779B9u;
    const uint32_t frameNum = m->FrameNum;
    FUZZ_CHECK(frameNum >= 1 && frameNum <= m->Frames);
    if (!MovieFrameBegin(m, MovieTimerMs())) break;
    if (turn & 0x10000) {  // a bit the copy does not use
      MovieDecodeFrame(m, DecodeLuma);
      MovieDecodeFrame(m, DecodeSoundAndRest);
    } else {
      MovieDecodeFrame(m, DecodeAll);
    }
    MovieFrameEnd(m, MovieTimerMs());
    FUZZ_CHECK(m->ChangedPercent <= 100);
    FUZZ_CHECK(m->NumRects <= 8);
    if (m->Planes) FUZZ_CHECK(m->Planes->Current <= 1);
    CopyFrame(m, turn >> 3);
    MovieWait(m);  // reads ahead when it is not yet time, as a player's loop would
    MovieNextFrame(m);
  }
  PlaybackSummary summary;
  MovieGetSummary(m, &summary);
  RealtimeStats stats;
  MovieGetRealtimeStats(m, &stats);
}

// Open flags the input selects: alpha, grey scale, an open-time scaling mode, no frame buffers.
uint32_t MovieFlags(uint32_t selector) {
  uint32_t flags = OpenNeverSkip | OpenNoIoThread;
  if (selector & 1) flags |= OpenAlpha;
  if ((selector & 0x6) == 0x6) flags |= OpenGrayscale;
  if ((selector & 0x18) == 0x18) flags |= ((selector >> 5) & 7u) << OpenScaleShift;
  if ((selector & 0x3F00) == 0x3F00) flags |= OpenNoFrameBuffers;
  return flags;
}

// Opens and plays a movie; the open either succeeds or leaves an error text.
void OpenAndPlay(const void* name, uint32_t flags, uint32_t selector) {
  MovieSetAllocator(CappedAlloc, CappedFree);
  Movie* m = MovieOpen(name, flags);
  if (!m) {
    FUZZ_CHECK(MovieGetError()[0] != '\0');
  } else {
    PlayMovie(m, selector);
    MovieClose(m);
  }
  MovieSetAllocator(nullptr, nullptr);
}

// ---- The custom stream: the input served by a reader of our own ----

struct FuzzStream {
  const uint8_t* Data;
  uint32_t Size;
  uint32_t ShortFrom;  // reads that reach past this offset deliver only up to it
};
FuzzStream gStream;

uint32_t StreamCopy(StreamReader* r, uint32_t offset, void* dest, uint32_t size) {
  if (offset != STREAM_CONTINUE) r->FilePos = offset;
  const uint32_t limit = gStream.ShortFrom < gStream.Size ? gStream.ShortFrom : gStream.Size;
  const uint32_t left = r->FilePos < limit ? limit - r->FilePos : 0;
  const uint32_t n = size < left ? size : left;
  if (n) std::memcpy(dest, gStream.Data + r->FilePos, n);
  r->FilePos += n;
  r->BytesRead += n;
  if (n < size) r->ReadError = 1;
  return n;
}
uint32_t StreamFrame(StreamReader* r, uint32_t, uint32_t offset, void* dest, uint32_t size) {
  return StreamCopy(r, offset, dest, size);
}
uint32_t StreamNoBuffer(StreamReader*, uint32_t) { return 0; }
void StreamSetNoBuffer(StreamReader*, void*, uint32_t, uint32_t, uint32_t) {}
uint32_t StreamNoFill(StreamReader*, uint32_t) { return 0; }
void StreamNoClose(StreamReader*) {}
uint32_t StreamNoBackground(StreamReader*, uint32_t) { return 0; }

int FuzzStreamOpen(StreamReader* r, const void*, uint32_t) {
  std::memset(r, 0, sizeof(*r));
  r->StreamReadAt = StreamCopy;
  r->StreamReadFrame = StreamFrame;
  r->StreamBufferSize = StreamNoBuffer;
  r->StreamSetBuffer = StreamSetNoBuffer;
  r->StreamFill = StreamNoFill;
  r->StreamClose = StreamNoClose;
  r->StreamBackground = StreamNoBackground;
  r->FileLength = gStream.Size;
  return 1;
}

#ifdef VEXA_FUZZ_HAVE_WAV
// ---- The WAV back end writing into memory ----

constexpr uint32_t kWavCapacity = 256u << 10;
constexpr uint32_t kWavMaxSinks = 260;

struct WavSinks {
  WavMemory Memory[kWavMaxSinks];
  std::unique_ptr<uint8_t[]> Buffers[kWavMaxSinks];
  uint32_t Count;
};

int ChooseMemorySink(void* user, Movie*, uint32_t, WavSink* sink) {
  WavSinks* sinks = static_cast<WavSinks*>(user);
  if (sinks->Count == kWavMaxSinks) return 0;
  const uint32_t k = sinks->Count++;
  sinks->Buffers[k].reset(new uint8_t[kWavCapacity]);
  sinks->Memory[k] = WavMemory{};
  sinks->Memory[k].Data = sinks->Buffers[k].get();
  sinks->Memory[k].Capacity = kWavCapacity;
  WavMemorySink(&sinks->Memory[k], sink);
  return 1;
}

// Every sink was closed once; a complete file's header matches what was written.
void CheckWavFiles(const WavSinks* sinks) {
  for (uint32_t k = 0; k < sinks->Count; ++k) {
    const WavMemory* w = &sinks->Memory[k];
    FUZZ_CHECK(w->Closes == 1);
    FUZZ_CHECK(w->Size <= w->Capacity);
    if (!w->Complete) continue;
    FUZZ_CHECK(w->Size >= 44);
    FUZZ_CHECK(std::memcmp(w->Data, "RIFF", 4) == 0 && std::memcmp(w->Data + 8, "WAVE", 4) == 0);
    FUZZ_CHECK(Le32(w->Data + 4) == w->Size - 8);
    // An odd count of data bytes is followed by a pad byte: chunks end on even offsets.
    const uint32_t dataBytes = Le32(w->Data + 40);
    FUZZ_CHECK(uint64_t(dataBytes) + (dataBytes & 1) == w->Size - 44);
  }
}
#endif

}  // namespace

void FuzzMovieMemory(const uint8_t* data, size_t size) {
  if (size < MOVIE_HEADER_BYTES || size > 0xFFFFFFFFu || !MovieWithinCaps(data, size)) return;
  const uint32_t selector = InputSelector(data, size);
  // The image in an allocation of its own size (a read past it is reported), at an odd address
  // half of the time: the open copies the tables of an unaligned image.
  const size_t misalign = selector & 0x80000 ? 1 : 0;
  std::unique_ptr<uint8_t[]> image(new uint8_t[size + misalign]);
  std::memcpy(image.get() + misalign, data, size);
  MovieSetPendingImageSize(uint32_t(size));
  OpenAndPlay(image.get() + misalign, MovieFlags(selector) | OpenFromMemory, selector);
}

#ifdef __linux__
// The built-in file reader and its read-ahead ring, over an in-memory file whose handle stands a
// few bytes into it (the handle's position is the movie's offset 0).
void PlayFromFileHandle(const uint8_t* data, size_t size, uint32_t selector) {
  const int fd = memfd_create("vexa-fuzz", 0);
  if (fd < 0) return;
  const size_t lead = selector % 5;
  const uint8_t junk[4] = {'V', 'X', 'A', 'i'};
  bool written = write(fd, junk, lead) == ssize_t(lead);
  for (size_t done = 0; written && done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    written = n > 0;
    done += written ? size_t(n) : 0;
  }
  if (written && lseek(fd, off_t(lead), SEEK_SET) == off_t(lead)) {
    uint32_t flags = MovieFlags(selector) | OpenFromHandle;
    if (selector & 0x200000) flags |= OpenNoFillIo;
    if (selector & 0x400000) {
      MovieSetPendingIoBufferSize(STREAM_MIN_BUFFER);  // the smallest ring: frames wrap in it
      flags |= OpenIoBufferSize;
    }
    OpenAndPlay(reinterpret_cast<const void*>(intptr_t(fd)), flags, selector);
  }
  close(fd);
}
#endif

void FuzzMovieStream(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu || !MovieWithinCaps(data, size)) return;
  const uint32_t selector = InputSelector(data, size);
#ifdef __linux__
  if (selector & 0x100000) {
    PlayFromFileHandle(data, size, selector);
    return;
  }
#endif
  gStream.Data = data;
  gStream.Size = uint32_t(size);
  // A quarter of the inputs are cut short at a point: the reader then reports a read error.
  gStream.ShortFrom = (selector & 0x30000) == 0x30000 ? uint32_t(selector % (size + 1)) : 0xFFFFFFFFu;
  uint32_t flags = MovieFlags(selector) | OpenCustomStream | OpenNoFillIo;
  if (selector & 0x40000) flags |= OpenPreload;
  MovieSetPendingStreamOpener(FuzzStreamOpen);
  OpenAndPlay("fuzz input", flags, selector);
  MovieSetPendingStreamOpener(nullptr);
}

void FuzzMovieSound(const uint8_t* data, size_t size) {
#ifdef VEXA_FUZZ_HAVE_WAV
  if (size < MOVIE_HEADER_BYTES || size > 0xFFFFFFFFu || !MovieWithinCaps(data, size)) return;
  const uint32_t selector = InputSelector(data, size);
  std::unique_ptr<WavSinks> sinks(new WavSinks{});
  WavSetSinkChooser(ChooseMemorySink, sinks.get());
  FUZZ_CHECK(SoundSelect(SoundUseWav) == 1);
  std::unique_ptr<uint8_t[]> image(new uint8_t[size]);
  std::memcpy(image.get(), data, size);
  MovieSetPendingImageSize(uint32_t(size));
  // Every track of the table is asked for (the first ones twice when the selector says so), and
  // an identifier no track has.
  uint32_t ids[MOVIE_MAX_TRACKS + 8];
  uint32_t count = 0;
  const uint32_t tracks = Le32(data + 40);
  for (uint32_t i = 0; i < tracks && i < MOVIE_MAX_TRACKS; ++i) {
    const size_t at = MOVIE_HEADER_BYTES + size_t(tracks) * 8 + size_t(i) * 4;
    if (at + 4 > size) break;
    ids[count++] = Le32(data + at);
  }
  for (uint32_t i = 0; i < (selector >> 4) % 4 && i < tracks && count < MOVIE_MAX_TRACKS + 7; ++i)
    ids[count++] = ids[i];
  ids[count++] = 0xFFFFFFF0u;
  MovieSetPendingTrackList(ids, count);
  // Sound wants the picture too little to matter here: no frame buffers half of the time.
  uint32_t flags = OpenNeverSkip | OpenNoIoThread | OpenFromMemory | OpenTrackList;
  if (selector & 1) flags |= OpenNoFrameBuffers;
  MovieSetAllocator(CappedAlloc, CappedFree);
  Movie* m = MovieOpen(image.get(), flags);
  if (!m) {
    FUZZ_CHECK(MovieGetError()[0] != '\0');
  } else {
    uint32_t frames = m->Frames < kFuzzMaxFrames ? m->Frames : kFuzzMaxFrames;
    for (uint32_t k = 0; k < frames; ++k) {
      if (!MovieFrameBegin(m, MovieTimerMs())) break;
      MovieDecodeFrame(m, (selector >> (k % 16)) & 2 ? DecodeAll : DecodeSoundAndRest);
      MovieFrameEnd(m, MovieTimerMs());
      if (k == 3 && (selector & 4)) MovieSoundOnOff(m, 0);
      if (k == 5 && (selector & 4)) MovieSoundOnOff(m, 1);
      if (k == 7 && (selector & 8)) MoviePause(m, 1);
      if (k == 8 && (selector & 8)) MoviePause(m, 0);
      MovieWait(m);
      MovieNextFrame(m);
    }
    MovieClose(m);
  }
  MovieSetAllocator(nullptr, nullptr);
  SoundSelect(nullptr);
  WavSetSinkChooser(nullptr, nullptr);
  CheckWavFiles(sinks.get());
#else
  (void)data;
  (void)size;
#endif
}

void FuzzPlane(const uint8_t* data, size_t size) {
  if (size < 6) return;
  // Bytes 0-1: width in blocks, 2: height in blocks, 3: extra pitch, 4: flags, 5: stream start.
  const uint32_t width = 8 * (1 + (uint32_t(data[0]) | uint32_t(data[1] & 0x7F) << 8) %
                                      (kFuzzMaxPlaneWidth / 8));
  const uint32_t height = 8 * (data[2] % (kFuzzMaxPlaneHeight / 8 + 1));
  const uint32_t pitch = width + (data[3] & 31);
  const uint32_t options = data[4];
  const uint32_t frameFlags = options & 1 ? MovieFlagPreI : 0;
  const bool chroma = (options & 2) != 0;
  const bool withMap = (options & 4) != 0;
  const bool inPlace = (options & 8) != 0;  // a one-frame movie decodes over its only plane
  const uint64_t start = data[5] & 7;
  const uint8_t* stream = data + 6;
  const size_t streamBytes = size - 6;

  // Exact allocations, so that any read or write outside them is reported.
  const size_t planeBytes = size_t(pitch) * height;
  std::unique_ptr<uint8_t[]> dst(new uint8_t[planeBytes + 1]);
  std::unique_ptr<uint8_t[]> src(new uint8_t[planeBytes + 1]);
  // The previous picture: a pattern row, repeated with each row's number in its first byte.
  for (size_t i = 0; i < pitch && i < planeBytes; ++i) src[i] = uint8_t(i * 7 + (i >> 4));
  for (size_t row = 1; row < height; ++row) {
    std::memcpy(src.get() + row * pitch, src.get(), pitch);
    src[row * pitch] = uint8_t(row);
  }
  std::memcpy(dst.get(), src.get(), planeBytes);
  std::unique_ptr<uint8_t[]> bits(new uint8_t[streamBytes + 1]);
  if (streamBytes) std::memcpy(bits.get(), stream, streamBytes);

  // The map as the frame decoder sizes it: a byte per 16x16 luma area.
  const uint32_t lumaWidth = chroma ? width * 2 : width, lumaHeight = chroma ? height * 2 : height;
  const uint32_t mapStride = (lumaWidth + 15) / 16;
  const size_t mapBytes = size_t(mapStride) * ((lumaHeight + 15) / 16);
  std::unique_ptr<uint8_t[]> map(new uint8_t[mapBytes + 1]);
  std::memset(map.get(), 0, mapBytes);

  // Bundle buffers sized for the plane's width, each its own allocation.
  uint64_t bundleSizes[VideoBundleCount];
  VideoBundleBufferSizes(width, bundleSizes);
  std::unique_ptr<uint8_t[]> bundleMemory[VideoBundleCount];
  uint8_t* bundles[VideoBundleCount];
  for (uint32_t i = 0; i < VideoBundleCount; ++i) {
    bundleMemory[i].reset(new uint8_t[size_t(bundleSizes[i]) + 1]);
    bundles[i] = bundleMemory[i].get();
  }

  const VideoPlaneDesc plane = {dst.get(), inPlace ? dst.get() : src.get(), width, height, pitch};
  const VideoPlaneStream input = {bits.get(), streamBytes, start, streamBytes + 4};
  uint32_t skipped = 0;
  const uint64_t next =
      VideoDecodePlane(&plane, &input, withMap ? map.get() : nullptr, mapStride, chroma ? 2 : 1,
                       bundles, bundleSizes, frameFlags, &skipped);
  FUZZ_CHECK(next >= start);
  FUZZ_CHECK(skipped <= uint64_t(width / 8) * (height / 8));
  for (size_t i = 0; i < mapBytes; ++i) FUZZ_CHECK(map[i] <= 1);
}

void FuzzAudioBlock(const uint8_t* data, size_t size) {
  if (size < 4) return;
  // Bytes 0-1: rate, 2: channels and variant, 3: blocks to decode at most.
  const uint32_t rate = uint32_t(data[0]) | uint32_t(data[1]) << 8;
  const uint32_t channels = 1 + (data[2] & 1);
  const uint32_t flags = data[2] & 2 ? AudioFlagDct : 0;
  const uint32_t maxBlocks = 1 + data[3] % 16;
  AudioBlockDecoder* decoder = AudioDecoderOpen(rate, channels, flags);
  if (!decoder) {
    FUZZ_CHECK(rate == 0);
    return;
  }
  FUZZ_CHECK(decoder->BlockBytes > decoder->OverlapBytes);
  const size_t bytes = size - 4;
  std::unique_ptr<uint8_t[]> blocks(new uint8_t[bytes + 1]);
  if (bytes) std::memcpy(blocks.get(), data + 4, bytes);
  const uint8_t* at = blocks.get();
  const uint8_t* end = blocks.get() + bytes;
  std::vector<uint8_t> out;
  for (uint32_t k = 0; k < maxBlocks && at < end; ++k) {
    const uint32_t used = AudioDecodeBlock(decoder, at, end);
    FUZZ_CHECK(used % 4 == 0);
    FUZZ_CHECK(used <= uint64_t(end - at) + 3);
    if (used == 0) break;
    AudioJoinBlock(decoder);
    const uint8_t* pcm = reinterpret_cast<const uint8_t*>(decoder->PcmBuffer);
    out.insert(out.end(), pcm, pcm + AudioBlockOutputBytes(decoder));
    at += used < uint64_t(end - at) ? used : uint64_t(end - at);
  }
  MemFree(decoder);
}

const FuzzTarget kFuzzTargets[] = {
    {"movie_memory", FuzzMovieMemory}, {"movie_stream", FuzzMovieStream},
    {"movie_sound", FuzzMovieSound},   {"plane", FuzzPlane},
    {"audio_block", FuzzAudioBlock},
};
const size_t kFuzzTargetCount = sizeof(kFuzzTargets) / sizeof(kFuzzTargets[0]);
