// vexa_checkasm: checks every kernel version this CPU can run against its reference.
//   vexa_checkasm [--trials=N] [--seed=N] [name filter]
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/checkasm/checkasm.h"

int main(int argc, char** argv) {
  uint32_t trials = 5000;
  uint64_t seed = 1;
  const char* filter = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--trials=", 9) == 0) trials = uint32_t(std::atol(argv[i] + 9));
    else if (std::strncmp(argv[i], "--seed=", 7) == 0) seed = uint64_t(std::atoll(argv[i] + 7));
    else filter = argv[i];
  }
  std::vector<CheckasmCandidate> all(CheckasmAllCandidates(nullptr, 0));
  CheckasmAllCandidates(all.data(), uint32_t(all.size()));
  int failures = 0;
  for (const CheckasmCandidate& c : all) {
    if (filter && !std::strstr(c.Kind->Name, filter)) continue;
    char why[400] = "ok";
    const int failed = c.Runnable && !CheckasmVerify(&c, trials, seed, why, sizeof why);
    std::printf("%-6s %-16s %-6s %s%s\n", c.Group, c.Kind->Name, c.Version,
                failed ? "FAILED: " : "", c.Runnable ? why : "skipped (not supported by this CPU)");
    failures += failed;
  }
  std::printf("%s\n",
              failures ? "some versions differ from their reference" : "all versions agree");
  return failures ? 1 : 0;
}
