// Replays every kept input under tests/regressions/data/<target>/ twice through the entry point of
// the fuzz target that found it: the entry points check their own invariants, and a run must leave
// the library's process-wide state (pending values, allocator, sound back end) as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_entries.h"

namespace fs = std::filesystem;

TEST(Replay, KeptInputsRunCleanly) {
  const FuzzTarget* const end = kFuzzTargets + kFuzzTargetCount;
  for (const auto& dir : fs::directory_iterator(VEXA_REGRESSION_DATA)) {
    const FuzzTarget* target = std::find_if(kFuzzTargets, end, [&](const FuzzTarget& t) {
      return dir.path().filename() == t.Name;
    });
    ASSERT_NE(target, end) << dir.path() << " names no fuzz target, so its inputs would not run";
    for (const auto& file : fs::directory_iterator(dir)) {
      SCOPED_TRACE(file.path().string());
      std::ifstream in(file.path(), std::ios::binary);
      const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), {}};
      ASSERT_FALSE(input.empty()) << "unreadable or empty input";
      for (int run = 0; run < 2; ++run) target->Run(input.data(), input.size());
    }
  }
}
