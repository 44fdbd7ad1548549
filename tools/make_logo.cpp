// vexa-make-logo OUT.inc [OUT.vxa]: draws the closing logo, encodes it as a one-frame movie and
// writes it as the byte list that data/logo_movie.cpp embeds (and, if asked, as a movie file).
#include <cstdio>
#include <string>

#include "encoder/movie_writer.h"
#include "encoder/video_encoder.h"
#include "tools/encode_input.h"
#include "tools/logo_picture.h"

namespace {

std::vector<uint8_t> EncodeLogo(std::string* error) {
  std::vector<uint8_t> rgba;
  LogoDraw(&rgba);
  YuvPicture picture;
  RgbaToYuv(rgba.data(), kLogoWidth, kLogoHeight, &picture);
  VideoEncoderConfig config;
  config.Width = kLogoWidth;
  config.Height = kLogoHeight;
  config.Quality = 95;
  VideoEncoder e;
  if (!VideoEncoderInit(&e, &config)) {
    *error = e.Error;
    return {};
  }
  const uint32_t cw = (kLogoWidth + 1) / 2;
  VideoEncoderPicture planes = {{picture.Y.data(), picture.U.data(), picture.V.data(), nullptr},
                                {kLogoWidth, cw, cw, 0}};
  VideoEncodedFrame frame;
  bool ok = VideoEncodeFrame(&e, &planes, &frame);
  if (!ok) *error = e.Error;
  VideoEncoderFree(&e);
  if (!ok) return {};
  MovieWriterConfig movie;
  movie.Width = kLogoWidth;
  movie.Height = kLogoHeight;
  movie.FrameRate = 10;
  movie.FrameRateDiv = 1;
  MovieWriter w;
  MovieWriterInit(&w, movie);
  MovieWriterFrame packet;
  packet.Video = std::move(frame.Data);
  MovieWriterAddFrame(&w, packet);
  return MovieWriterImage(&w);
}

bool WriteByteList(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::fprintf(f, "// The closing logo movie, made by scripts/make-logo.sh. Do not edit.\n");
  for (size_t i = 0; i < bytes.size(); ++i)
    std::fprintf(f, "0x%02x,%s", bytes[i], i % 16 == 15 || i + 1 == bytes.size() ? "\n" : " ");
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: vexa-make-logo OUT.inc [OUT.vxa]\n");
    return 2;
  }
  std::string error;
  std::vector<uint8_t> movie = EncodeLogo(&error);
  if (movie.empty()) {
    std::fprintf(stderr, "vexa-make-logo: %s\n", error.c_str());
    return 1;
  }
  if (!WriteByteList(argv[1], movie)) {
    std::fprintf(stderr, "vexa-make-logo: cannot write %s\n", argv[1]);
    return 1;
  }
  if (argc == 3) {
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(movie.data(), 1, movie.size(), f) != movie.size() || std::fclose(f)) {
      std::fprintf(stderr, "vexa-make-logo: cannot write %s\n", argv[2]);
      return 1;
    }
  }
  return 0;
}
