// WAV files for `vexa decode --wav-dir`: the WAV sound back end writes each opened track to
// DIR/t<ID>.wav through a file sink.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vexa/vexa.h"

struct WavFiles {
  std::string Dir;
  std::vector<std::string> Failed;  // files whose writing failed or was cut short
};

// Selects the WAV back end with sinks that create files in files->Dir (which must outlive the
// movie). 0 when the back end cannot be selected.
int WavFilesSelect(WavFiles* files);
// Back to no sound back end.
void WavFilesRelease();
// The identifiers of every track of a movie file, read without decoding anything.
int WavTrackIds(const std::string& movie, std::vector<uint32_t>* ids);
