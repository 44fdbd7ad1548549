// checkasm: runs every version of a kernel against the kernel's scalar reference on random input
// and compares every output byte and the bytes around the outputs, which no version may touch.
// A subsystem describes each function contract as a CheckasmKind and lists its versions as
// CheckasmCandidates through a provider registered in checkasm_providers.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

struct CheckasmRandom {
  uint64_t State;
};
void CheckasmSeed(CheckasmRandom* rng, uint64_t seed);
uint32_t CheckasmRandom32(CheckasmRandom* rng);
uint32_t CheckasmRandomBelow(CheckasmRandom* rng, uint32_t n);  // in [0, n)
void CheckasmRandomBytes(CheckasmRandom* rng, void* dst, size_t size);

// Any kernel, stored as a plain function pointer and cast back by its kind's functions.
typedef void (*CheckasmFunction)(void);

struct CheckasmKind {
  const char* Name;
  // Runs both on the same random input: 1 when the outputs agree byte for byte, else 0 with the
  // first difference described in why.
  int (*Compare)(CheckasmFunction reference, CheckasmFunction candidate, CheckasmRandom* rng,
                 char* why, size_t whySize);
  // Timing (bench/): inputs made once, then a version run on them again and again.
  void* (*Prepare)(CheckasmRandom* rng);
  void (*Run)(CheckasmFunction function, void* inputs);
  void (*Release)(void* inputs);
};

struct CheckasmCandidate {
  const char* Group;  // the subsystem, e.g. "video"
  const CheckasmKind* Kind;
  const char* Version;  // e.g. "sse2"
  CheckasmFunction Reference;
  CheckasmFunction Function;
  int Runnable;  // the CPU has the features the version needs
};

// A subsystem's candidates: fills up to capacity entries and returns how many it has.
typedef uint32_t (*CheckasmProvider)(CheckasmCandidate* out, uint32_t capacity);
uint32_t CheckasmAllCandidates(CheckasmCandidate* out, uint32_t capacity);
uint32_t CheckasmVideoCandidates(CheckasmCandidate* out, uint32_t capacity);
uint32_t CheckasmVideoEncoderCandidates(CheckasmCandidate* out, uint32_t capacity);

// Runs `trials` comparisons from `seed`; 1 when all agree.
int CheckasmVerify(const CheckasmCandidate* c, uint32_t trials, uint64_t seed, char* why,
                   size_t whySize);
// For Compare functions: 1 when equal, else 0 with the first differing byte described as a row
// and column of a buffer of the given pitch.
int CheckasmSameBytes(const uint8_t* expected, const uint8_t* got, size_t size, uint32_t pitch,
                      char* why, size_t whySize);
