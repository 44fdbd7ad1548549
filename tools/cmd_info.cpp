// vexa info FILE: what a movie holds, read through the library's own open.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "vexa/vexa.h"

namespace {

const char kUsage[] =
    "usage: vexa info FILE\n"
    "Prints the movie's header (version, picture size, frames, frame rate, flags), each sound\n"
    "track, the key frames, the largest frame and the average and peak data rates.\n"
    "Exit status 1 when the movie cannot be opened (the file's name and the library's error\n"
    "text go to stderr).\n";

void PrintFlags(const Movie* m) {
  std::string flags;
  auto add = [&flags](const std::string& flag) { flags += (flags.empty() ? "" : ", ") + flag; };
  if (m->VideoFlags & VideoFlagAlpha) add("alpha");
  if (m->VideoFlags & VideoFlagGrayscale) add("grey");
  if (uint32_t scale = (m->VideoFlags & VideoFlagScaleMask) >> OpenScaleShift)
    add("scaling mode " + std::to_string(scale));
  std::printf("flags:          %s\n", flags.empty() ? "none" : flags.c_str());
}

void PrintTrack(const Movie* m, uint32_t i) {
  uint32_t f = m->TrackFormats[i];
  const char* coding = (f & TrackAudio) ? "real-DFT" : (f & TrackDct) ? "DCT" : "no sound";
  std::printf("  track id %" PRIu32 ": %" PRIu32 " Hz, %s, %d-bit, %s, max bytes %" PRIu32 "\n",
              m->TrackIds[i], f & TrackRateMask, (f & TrackStereo) ? "stereo" : "mono",
              (f & Track16Bit) ? 16 : 8, coding, m->TrackMaxBytes[i]);
}

void PrintKeyFrames(const Movie* m) {
  uint32_t keys = 0;
  std::vector<uint32_t> shown;
  for (uint32_t k = 0; k < m->Frames; ++k)
    if (m->FrameIndex[k] & 1) {
      ++keys;
      if (shown.size() < 16) shown.push_back(k + 1);
    }
  std::printf("key frames:     %" PRIu32 " of %" PRIu32 "%s", keys, m->Frames,
              keys ? " (" : "\n");
  if (!keys) return;
  for (size_t k = 0; k < shown.size(); ++k) std::printf("%s%" PRIu32, k ? " " : "", shown[k]);
  std::printf("%s)\n", keys > shown.size() ? " ..." : "");
}

void PrintRates(const Movie* m) {
  uint32_t largest = 0, largestFrame = 1;
  for (uint32_t k = 0; k < m->Frames; ++k) {
    uint32_t bytes = (m->FrameIndex[k + 1] & ~1u) - (m->FrameIndex[k] & ~1u);
    if (bytes > largest) largest = bytes, largestFrame = k + 1;
  }
  uint64_t data = (m->FrameIndex[m->Frames] & ~1u) - (m->FrameIndex[0] & ~1u);
  uint64_t average = data * m->FileFrameRate / (uint64_t(m->Frames) * m->FileFrameRateDiv);
  std::printf("largest frame:  %" PRIu32 " bytes (frame %" PRIu32 "; header says %" PRIu32 ")\n",
              largest, largestFrame, m->LargestFrameSize);
  std::printf("average rate:   %" PRIu64 " bytes/s\n", average);
  std::printf("peak rate:      %" PRIu32 " bytes/s (one second from frame %" PRIu32 ")\n",
              m->PeakSecondBytes, m->PeakSecondFrame + 1);
}

void PrintMovie(const char* path, const Movie* m, char version) {
  std::printf("file:           %s\n", path);
  std::printf("version:        %c\n", version);
  std::printf("picture:        %" PRIu32 " x %" PRIu32 "\n", m->FileWidth, m->FileHeight);
  std::printf("frames:         %" PRIu32 " (index slots %" PRIu32 ")\n", m->Frames,
              m->IndexEntries);
  std::printf("frame rate:     %" PRIu32 "/%" PRIu32 " (%.3f fps)\n", m->FileFrameRate,
              m->FileFrameRateDiv, double(m->FileFrameRate) / m->FileFrameRateDiv);
  PrintFlags(m);
  std::printf("tracks:         %" PRIu32 "\n", m->NumTracks);
  for (uint32_t i = 0; i < m->NumTracks; ++i) PrintTrack(m, i);
  PrintKeyFrames(m);
  PrintRates(m);
}

// The version letter is not kept by the open (only what it changes), so read it from the file.
char VersionLetter(const char* path) {
  char magic[4] = {0, 0, 0, '?'};
  if (FILE* f = std::fopen(path, "rb")) {
    if (std::fread(magic, 1, 4, f) != 4) magic[3] = '?';
    std::fclose(f);
  }
  return magic[3];
}

}  // namespace

int CommandInfo(int argc, char** argv) {
  if (argc == 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Only the tables are needed: no planes, no background reading, a small read buffer.
  MovieSetPendingIoBufferSize(0);
  Movie* m = MovieOpen(argv[0], OpenNoFrameBuffers | OpenNoIoThread | OpenNoFillIo |
                                    OpenIoBufferSize);
  if (!m) {
    std::fprintf(stderr, "vexa info: %s: %s\n", argv[0], MovieGetError());
    return 1;
  }
  PrintMovie(argv[0], m, VersionLetter(argv[0]));
  MovieClose(m);
  return 0;
}
