// The vexa tool's tests: running the tool in-process or in a child process, and its inputs.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/commands.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// Runs `vexa ARGS`; *err, when given, receives what it printed on stderr.
inline int Vexa(std::vector<std::string> args, std::string* err = nullptr) {
  args.insert(args.begin(), "vexa");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  if (err) testing::internal::CaptureStderr();
  const int status = VexaMain(int(argv.size()), argv.data());
  if (err) *err = testing::internal::GetCapturedStderr();
  return status;
}

inline std::vector<uint8_t> Slurp(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
    std::fclose(f);
  }
  return bytes;
}

// Runs `vexa ARGS` in a child process limited to 1 GiB of address space (not under
// AddressSanitizer, whose shadow memory needs more; nor on Windows, where it runs in-process).
// Returns the exit status, or 128 + the signal that ended the child (an abort: 134).
inline int VexaInChild(const std::vector<std::string>& args, std::string* err) {
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
  return Vexa(args, err);
#else
  const std::string errPath = TestTempDir() + "/child_stderr.txt";
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
    if (dup2(creat(errPath.c_str(), 0600), 2) != 2 || setrlimit(RLIMIT_AS, &limit)) _exit(99);
    _exit(Vexa(args));
  }
  int status = 0;
  waitpid(child, &status, 0);
  const std::vector<uint8_t> text = Slurp(errPath);
  err->assign(text.begin(), text.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

// A moving gradient with a bright square: `frames` pictures of w x h as planar Y, U, V planes
// with the chroma of the given Y4M sampling (420, 422 or 444).
struct Clip {
  uint32_t w, h, frames;
  std::string sampling = "420";
  uint32_t ChromaW() const { return sampling == "444" ? w : (w + 1) / 2; }
  uint32_t ChromaH() const { return sampling == "420" ? (h + 1) / 2 : h; }
  uint8_t Luma(uint32_t f, uint32_t x, uint32_t y) const {
    bool square = x >= 4 + 2 * f && x < 14 + 2 * f && y >= 6 && y < 16;
    return square ? 220 : uint8_t(40 + (x * 3 + y * 2 + f * 4) % 150);
  }
};

inline std::string WriteY4m(const char* name, const Clip& c) {
  std::string out = "YUV4MPEG2 W" + std::to_string(c.w) + " H" + std::to_string(c.h) +
                    " F30000:1001 Ip A1:1 C" + c.sampling + "\n";
  for (uint32_t f = 0; f < c.frames; ++f) {
    out += "FRAME\n";
    for (uint32_t y = 0; y < c.h; ++y)
      for (uint32_t x = 0; x < c.w; ++x) out.push_back(char(c.Luma(f, x, y)));
    for (uint32_t y = 0; y < 2 * c.ChromaH(); ++y)  // U, then V
      for (uint32_t x = 0; x < c.ChromaW(); ++x)
        out.push_back(char(y < c.ChromaH() ? 100 + x % 40 : 150 - (y - c.ChromaH()) % 30));
  }
  return TestWriteFile(name, {out.begin(), out.end()});
}

inline void PutLe(std::vector<uint8_t>* out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

// A 16-bit PCM WAV file of a sine; fmtBytes shortens the format chunk, fmtLast moves it after
// the sound data.
inline std::string WriteWav(const char* name, uint32_t rate, uint32_t channels, uint32_t frames,
                            uint32_t fmtBytes = 16, bool fmtLast = false) {
  std::vector<uint8_t> fmt, data, w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (char c : std::string("fmt ")) fmt.push_back(uint8_t(c));
  PutLe(&fmt, fmtBytes, 4), PutLe(&fmt, 1, 2), PutLe(&fmt, channels, 2), PutLe(&fmt, rate, 4);
  PutLe(&fmt, rate * channels * 2, 4), PutLe(&fmt, channels * 2, 2), PutLe(&fmt, 16, 2);
  fmt.resize(8 + fmtBytes);
  data = {'d', 'a', 't', 'a'};
  PutLe(&data, frames * channels * 2, 4);
  for (uint32_t i = 0; i < frames * channels; ++i)
    PutLe(&data, uint32_t(int32_t(8000 * std::sin(i * 0.03))), 2);
  for (const auto* chunk : fmtLast ? std::vector{&data, &fmt} : std::vector{&fmt, &data})
    w.insert(w.end(), chunk->begin(), chunk->end());
  TestPutLe32(&w, 4, uint32_t(w.size() - 8));
  return TestWriteFile(name, w);
}
