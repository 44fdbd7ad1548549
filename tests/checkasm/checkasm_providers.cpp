// The subsystems whose kernels the harness checks. A subsystem with kernels of its own adds its
// provider here.
#include "tests/checkasm/checkasm.h"
#include "tests/audio/checkasm_audio.h"
#include "tests/pixels/checkasm_pixels.h"

static const CheckasmProvider kProviders[] = {
    CheckasmVideoCandidates,
    CheckasmPixelsCandidates,
    CheckasmAudioCandidates,
    CheckasmVideoEncoderCandidates,
};

uint32_t CheckasmAllCandidates(CheckasmCandidate* out, uint32_t capacity) {
  uint32_t total = 0;
  for (CheckasmProvider provider : kProviders) {
    const uint32_t room = total < capacity ? capacity - total : 0;
    total += provider(out ? out + (total < capacity ? total : capacity) : nullptr, room);
  }
  return total;
}
