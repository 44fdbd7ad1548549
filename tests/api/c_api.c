/* The public interface used from C: the headers compile as C11, the version agrees with the one
   given on the command line (the build's, or pkg-config's), and the built-in logo movie opens
   from memory, decodes and copies into a buffer.
     c_api MAJOR.MINOR.PATCH */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vexa/copy.h>
#include <vexa/export.h>
#include <vexa/movie.h>
#include <vexa/planes.h>
#include <vexa/sound.h>
#include <vexa/sound_channel.h>
#include <vexa/stream.h>
#include <vexa/vexa.h>

static int Fail(const char* what) {
  fprintf(stderr, "c_api: %s\n", what);
  return 1;
}

/* Decodes the logo's one frame and copies it; 1 when some pixel is not black. */
static int ShowsLogo(Movie* movie) {
  uint32_t* pixels = calloc((size_t)movie->Width * movie->Height, 4);
  int lit = 0;
  if (!pixels || !MovieAllocSpareChangeMap(movie) || !MovieFrameBegin(movie, MovieTimerMs()))
    return 0;
  MovieDecodeFrame(movie, DecodeAll);
  MovieFrameEnd(movie, MovieTimerMs());
  MovieCopyToSurface(movie, pixels, (int32_t)movie->Width * 4, movie->Height, 0, 0, 0, 0,
                     movie->Width, movie->Height, SurfaceBGRX32 | CopyAll);
  for (uint32_t i = 0; i < movie->Width * movie->Height; ++i) lit |= (pixels[i] & 0xFFFFFFu) != 0;
  free(pixels);
  return lit;
}

int main(int argc, char** argv) {
  char version[32];
  snprintf(version, sizeof version, "%d.%d.%d", VEXA_VERSION_MAJOR, VEXA_VERSION_MINOR,
           VEXA_VERSION_PATCH);
  if (argc != 2 || strcmp(argv[1], version) != 0)
    return Fail("the header's version is not the one given");
  if (VexaVersion() != VEXA_VERSION) return Fail("the library's version differs");

  uint32_t bytes = 0;
  const uint8_t* image = MovieLogoImage(&bytes);
  MovieSetPendingImageSize(bytes);
  Movie* movie = MovieOpen(image, OpenFromMemory | OpenNeverSkip);
  if (!movie) return Fail(MovieGetError());
  const int shown = movie->Width == 224 && movie->Height == 252 && ShowsLogo(movie);
  MovieClose(movie);
  if (!shown) return Fail("the logo movie did not decode");
  if (MovieOpen("no such movie.vxa", 0) || !MovieGetError()[0]) return Fail("missing file");
  return 0;
}
