#include "tools/wav_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t kFormatPcm = 1, kFormatFloat = 3, kFormatExtensible = 0xFFFE;

uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint32_t(p[i]) << (8 * i);
  return v;
}

struct Format {
  uint16_t code = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
};

bool ReadAll(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

int16_t Sample(const uint8_t* p, const Format& f) {
  if (f.code == kFormatFloat) {
    double v;
    if (f.bits == 32) {
      float x;
      std::memcpy(&x, p, 4);
      v = x;
    } else {
      std::memcpy(&v, p, 8);
    }
    if (!std::isfinite(v)) v = 0;
    return int16_t(std::lround(std::fmax(-1.0, std::fmin(1.0, v)) * 32767.0));
  }
  switch (f.bits) {
    case 8: return int16_t((int(p[0]) - 128) * 256);
    case 16: return int16_t(Le(p, 2));
    default: return int16_t(Le(p + f.bits / 8 - 2, 2));  // the top 16 bits of 24 or 32
  }
}

std::string CheckFormat(const Format& f) {
  if (f.code != kFormatPcm && f.code != kFormatFloat) return "only PCM or float sound is taken";
  if (f.channels != 1 && f.channels != 2) return "only mono or stereo sound is taken";
  if (f.rate == 0 || f.rate > 65535) return "the sample rate must be 1 to 65535 Hz";
  bool pcmBits = f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32;
  bool floatBits = f.bits == 32 || f.bits == 64;
  if (f.code == kFormatPcm ? !pcmBits : !floatBits) return "unsupported sample size";
  return "";
}

}  // namespace

int WavRead(const std::string& path, WavSound* sound, std::string* error) {
  std::vector<uint8_t> b;
  if (!ReadAll(path, &b)) {
    *error = "cannot read " + path;
    return 0;
  }
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4)) {
    *error = path + " is not a WAV file";
    return 0;
  }
  Format f;
  const uint8_t* data = nullptr;
  size_t dataBytes = 0;
  std::string problem;
  for (size_t at = 12; at + 8 <= b.size() && problem.empty() && !data;) {
    size_t size = Le(&b[at + 4], 4), body = at + 8;
    size_t avail = b.size() - body < size ? b.size() - body : size;  // a cut file keeps what it has
    if (!std::memcmp(&b[at], "fmt ", 4) && avail < 16) {
      problem = "the format chunk holds " + std::to_string(avail) + " bytes, fewer than 16";
    } else if (!std::memcmp(&b[at], "fmt ", 4)) {
      f.code = uint16_t(Le(&b[body], 2));
      f.channels = uint16_t(Le(&b[body + 2], 2));
      f.rate = Le(&b[body + 4], 4);
      f.bits = uint16_t(Le(&b[body + 14], 2));
      if (f.code == kFormatExtensible && avail >= 26) f.code = uint16_t(Le(&b[body + 24], 2));
    } else if (!std::memcmp(&b[at], "data", 4)) {
      data = &b[body];
      dataBytes = avail;
    }
    at = body + avail + (avail & 1);
  }
  // The sound is read with the format that comes before it, as a streaming reader must.
  if (problem.empty())
    problem = !data ? "no sound data" : f.code == 0 ? "no format chunk before the sound" : CheckFormat(f);
  if (!problem.empty()) {
    *error = path + ": " + problem;
    return 0;
  }
  const size_t step = f.bits / 8, count = dataBytes / step / f.channels * f.channels;
  sound->Rate = f.rate;
  sound->Channels = f.channels;
  sound->Samples.resize(count);
  for (size_t i = 0; i < count; ++i) sound->Samples[i] = Sample(data + i * step, f);
  return 1;
}
