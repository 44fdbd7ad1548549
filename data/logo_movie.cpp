// The closing logo: a one-frame movie (224 x 252, 10 frames a second, no sound) that the player
// shows after the last movie. Made by scripts/make-logo.sh.
#include "vexa/movie.h"

namespace {

// Aligned so that the open can read the image's tables in place.
alignas(16) const uint8_t kLogoMovie[] = {
#include "data/logo_movie.inc"
};

}  // namespace

const uint8_t* MovieLogoImage(uint32_t* bytes) {
  if (bytes) *bytes = uint32_t(sizeof kLogoMovie);
  return kLogoMovie;
}
