// Replays every kept input under tests/regressions/data/<target>/ through the entry point of the
// fuzz target that found it. The entry points check their invariants themselves (a broken one
// aborts, as the fuzzer saw it), and under the sanitizers any bad access is reported.
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

std::vector<fs::path> KeptInputs(const char* target) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(VEXA_REGRESSION_DATA) / target, error))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

class Replay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(Replay, KeptInputsRunCleanly) {
  const FuzzTarget target = GetParam();
  const std::vector<fs::path> files = KeptInputs(target.Name);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(input.empty()) << "unreadable or empty input";
    target.Run(input.data(), input.size());
    // Twice: the library keeps process-wide state (pending values, allocator, sound back end)
    // that a run must leave as it found it.
    target.Run(input.data(), input.size());
  }
  if (files.empty()) GTEST_SKIP() << "no kept inputs for " << target.Name;
}

// Every directory of kept inputs belongs to a target, so that none is silently left out.
TEST(Replay, EveryDataDirectoryNamesATarget) {
  const fs::path root = VEXA_REGRESSION_DATA;
  ASSERT_TRUE(fs::is_directory(root)) << root;
  for (const auto& entry : fs::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(std::any_of(kFuzzTargets, kFuzzTargets + kFuzzTargetCount,
                            [&](const FuzzTarget& t) { return name == t.Name; })) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, Replay,
                         ::testing::ValuesIn(kFuzzTargets, kFuzzTargets + kFuzzTargetCount),
                         [](const ::testing::TestParamInfo<FuzzTarget>& param) {
                           return std::string(param.param.Name);
                         });

}  // namespace
