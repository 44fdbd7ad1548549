// vexa-make-demo OUT.vxa [--frames N]: makes the demo movie (640 x 360 at 25 frames a second,
// moving pictures, a stereo sound track of music) with our encoders.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <cmath>

#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "tools/audio_track_encoder.h"
#include "tools/demo_pictures.h"
#include "tools/encode_input.h"

namespace {

constexpr uint32_t kWidth = 640, kHeight = 360, kRate = 25, kSoundRate = 22050;

// A little tune for the sound track: a chord every two seconds under a plucked melody, the
// chord leaning left and the melody right.
void ComposeMusic(uint32_t frames, WavSound* sound) {
  const double kPi = 3.14159265358979323846;
  const double chords[4][3] = {{261.6, 329.6, 392.0}, {220.0, 261.6, 329.6},
                               {174.6, 220.0, 261.6}, {196.0, 246.9, 293.7}};
  const double melody[8] = {523.3, 587.3, 659.3, 784.0, 659.3, 587.3, 523.3, 493.9};
  const uint32_t samples = uint32_t(uint64_t(frames) * kSoundRate / kRate);
  sound->Rate = kSoundRate;
  sound->Channels = 2;
  sound->Samples.resize(size_t(samples) * 2);
  for (uint32_t i = 0; i < samples; ++i) {
    const double t = double(i) / kSoundRate;
    const double* chord = chords[uint32_t(t / 2) % 4];
    double pad = 0;
    for (int n = 0; n < 3; ++n) pad += std::sin(2 * kPi * chord[n] * t);
    const double beat = std::fmod(t, 0.25);
    const double note = melody[uint32_t(t / 0.25) % 8];
    const double pluck = std::sin(2 * kPi * note * t) * std::exp(-beat * 12);
    sound->Samples[2 * i] = int16_t(2600 * pad + 2500 * pluck);
    sound->Samples[2 * i + 1] = int16_t(1500 * pad + 6000 * pluck);
  }
}

int MakeDemo(const std::string& path, uint32_t frames, std::string* error) {
  VideoEncoderConfig config;
  config.Width = kWidth;
  config.Height = kHeight;
  config.Quality = 70;
  config.KeyInterval = 50;
  VideoEncoder e;
  if (!VideoEncoderInit(&e, &config)) {
    *error = e.Error;
    return 0;
  }
  MovieWriterConfig movie;
  movie.Width = kWidth;
  movie.Height = kHeight;
  movie.FrameRate = kRate;
  movie.VideoFlags = VideoEncoderVideoFlags(&config);
  AudioTrackEncoder music;
  ComposeMusic(frames, &music.Sound);
  movie.Tracks.resize(1);
  if (!AudioTrackStart(&music, 0, 70, 0, 16, kRate, 1, &movie.Tracks[0], error)) {
    VideoEncoderFree(&e);
    return 0;
  }
  MovieWriter w;
  MovieWriterInit(&w, movie);
  std::vector<uint8_t> rgba;
  YuvPicture picture;
  const uint32_t cw = (kWidth + 1) / 2;
  bool ok = true;
  for (uint32_t k = 0; k < frames && ok; ++k) {
    DemoDrawFrame(k, kWidth, kHeight, &rgba);
    RgbaToYuv(rgba.data(), kWidth, kHeight, &picture);
    VideoEncoderPicture planes = {{picture.Y.data(), picture.U.data(), picture.V.data(), nullptr},
                                  {kWidth, cw, cw, 0}};
    VideoEncodedFrame frame;
    ok = VideoEncodeFrame(&e, &planes, &frame);
    if (!ok) *error = e.Error;
    MovieWriterFrame packet;
    packet.Video = std::move(frame.Data);
    packet.IsKey = frame.IsKey;
    packet.Audio = {AudioTrackPacket(&music, k, kRate, 1)};
    if (k + 1 == frames) AudioTrackFinish(&music, &packet.Audio[0]);
    ok = ok && MovieWriterAddFrame(&w, packet);
  }
  VideoEncoderFree(&e);
  AudioTrackFree(&music);
  w.Config.Tracks[0].MaxBytes = music.Largest;  // exact: it holds for every packet, the last too
  return ok && MovieWriterSave(&w, path, error);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t frames = 250;
  if (argc == 4 && !std::strcmp(argv[2], "--frames")) frames = uint32_t(std::strtoul(argv[3], nullptr, 10));
  if ((argc != 2 && argc != 4) || frames == 0) {
    std::fprintf(stderr, "usage: vexa-make-demo OUT.vxa [--frames N]\n");
    return 2;
  }
  std::string error;
  if (!MakeDemo(argv[1], frames, &error)) {
    std::fprintf(stderr, "vexa-make-demo: %s\n", error.empty() ? "cannot write the movie" : error.c_str());
    return 1;
  }
  return 0;
}
