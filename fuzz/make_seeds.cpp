// Writes the fuzz targets' seed corpora: small movies of every kind made with our own encoders
// (each revision, alpha, grey scale, one frame, sound tracks of both variants, mono and stereo,
// 8 and 16 bits), raw plane streams and raw audio blocks.
//
//   vexa_fuzz_seeds DIR     writes DIR/<target>/<seed name> for every target
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "encoder/audio_encoder.h"
#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "vexa/movie.h"

namespace {

struct SeedMovie {
  const char* Name;
  char Version;
  uint32_t Width, Height, Frames;
  uint32_t VideoFlags;     // VideoFlagAlpha, VideoFlagGrayscale
  uint32_t Tracks;         // number of sound tracks
  uint32_t TrackFormat;    // format word of the first track; later ones alternate the variant
  uint32_t KeyInterval;
};

// A picture that moves: a gradient, a bright square travelling right, and noise in one corner.
void DrawPicture(uint32_t width, uint32_t height, uint32_t frame, std::vector<uint8_t> planes[4]) {
  const uint32_t cw = (width + 1) / 2, ch = (height + 1) / 2;
  planes[0].resize(size_t(width) * height);
  planes[1].resize(size_t(cw) * ch);
  planes[2].resize(size_t(cw) * ch);
  planes[3].resize(size_t(width) * height);
  uint32_t noise = 12345 + frame;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t v = (x * 3 + y * 2) & 0xFF;
      if (x >= frame * 3 && x < frame * 3 + 12 && y >= 8 && y < 20) v = 235;
      if (x < 8 && y < 8) v = (noise = noise * 1103515245u + 12345u) >> 24;
      planes[0][size_t(y) * width + x] = uint8_t(v);
      planes[3][size_t(y) * width + x] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
    }
  for (uint32_t y = 0; y < ch; ++y)
    for (uint32_t x = 0; x < cw; ++x) {
      planes[1][size_t(y) * cw + x] = uint8_t(128 + (x * 4) % 64 - 32);
      planes[2][size_t(y) * cw + x] = uint8_t(128 + (y * 5 + frame) % 64 - 32);
    }
}

// The video data of each frame, made by our encoder.
std::vector<std::vector<uint8_t>> EncodeVideo(const SeedMovie& s, std::vector<bool>* keys) {
  std::vector<std::vector<uint8_t>> frames;
  VideoEncoderConfig config;
  config.Version = s.Version;
  config.Width = s.Width;
  config.Height = s.Height;
  config.Flags = s.VideoFlags & (VideoEncoderAlpha | VideoEncoderGrayscale);
  config.Quality = 40;
  config.KeyInterval = s.KeyInterval;
  VideoEncoder encoder;
  if (!VideoEncoderInit(&encoder, &config)) {
    std::fprintf(stderr, "seed %s: %s\n", s.Name, encoder.Error.c_str());
    return frames;
  }
  std::vector<uint8_t> planes[4];
  for (uint32_t k = 0; k < s.Frames; ++k) {
    DrawPicture(s.Width, s.Height, k, planes);
    const uint32_t cw = (s.Width + 1) / 2;
    VideoEncoderPicture picture = {
        {planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data()},
        {s.Width, cw, cw, s.Width}};
    VideoEncodedFrame out;
    if (!VideoEncodeFrame(&encoder, &picture, &out)) {
      std::fprintf(stderr, "seed %s: %s\n", s.Name, encoder.Error.c_str());
      frames.clear();
      break;
    }
    frames.push_back(out.Data);
    keys->push_back(out.IsKey);
  }
  VideoEncoderFree(&encoder);
  return frames;
}

// A tone with a slow sweep, per channel.
std::vector<int16_t> MakeSound(uint32_t rate, uint32_t channels, uint32_t samples, uint32_t seed) {
  std::vector<int16_t> pcm(size_t(samples) * channels);
  for (uint32_t i = 0; i < samples; ++i)
    for (uint32_t c = 0; c < channels; ++c) {
      const double t = double(i) / rate;
      const double f = 220.0 * (1 + c) * (1 + seed % 3) + 200.0 * t;
      pcm[size_t(i) * channels + c] = int16_t(9000 * std::sin(2 * 3.14159265358979 * f * t));
    }
  return pcm;
}

std::vector<uint8_t> MakeMovie(const SeedMovie& s) {
  std::vector<bool> keys;
  std::vector<std::vector<uint8_t>> video = EncodeVideo(s, &keys);
  if (video.size() != s.Frames) return {};

  MovieWriterConfig config;
  config.Version = s.Version;
  config.Width = s.Width;
  config.Height = s.Height;
  config.FrameRate = 15;
  config.VideoFlags = s.VideoFlags;
  // Sound: one encoder per track, the packets of each frame cut from a tone.
  std::vector<AudioEncoder> encoders(s.Tracks);
  for (uint32_t t = 0; t < s.Tracks; ++t) {
    const uint32_t format = t % 2 ? s.TrackFormat ^ TrackDct : s.TrackFormat;
    AudioEncoderConfig ac;
    ac.Rate = format & TrackRateMask;
    ac.Channels = format & TrackStereo ? 2 : 1;
    ac.Flags = format & TrackDct ? AudioFlagDct : 0;
    ac.Quality = 30;
    if (!AudioEncoderInit(&encoders[t], ac)) return {};
    const uint32_t perFrame = ac.Rate / config.FrameRate;
    MovieWriterTrack track;
    track.Id = 100 + t;
    track.Format = (AudioEncoderTrackFormat(ac) & ~Track16Bit) | (format & Track16Bit);
    track.MaxBytes = AudioEncoderMaxPacketBytes(&encoders[t], perFrame);
    config.Tracks.push_back(track);
  }
  MovieWriter writer;
  MovieWriterInit(&writer, config);
  for (uint32_t k = 0; k < s.Frames; ++k) {
    MovieWriterFrame frame;
    frame.Video = video[k];
    frame.IsKey = keys[k];
    for (uint32_t t = 0; t < s.Tracks; ++t) {
      AudioEncoder* e = &encoders[t];
      const uint32_t perFrame = e->Config.Rate / config.FrameRate;
      if (k + 1 == s.Frames) {
        frame.Audio.push_back(AudioEncodeFlush(e));
      } else {
        std::vector<int16_t> pcm = MakeSound(e->Config.Rate, e->Config.Channels, perFrame, k + t);
        frame.Audio.push_back(AudioEncodePacket(e, pcm.data(), perFrame));
      }
    }
    if (!MovieWriterAddFrame(&writer, frame)) return {};
  }
  for (AudioEncoder& e : encoders) AudioEncoderFree(&e);
  return MovieWriterImage(&writer);
}

bool WriteSeed(const std::filesystem::path& dir, const std::string& name,
               const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

const uint32_t kStereo16 = TrackAudio | TrackStereo | Track16Bit;
const uint32_t kMono16 = TrackAudio | Track16Bit;
const uint32_t kMono8 = TrackAudio;

const SeedMovie kMovies[] = {
    {"i_plain", 'i', 48, 32, 6, 0, 0, 0, 3},
    {"h_plain", 'h', 40, 24, 5, 0, 0, 0, 2},
    {"g_plain", 'g', 33, 17, 4, 0, 0, 0, 2},
    {"f_plain", 'f', 24, 16, 4, 0, 0, 0, 0},
    {"i_alpha", 'i', 32, 24, 4, VideoFlagAlpha, 0, 0, 2},
    {"h_alpha", 'h', 24, 16, 3, VideoFlagAlpha, 0, 0, 2},
    {"i_grey", 'i', 40, 16, 4, VideoFlagGrayscale, 0, 0, 2},
    {"i_grey_alpha", 'i', 16, 16, 3, VideoFlagGrayscale | VideoFlagAlpha, 0, 0, 1},
    {"i_one_frame", 'i', 24, 24, 1, 0, 0, 0, 1},
    {"i_tiny", 'i', 1, 1, 2, 0, 0, 0, 1},
    {"i_wide", 'i', 200, 8, 3, 0, 0, 0, 2},
    {"i_dft_stereo", 'i', 32, 16, 6, 0, 1, kStereo16 | 22050, 3},
    {"i_dct_stereo", 'i', 32, 16, 6, 0, 1, kStereo16 | TrackDct | 22050, 3},
    {"h_dft_mono8", 'h', 24, 16, 5, 0, 1, kMono8 | 11025, 2},
    {"i_dct_mono", 'i', 16, 16, 5, 0, 1, kMono16 | TrackDct | 44100, 2},
    {"i_two_tracks", 'i', 16, 16, 5, 0, 2, kMono16 | 8000, 2},
    {"g_three_tracks", 'g', 16, 8, 4, 0, 3, kStereo16 | TrackDct | 16000, 2},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  int failures = 0;
  uint32_t written = 0;
  auto write = [&](const char* target, const std::string& name, const std::vector<uint8_t>& b) {
    if (b.empty() || !WriteSeed(root / target, name, b)) {
      std::fprintf(stderr, "could not make seed %s/%s\n", target, name.c_str());
      ++failures;
    } else {
      ++written;
    }
  };

  for (const SeedMovie& s : kMovies) {
    const std::vector<uint8_t> movie = MakeMovie(s);
    const std::string name = std::string(s.Name) + ".vxa";
    write("movie_memory", name, movie);
    write("movie_stream", name, movie);
    if (s.Tracks) write("movie_sound", name, movie);
    if (movie.empty()) continue;
    // The first frame's video data, cut out of the packet, as plane seeds: the options bytes say
    // a plane of the movie's width.
    const uint32_t at = (movie[44 + 12 * s.Tracks] | movie[45 + 12 * s.Tracks] << 8 |
                         movie[46 + 12 * s.Tracks] << 16 | uint32_t(movie[47 + 12 * s.Tracks]) << 24) & ~1u;
    const uint32_t next = (movie[48 + 12 * s.Tracks] | movie[49 + 12 * s.Tracks] << 8 |
                           movie[50 + 12 * s.Tracks] << 16 | uint32_t(movie[51 + 12 * s.Tracks]) << 24) & ~1u;
    if (s.Tracks == 0 && at < next && next <= movie.size()) {
      const uint32_t blocksWide = (s.Width + 7) / 8 - 1, blocksHigh = (s.Height + 7) / 8;
      const uint32_t lumaStart = s.Version == 'i' ? 4 : 0;
      std::vector<uint8_t> plane = {uint8_t(blocksWide), uint8_t(blocksWide >> 8),
                                    uint8_t(blocksHigh), 0, uint8_t(s.Version < 'i' ? 1 : 0),
                                    uint8_t(lumaStart)};
      if (!(s.VideoFlags & VideoFlagAlpha)) {
        plane.insert(plane.end(), movie.begin() + at, movie.begin() + next);
        write("plane", name, plane);
      }
    }
  }
  // The sound track of the two variants as raw blocks: the packet's blocks after its count.
  const struct {
    const char* Name;
    uint32_t Rate, Channels, Flags;
  } kAudio[] = {{"dft_mono_22050", 22050, 1, 0},
                {"dft_stereo_44100", 44100, 2, 0},
                {"dct_mono_11025", 11025, 1, AudioFlagDct},
                {"dct_stereo_22050", 22050, 2, AudioFlagDct},
                {"dft_mono_8000", 8000, 1, 0}};
  for (const auto& a : kAudio) {
    AudioEncoder e;
    AudioEncoderConfig config;
    config.Rate = a.Rate;
    config.Channels = a.Channels;
    config.Flags = a.Flags;
    config.Quality = 30;
    if (!AudioEncoderInit(&e, config)) {
      ++failures;
      continue;
    }
    std::vector<int16_t> pcm = MakeSound(a.Rate, a.Channels, 3000, a.Rate);
    std::vector<uint8_t> packet = AudioEncodePacket(&e, pcm.data(), 3000);
    std::vector<uint8_t> last = AudioEncodeFlush(&e);
    AudioEncoderFree(&e);
    std::vector<uint8_t> seed = {uint8_t(a.Rate), uint8_t(a.Rate >> 8),
                                 uint8_t((a.Channels - 1) | (a.Flags & AudioFlagDct ? 2 : 0)), 63};
    if (packet.size() > 4) seed.insert(seed.end(), packet.begin() + 4, packet.end());
    if (last.size() > 4) seed.insert(seed.end(), last.begin() + 4, last.end());
    write("audio_block", std::string(a.Name) + ".bin", seed);
  }
  std::printf("%u seeds written to %s\n", written, root.string().c_str());
  return failures ? 1 : 0;
}
