// vexa-make-demo OUT.vxa [--frames N]: makes the demo movie (640 x 360 at 25 frames a second,
// moving pictures) with our encoders.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "tools/demo_pictures.h"
#include "tools/encode_input.h"

namespace {

constexpr uint32_t kWidth = 640, kHeight = 360, kRate = 25;

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
    ok = ok && MovieWriterAddFrame(&w, packet);
  }
  VideoEncoderFree(&e);
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
