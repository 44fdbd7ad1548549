#include "tests/checkasm/checkasm.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

void CheckasmSeed(CheckasmRandom* rng, uint64_t seed) {
  rng->State = seed * 0x9E3779B97F4A7C15ull + 1;
}

// xorshift64*: fast and good enough to spread test inputs.
uint32_t CheckasmRandom32(CheckasmRandom* rng) {
  uint64_t x = rng->State;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  rng->State = x;
  return uint32_t((x * 0x2545F4914F6CDD1Dull) >> 32);
}

uint32_t CheckasmRandomBelow(CheckasmRandom* rng, uint32_t n) {
  return uint32_t((uint64_t(CheckasmRandom32(rng)) * n) >> 32);
}

void CheckasmRandomBytes(CheckasmRandom* rng, void* dst, size_t size) {
  uint8_t* out = static_cast<uint8_t*>(dst);
  for (size_t i = 0; i < size; ++i) out[i] = uint8_t(CheckasmRandom32(rng));
}

int CheckasmVerify(const CheckasmCandidate* c, uint32_t trials, uint64_t seed, char* why,
                   size_t whySize) {
  CheckasmRandom rng;
  CheckasmSeed(&rng, seed);
  for (uint32_t trial = 0; trial < trials; ++trial) {
    char detail[200] = "";
    if (!c->Kind->Compare(c->Reference, c->Function, &rng, detail, sizeof detail)) {
      std::snprintf(why, whySize, "trial %" PRIu32 " (seed %" PRIu64 "): %s", trial, seed, detail);
      return 0;
    }
  }
  return 1;
}

int CheckasmSameBytes(const uint8_t* expected, const uint8_t* got, size_t size, uint32_t pitch,
                      char* why, size_t whySize) {
  for (size_t i = 0; i < size; ++i) {
    if (expected[i] == got[i]) continue;
    std::snprintf(why, whySize, "row %zu column %zu: expected %u, got %u", i / pitch, i % pitch,
                  expected[i], got[i]);
    return 0;
  }
  return 1;
}
