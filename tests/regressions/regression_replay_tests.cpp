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

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> KeptInputs(const char* target) {
  std::vector<fs::path> files;
  const fs::path dir = fs::path(VEXA_REGRESSION_DATA) / target;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error))
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
    const std::vector<uint8_t> input = ReadAll(file);
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
  size_t directories = 0;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (!entry.is_directory()) continue;
    ++directories;
    const std::string name = entry.path().filename().string();
    bool known = false;
    for (size_t i = 0; i < kFuzzTargetCount; ++i) known |= name == kFuzzTargets[i].Name;
    EXPECT_TRUE(known) << name;
  }
  EXPECT_GT(directories, 0u);
}

INSTANTIATE_TEST_SUITE_P(Targets, Replay,
                         ::testing::ValuesIn(kFuzzTargets, kFuzzTargets + kFuzzTargetCount),
                         [](const ::testing::TestParamInfo<FuzzTarget>& param) {
                           return std::string(param.param.Name);
                         });

}  // namespace
