// vexa decode IN.vxa [outputs]: decodes every frame through the library and writes the pictures.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "tools/commands.h"
#include "tools/decode_outputs.h"
#include "tools/parse_number.h"
#include "tools/png_io.h"
#include "tools/wav_files.h"
#include "vexa/copy.h"
#include "vexa/vexa.h"

namespace {

const char kUsage[] =
    "usage: vexa decode IN.vxa [options]\n"
    "Outputs (several may be given):\n"
    "  -o OUT.y4m | -o OUT.yuv   pictures as YUV4MPEG2 or raw I420 (Y, U, V per frame)\n"
    "  --surface TYPE -o OUT.raw the bytes MovieCopyToSurface writes for surface type TYPE (0-15),\n"
    "                            pitch = displayed width x bytes per pixel; 15 (YV12): the luma\n"
    "                            plane at the width rounded up to even, then V and U planes\n"
    "    --scale MODE            scaling mode 1-7 (doubles the displayed size as the mode says)\n"
    "    --gray                  grey picture from luma alone\n"
    "    --swap-alpha            show the alpha plane as luma (movies with alpha)\n"
    "  --alpha OUT               raw alpha planes (movies with alpha)\n"
    "  --png DIR                 one PNG per frame (RGBA when the movie has alpha)\n"
    "  --wav-dir DIR             each sound track as DIR/t<ID>.wav, as the player hands it over\n"
    "    --track ID              only the track with this identifier\n"
    "Other options:\n"
    "  --frames N                decode at most N frames\n"
    "  --threads 2               decode each frame as two halves at once (same output)\n"
    "  -q                        no progress line\n";

struct DecodeOptions {
  std::string input, output, alpha, pngDir, wavDir;
  int surfaceType = -1;
  int64_t track = -1;
  uint32_t scale = 0, frames = 0, threads = 1;
  bool gray = false, swapAlpha = false, quiet = false;
};

// Parses the arguments; returns an error text, or an empty string.
std::string ParseDecodeArgs(int argc, char** argv, DecodeOptions* o) {
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    uint32_t n = 0;
    if (a == "-o" && (v = next())) o->output = v;
    else if (a == "--alpha" && (v = next())) o->alpha = v;
    else if (a == "--png" && (v = next())) o->pngDir = v;
    else if (a == "--wav-dir" && (v = next())) o->wavDir = v;
    else if (a == "--track" && (v = next()) && ParseWholeNumber(v, 0, 0xFFFFFFFFu, &n)) o->track = n;
    else if (a == "--surface" && (v = next()) && ParseWholeNumber(v, 0, 15, &n)) o->surfaceType = int(n);
    else if (a == "--scale" && (v = next()) && ParseWholeNumber(v, 0, 7, &n)) o->scale = n;
    else if (a == "--frames" && (v = next()) && ParseWholeNumber(v, 1, 0xFFFFFFFFu, &n)) o->frames = n;
    else if (a == "--threads" && (v = next()) && ParseWholeNumber(v, 1, 2, &n)) o->threads = n;
    else if (a == "--gray") o->gray = true;
    else if (a == "--swap-alpha") o->swapAlpha = true;
    else if (a == "-q") o->quiet = true;
    else if (a[0] != '-' && o->input.empty()) o->input = a;
    else return "bad option or value: " + a + (v ? std::string(" ") + v : std::string());
  }
  if (o->input.empty()) return "no input movie";
  if (o->output.empty() && o->alpha.empty() && o->pngDir.empty() && o->wavDir.empty())
    return "no output: give -o, --alpha, --png or --wav-dir";
  if (o->track >= 0 && o->wavDir.empty()) return "--track needs --wav-dir";
  return "";
}

bool EndsWith(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Creates an output directory (and its parents) unless it exists; returns an error text or "".
std::string MakeOutputDirectory(const std::string& dir) {
  std::error_code ec;
  if (dir.empty() || std::filesystem::is_directory(dir, ec)) return "";
  std::filesystem::create_directories(dir, ec);
  return ec ? "cannot create the directory " + dir + ": " + ec.message() : "";
}

std::string OpenOutputs(const DecodeOptions& o, DecodeOutputs* out) {
  auto create = [](const std::string& path, FILE** f) {
    *f = std::fopen(path.c_str(), "wb");
    return *f != nullptr;
  };
  if (!o.output.empty()) {
    if (o.surfaceType >= 0) {
      if (!create(o.output, &out->Surface)) return "cannot create " + o.output;
      out->SurfaceFlags = uint32_t(o.surfaceType) | (o.scale << CopyScaleShift) |
                          (o.gray ? OpenGrayscale : 0u) | (o.swapAlpha ? CopySwapAlpha : 0u);
    } else if (EndsWith(o.output, ".y4m") || EndsWith(o.output, ".yuv")) {
      out->Y4m = EndsWith(o.output, ".y4m");
      if (!create(o.output, &out->Video)) return "cannot create " + o.output;
    } else {
      return "unknown output type (use .y4m or .yuv, or --surface TYPE): " + o.output;
    }
  }
  if (!o.alpha.empty() && !create(o.alpha, &out->Alpha)) return "cannot create " + o.alpha;
  if (!o.pngDir.empty()) {
    if (!PngAvailable()) return "this build of vexa has no PNG support";
    out->PngDir = o.pngDir;
  }
  return MakeOutputDirectory(o.pngDir);
}

// Refuses a surface too large to write from the header alone, before the open sets up planes
// for the picture the header claims.
std::string CheckSurfaceSize(const DecodeOptions& o) {
  if (o.surfaceType < 0 || o.output.empty()) return "";
  MovieSetPendingIoBufferSize(0);
  Movie* m = MovieOpen(o.input.c_str(), OpenNoFrameBuffers | OpenNoIoThread | OpenNoFillIo |
                                            OpenIoBufferSize | (o.scale << OpenScaleShift));
  if (!m) return "";  // the decoding open says why
  std::string error = SurfaceSizeError(m->Width, m->Height, uint32_t(o.surfaceType));
  MovieClose(m);
  return error;
}

void DecodeOneFrame(Movie* m, uint32_t threads) {
  if (threads == 2) {
    std::thread luma([m] { MovieDecodeFrame(m, DecodeLuma); });
    MovieDecodeFrame(m, DecodeSoundAndRest);
    luma.join();
  } else {
    MovieDecodeFrame(m, DecodeAll);
  }
}

void ShowProgress(const DecodeOptions& o, uint32_t done, uint32_t total, uint32_t* lastShown) {
  uint32_t now = MovieTimerMs();
  if (o.quiet || (now - *lastShown < 500 && done != total)) return;
  *lastShown = now;
  std::fprintf(stderr, "\rdecoding: frame %" PRIu32 " of %" PRIu32 "%s", done, total,
               done == total ? "\n" : "");
}

// Decodes the movie's frames into the outputs; returns the exit status.
int DecodeMovie(const DecodeOptions& o, Movie* m, DecodeOutputs* out) {
  const uint32_t total = o.frames && o.frames < m->Frames ? o.frames : m->Frames;
  uint32_t lastShown = MovieTimerMs();
  std::string error;
  if (!DecodeWriteHeader(out, m)) error = "cannot write the output";
  for (uint32_t k = 1; k <= total && error.empty(); ++k) {
    if (!MovieFrameBegin(m, MovieTimerMs())) {
      error = "read error at frame " + std::to_string(k);
      break;
    }
    DecodeOneFrame(m, o.threads);
    MovieFrameEnd(m, MovieTimerMs());
    if (!DecodeWriteFrame(out, m, k, &error)) break;
    if (total > 50) ShowProgress(o, k, total, &lastShown);
    if (k < total) MovieNextFrame(m);
  }
  if (!DecodeCloseOutputs(out) && error.empty()) error = "cannot write the output";
  if (error.empty()) return 0;
  std::fprintf(stderr, "vexa decode: %s\n", error.c_str());
  return 1;
}

}  // namespace

int CommandDecode(int argc, char** argv) {
  if (argc == 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  DecodeOptions o;
  std::string error = ParseDecodeArgs(argc, argv, &o);
  if (!error.empty()) {
    std::fprintf(stderr, "vexa decode: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  // Sound tracks go to WAV files: all of them (or the one asked for) are opened.
  WavFiles wav{o.wavDir, {}};
  uint32_t trackFlags = 0;
  if (error = CheckSurfaceSize(o); error.empty()) error = MakeOutputDirectory(o.wavDir);
  if (!error.empty()) {
    std::fprintf(stderr, "vexa decode: %s\n", error.c_str());
    return 1;
  }
  if (!o.wavDir.empty()) {
    std::vector<uint32_t> ids;
    if (o.track >= 0) ids.push_back(uint32_t(o.track));
    else if (!WavTrackIds(o.input, &ids)) ids.clear();
    if (!WavFilesSelect(&wav) || !MovieSetPendingTrackList(ids.data(), uint32_t(ids.size()))) {
      std::fprintf(stderr, "vexa decode: cannot set up the WAV output\n");
      WavFilesRelease();
      return 1;
    }
    trackFlags = OpenTrackList;
  }
  // Decoding for output never drops a frame: no playback rate, so nothing is ever late.
  MovieSetPendingFrameRate(0, 0);
  Movie* m = MovieOpen(o.input.c_str(), OpenAlpha | OpenFrameRate | OpenNeverSkip | trackFlags |
                                            (o.scale << OpenScaleShift));
  if (!m) {
    std::fprintf(stderr, "vexa decode: %s: %s\n", o.input.c_str(), MovieGetError());
    WavFilesRelease();
    return 1;
  }
  if (!o.quiet && !o.wavDir.empty())
    std::fprintf(stderr, "sound: the %s back end, open tracks: %" PRIu32 "\n", SoundBackEndName(),
                 m->NumOpenTracks);
  DecodeOutputs out;
  error = OpenOutputs(o, &out);
  int status = 1;
  if (!error.empty()) {
    std::fprintf(stderr, "vexa decode: %s\n", error.c_str());
    DecodeCloseOutputs(&out);
  } else {
    status = DecodeMovie(o, m, &out);
  }
  MovieClose(m);  // completes the WAV files
  WavFilesRelease();
  for (const std::string& path : wav.Failed) {
    std::fprintf(stderr, "vexa decode: %s was not written completely\n", path.c_str());
    status = 1;
  }
  return status;
}
