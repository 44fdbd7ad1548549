// vexa encode -i IN -o OUT.vxa: encodes pictures (and sound) into a movie with our encoders.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_decoder.h"
#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/encode_input.h"
#include "tools/audio_track_encoder.h"
#include "tools/parse_number.h"
#include "vexa/movie.h"

namespace {

const char kUsage[] =
    "usage: vexa encode -i IN -o OUT.vxa [options]\n"
    "Input: a YUV4MPEG2 file (4:2:0, 4:2:2, 4:4:4 or mono; '-' reads standard input), a\n"
    "directory of PNG pictures (in name order) or a pattern such as frames/%04d.png.\n"
    "  --quality Q          0 (smallest) to 100 (finest); default 40 (about 40 dB luma PSNR\n"
    "                       on camera footage)\n"
    "  --bitrate KBITS      aim the video at KBITS kilobits a second over the movie instead of\n"
    "                       one quality (no frame above twice the average frame), 1 to 1000000\n"
    "  --keyint N           a key frame every N frames (0: only the first); default 250\n"
    "  --threads N          encode on N threads, 1 to 64 (the movie is the same for any N);\n"
    "                       default: the number of processors, at most 16\n"
    "  --fps N/D            frame rate, from one frame an hour to 1000 a second (default: the\n"
    "                       Y4M's, or 25/1 for PNG pictures)\n"
    "  --version V          format version letter f, g, h or i (default i)\n"
    "  --alpha-input A.y4m  alpha planes: the luma of another Y4M stream of the same size\n"
    "  --png-alpha          keep the PNG pictures' alpha channel as the alpha plane\n"
    "  --gray               a grey-scale movie (no chroma is stored)\n"
    "Sound (repeatable: each --audio starts a track; the options after it apply to it):\n"
    "  --audio IN.wav       a sound track from a WAV file (PCM 8/16/24/32-bit or float, mono\n"
    "                       or stereo, up to 65535 Hz)\n"
    "  --audio-id ID        the track's identifier (default: its position, from 0)\n"
    "  --audio-variant V    dft (default) or dct coding\n"
    "  --audio-bits B       16 (default) or 8-bit output samples\n"
    "  --audio-quality Q    1 to 100; default 70\n"
    "  -q                   no progress or summary\n";

struct AudioTrackOptions {
  std::string path;
  uint32_t id = 0;
  bool dct = false;
  uint32_t bits = 16, quality = 70;
};

struct EncodeOptions {
  std::string input, output, alphaInput;
  std::vector<AudioTrackOptions> audio;
  uint32_t quality = VideoEncoderConfig{}.Quality, bitrate = 0, keyint = 250, fpsNum = 0;
  uint32_t fpsDen = 0;
  uint32_t threads = 0;  // 0: one per processor, at most 16
  char version = 'i';
  bool pngAlpha = false, gray = false, quiet = false;
};

bool TakesValue(const std::string& option) {
  for (const char* o : {"-i", "-o", "--alpha-input", "--quality", "--bitrate", "--keyint", "--fps",
                        "--version", "--threads", "--audio", "--audio-id", "--audio-variant",
                        "--audio-bits", "--audio-quality"})
    if (option == o) return true;
  return false;
}

// Sets one option from its value; returns what is wrong with it, or "".
std::string SetOption(const std::string& a, const std::string& v, EncodeOptions* o) {
  auto bad = [&](const char* allowed) { return a + " takes " + allowed + ", not '" + v + "'"; };
  if (a == "-i") o->input = v;
  else if (a == "-o") o->output = v;
  else if (a == "--alpha-input") o->alphaInput = v;
  else if (a == "--quality") {
    if (!ParseWholeNumber(v, 0, 100, &o->quality)) return bad("0 to 100");
  } else if (a == "--bitrate") {
    if (!ParseWholeNumber(v, 1, 1000000, &o->bitrate))
      return bad("1 to 1000000 (kilobits a second)");
  } else if (a == "--threads") {
    if (!ParseWholeNumber(v, 1, 64, &o->threads)) return bad("1 to 64");
  } else if (a == "--keyint") {
    if (!ParseWholeNumber(v, 0, 0xFFFFFFFFu, &o->keyint)) return bad("0 to 4294967295");
  } else if (a == "--fps") {
    if (!ParseRatio(v, '/', true, &o->fpsNum, &o->fpsDen)) return bad("N or N/D, whole numbers from 1");
  } else if (a == "--version") {
    if (v.size() != 1 || v[0] < 'f' || v[0] > 'i') return bad("f, g, h or i");
    o->version = v[0];
  } else if (a == "--audio") {
    o->audio.push_back({v, uint32_t(o->audio.size())});
  } else if (o->audio.empty()) {
    return a + " must follow the --audio it applies to";
  } else {
    AudioTrackOptions& t = o->audio.back();
    if (a == "--audio-id" && !ParseWholeNumber(v, 0, 0xFFFFFFFFu, &t.id)) return bad("0 to 4294967295");
    if (a == "--audio-variant" && v != "dft" && v != "dct") return bad("dft or dct");
    if (a == "--audio-bits" && v != "8" && v != "16") return bad("8 or 16");
    if (a == "--audio-quality" && !ParseWholeNumber(v, 1, 100, &t.quality)) return bad("1 to 100");
    if (a == "--audio-variant") t.dct = v == "dct";
    if (a == "--audio-bits") t.bits = v == "8" ? 8 : 16;
  }
  return "";
}

std::string ParseEncodeArgs(int argc, char** argv, EncodeOptions* o) {
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--png-alpha") o->pngAlpha = true;
    else if (a == "--gray") o->gray = true;
    else if (a == "-q") o->quiet = true;
    else if (!TakesValue(a)) return "unknown option: " + a;
    else if (i + 1 >= argc) return a + " needs a value";
    else if (std::string problem = SetOption(a, argv[++i], o); !problem.empty()) return problem;
  }
  if (o->input.empty() || o->output.empty()) return "give the input with -i and the movie with -o";
  // The player and --wav-dir tell tracks apart by identifier.
  for (size_t i = 0; i < o->audio.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (o->audio[i].id == o->audio[j].id)
        return "two sound tracks have the identifier " + std::to_string(o->audio[i].id) +
               " (give each --audio its own --audio-id)";
  return "";
}

int OpenAudioTracks(const EncodeOptions& o, uint32_t rateNum, uint32_t rateDen,
                    std::vector<AudioTrackEncoder>* tracks, MovieWriterConfig* movie,
                    std::string* error) {
  tracks->resize(o.audio.size());
  for (size_t i = 0; i < o.audio.size(); ++i) {
    const AudioTrackOptions& t = o.audio[i];
    AudioTrackEncoder& track = (*tracks)[i];
    MovieWriterTrack entry;
    if (!WavRead(t.path, &track.Sound, error)) return 0;
    if (!AudioTrackStart(&track, t.dct ? AudioFlagDct : 0, t.quality, t.id, t.bits, rateNum,
                         rateDen, &entry, error))
      return 0;
    movie->Tracks.push_back(entry);
  }
  return 1;
}

struct EncodeTotals {
  uint32_t frames = 0;
  double psnr[VideoEncoderPlaneCount] = {};
  uint64_t bytes = 0;
};

void PrintSummary(const EncodeOptions& o, const EncodeTotals& t, const VideoEncoderConfig& c) {
  const uint32_t flags = c.Flags;
  if (o.quiet || t.frames == 0) return;
  const char* names[] = {"Y", "U", "V", "A"};
  const double seconds = double(t.frames) * c.FrameRateDiv / c.FrameRate;
  std::fprintf(stderr,
               "\rencoded %" PRIu32 " frames, %" PRIu64 " bytes of video (%.0f kbit/s); mean PSNR",
               t.frames, t.bytes, double(t.bytes) * 8 / 1000 / seconds);
  for (uint32_t p = 0; p < VideoEncoderPlaneCount; ++p) {
    bool present = p == VideoEncoderPlaneY || (p == VideoEncoderPlaneA ? (flags & VideoEncoderAlpha)
                                                                       : !(flags & VideoEncoderGrayscale));
    if (present) std::fprintf(stderr, " %s %.2f dB", names[p], t.psnr[p] / t.frames);
  }
  std::fprintf(stderr, "\n");
}

// Reads the next alpha plane from the alpha stream (its luma), checking its size.
int ReadAlpha(Y4mReader* alphaIn, const YuvPicture& picture, std::vector<uint8_t>* alpha,
              std::string* error) {
  YuvPicture a;
  if (!Y4mReadFrame(alphaIn, &a, error)) {
    *error = error->empty() ? "the alpha input has fewer frames than the pictures"
                            : "alpha input: " + *error;
    return 0;
  }
  if (a.Width != picture.Width || a.Height != picture.Height) {
    *error = "the alpha input's size differs from the pictures'";
    return 0;
  }
  *alpha = std::move(a.Y);
  return 1;
}

// Encodes the picture already read and every one after it.
int EncodeFrames(const EncodeOptions& o, EncodeInput* in, YuvPicture picture,
                 std::vector<uint8_t> alpha, Y4mReader* alphaIn, VideoEncoder* e,
                 std::vector<AudioTrackEncoder>* audio, MovieWriter* w, EncodeTotals* totals,
                 std::string* error) {
  const bool wantAlpha = (e->Config.Flags & VideoEncoderAlpha) != 0;
  const uint32_t rateNum = w->Config.FrameRate, rateDen = w->Config.FrameRateDiv;
  // Each frame is written when the next one exists: the last one also takes the sound that the
  // audio encoders still hold.
  MovieWriterFrame pending;
  bool havePending = false;
  do {
    if (alphaIn && !ReadAlpha(alphaIn, picture, &alpha, error)) return 0;
    if (wantAlpha && alpha.empty()) alpha.assign(picture.Y.size(), 255);
    const uint32_t cw = (picture.Width + 1) / 2;
    VideoEncoderPicture planes = {
        {picture.Y.data(), picture.U.data(), picture.V.data(), wantAlpha ? alpha.data() : nullptr},
        {picture.Width, cw, cw, picture.Width}};
    VideoEncodedFrame frame;
    if (!VideoEncodeFrame(e, &planes, &frame)) {
      *error = e->Error;
      return 0;
    }
    if (havePending && !MovieWriterAddFrame(w, pending)) {
      *error = "the movie would pass the format's 4 GB limit";
      return 0;
    }
    pending.Video = std::move(frame.Data);
    pending.IsKey = frame.IsKey;
    pending.Audio.clear();
    for (AudioTrackEncoder& t : *audio)
      pending.Audio.push_back(AudioTrackPacket(&t, totals->frames, rateNum, rateDen));
    havePending = true;
    totals->bytes += pending.Video.size();
    for (uint32_t p = 0; p < VideoEncoderPlaneCount; ++p)
      totals->psnr[p] += std::isfinite(frame.Psnr[p]) ? frame.Psnr[p] : 99.0;
    if (!o.quiet && ++totals->frames % 25 == 0)
      std::fprintf(stderr, "\rencoding: frame %" PRIu32, totals->frames);
    else if (o.quiet)
      ++totals->frames;
  } while (EncodeInputRead(in, &picture, &alpha, error));
  if (!error->empty()) return 0;
  for (size_t t = 0; t < audio->size(); ++t) {
    AudioTrackFinish(&(*audio)[t], &pending.Audio[t]);
    w->Config.Tracks[t].MaxBytes = (*audio)[t].Largest;  // exact: it holds for every packet
  }
  // The sizes are now exact; a track that would still be dropped is refused.
  if (*error = MovieWriterCheck(w->Config); !error->empty()) return 0;
  if (!MovieWriterAddFrame(w, pending)) {
    *error = "the movie would pass the format's 4 GB limit";
    return 0;
  }
  return 1;
}

int RunEncode(const EncodeOptions& o) {
  std::string error;
  EncodeInput in;
  Y4mReader alphaIn;
  bool haveAlphaIn = false;
  VideoEncoder e;
  bool encoderReady = false;
  EncodeTotals totals;
  MovieWriter w;
  std::vector<AudioTrackEncoder> audio;
  YuvPicture first;
  std::vector<uint8_t> firstAlpha;
  int ok = EncodeInputOpen(&in, o.input, o.pngAlpha, &error);
  if (ok && !o.alphaInput.empty() && !(ok = haveAlphaIn = Y4mOpen(&alphaIn, o.alphaInput, &error)))
    error = "alpha input: " + error;
  // The first picture is read before the encoder is set up for its size, so that a header
  // claiming a picture the file does not hold costs no more memory than the file.
  if (ok && !(ok = EncodeInputRead(&in, &first, &firstAlpha, &error)) && error.empty())
    error = "the input holds no pictures";
  if (ok) {
    VideoEncoderConfig config;
    config.Version = o.version;
    config.Width = in.Width;
    config.Height = in.Height;
    config.Quality = o.quality;
    config.KeyInterval = o.keyint;
    config.BitRate = o.bitrate * 1000;
    config.FrameRate = o.fpsNum ? o.fpsNum : in.RateNum;
    config.FrameRateDiv = o.fpsNum ? o.fpsDen : in.RateDen;
    config.Threads = o.threads ? o.threads : std::min(PlatformProcessorCount(), 16u);
    config.Flags = (o.gray ? VideoEncoderGrayscale : 0u) |
                   (haveAlphaIn || o.pngAlpha ? VideoEncoderAlpha : 0u);
    ok = encoderReady = VideoEncoderInit(&e, &config);
    if (!ok) error = e.Error;
    MovieWriterConfig movie;
    movie.Version = o.version;
    movie.Width = in.Width;
    movie.Height = in.Height;
    movie.FrameRate = config.FrameRate;
    movie.FrameRateDiv = config.FrameRateDiv;
    movie.VideoFlags = VideoEncoderVideoFlags(&config);
    if (ok) ok = OpenAudioTracks(o, movie.FrameRate, movie.FrameRateDiv, &audio, &movie, &error);
    // Refused before encoding when even one frame's sound would not fit the player's buffer.
    if (ok) ok = (error = MovieWriterCheck(movie)).empty();
    MovieWriterInit(&w, movie);
  }
  if (ok)
    ok = EncodeFrames(o, &in, std::move(first), std::move(firstAlpha),
                      haveAlphaIn ? &alphaIn : nullptr, &e, &audio, &w, &totals, &error);
  if (ok) ok = MovieWriterSave(&w, o.output, &error);
  if (ok) PrintSummary(o, totals, e.Config);
  if (encoderReady) VideoEncoderFree(&e);
  for (AudioTrackEncoder& t : audio) AudioTrackFree(&t);
  Y4mClose(&alphaIn);
  EncodeInputClose(&in);
  if (ok) return 0;
  std::fprintf(stderr, "%svexa encode: %s\n", o.quiet ? "" : "\n", error.c_str());
  return 1;
}

}  // namespace

int CommandEncode(int argc, char** argv) {
  if (argc == 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  EncodeOptions o;
  std::string error = ParseEncodeArgs(argc, argv, &o);
  if (!error.empty()) {
    std::fprintf(stderr, "vexa encode: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  return RunEncode(o);
}
