// Replays every kept input under tests/regressions/data/<target>/ twice through the entry point of
// the fuzz target that found it: the entry points check their own invariants, and a run must leave
// the library's process-wide state (pending values, allocator, sound back end) as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_entries.h"

namespace fs = std::filesystem;

namespace {

class Replay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(Replay, KeptInputsRunCleanly) {
  std::error_code error;
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(VEXA_REGRESSION_DATA) / GetParam().Name, error)) {
    SCOPED_TRACE(entry.path().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(input.empty()) << "unreadable or empty input";
    for (int run = 0; run < 2; ++run, ++replayed) GetParam().Run(input.data(), input.size());
  }
  if (!replayed) GTEST_SKIP() << "no kept inputs for " << GetParam().Name;
}

// Every directory of kept inputs belongs to a target, so that none is silently left out.
TEST(Replay, EveryDataDirectoryNamesATarget) {
  for (const auto& entry : fs::directory_iterator(VEXA_REGRESSION_DATA))
    EXPECT_TRUE(std::any_of(kFuzzTargets, kFuzzTargets + kFuzzTargetCount, [&](const FuzzTarget& t) {
      return entry.path().filename() == t.Name;
    })) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Targets, Replay, ::testing::ValuesIn(kFuzzTargets, kFuzzTargets + kFuzzTargetCount),
                         [](const auto& param) { return std::string(param.param.Name); });

}  // namespace
