// One libFuzzer target: VEXA_FUZZ_ENTRY names the entry point (fuzz/fuzz_entries.h) it drives.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VEXA_FUZZ_ENTRY(data, size);
  return 0;
}
