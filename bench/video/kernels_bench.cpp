// The video kernels, each version beside its scalar reference, timed on the harness's inputs:
// video/<kernel>/<version> and video/<kernel>/reference, in calls per second.
#include <benchmark/benchmark.h>

#include <set>
#include <string>
#include <vector>

#include "tests/checkasm/checkasm.h"

namespace {

void RunKernel(benchmark::State& state, CheckasmCandidate c, CheckasmFunction function) {
  CheckasmRandom rng;
  CheckasmSeed(&rng, 1);
  void* inputs = c.Kind->Prepare(&rng);
  for (auto _ : state) {
    c.Kind->Run(function, inputs);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  c.Kind->Release(inputs);
}

void RegisterKernels() {
  std::vector<CheckasmCandidate> all(CheckasmVideoCandidates(nullptr, 0));
  CheckasmVideoCandidates(all.data(), uint32_t(all.size()));
  std::set<std::string> references;
  for (const CheckasmCandidate& c : all) {
    if (!c.Runnable) continue;
    const std::string name = std::string("video/") + c.Kind->Name;
    if (references.insert(name).second) {
      benchmark::RegisterBenchmark((name + "/reference").c_str(), RunKernel, c, c.Reference);
    }
    benchmark::RegisterBenchmark((name + "/" + c.Version).c_str(), RunKernel, c, c.Function);
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterKernels();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
