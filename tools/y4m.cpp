#include "tools/y4m.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "tools/parse_number.h"

namespace {

constexpr size_t kMaxHeaderLine = 4096;

enum class Line { Read, End, TooLong };

// Reads one line (up to the newline, which is dropped), keeping at most 4096 bytes of it. A
// longer header line is an error; a longer frame line is read over (its parameters are unused).
Line ReadLine(FILE* f, std::string* line, bool frameLine) {
  line->clear();
  bool tooLong = false;
  int c;
  while ((c = std::fgetc(f)) != EOF && c != '\n') {
    if (line->size() < kMaxHeaderLine) line->push_back(char(c));
    else tooLong = true;
  }
  if (c == EOF && line->empty()) return Line::End;
  return tooLong && !frameLine ? Line::TooLong : Line::Read;
}

// Reads n bytes into *out, growing it with what arrives, so that a header that claims more than
// the stream holds costs no more memory than the data that is really there.
bool ReadExactly(FILE* f, size_t n, std::vector<uint8_t>* out) {
  out->clear();
  while (out->size() < n) {
    const size_t at = out->size(), want = std::min(n - at, std::max<size_t>(at, size_t{1} << 20));
    out->resize(at + want);
    const size_t got = std::fread(out->data() + at, 1, want, f);
    out->resize(at + got);
    if (got < want) return false;
  }
  return true;
}

bool ParseSize(const std::string& value, uint32_t* size) {
  return ParseWholeNumber(value, 1, 32767, size);
}

// The 8-bit colour spaces; the 4:2:0 ones differ only in where chroma is sited.
bool ParseSampling(const std::string& value, Y4mReader::Chroma* sampling) {
  if (value == "420" || value == "420jpeg" || value == "420paldv" || value == "420mpeg2")
    *sampling = Y4mReader::C420;
  else if (value == "422") *sampling = Y4mReader::C422;
  else if (value == "444") *sampling = Y4mReader::C444;
  else if (value == "mono") *sampling = Y4mReader::Mono;
  else return false;
  return true;
}

bool ParseTag(Y4mReader* r, const std::string& tag, std::string* error) {
  const char kind = tag[0];
  const std::string value = tag.substr(1);
  bool ok = true;
  if (kind == 'W') ok = ParseSize(value, &r->Width);
  if (kind == 'H') ok = ParseSize(value, &r->Height);
  if (kind == 'F') ok = ParseRatio(value, ':', false, &r->RateNum, &r->RateDen);
  if (!ok) {
    *error = "bad " + std::string(kind == 'F' ? "frame rate" : "picture size") +
             " in the Y4M header of " + r->Path + ": " + tag +
             (kind == 'F' ? " (give N:D, whole numbers from 1)" : " (1 to 32767)");
    return false;
  }
  if (kind == 'I' && value != "p" && value != "?") {
    *error = "interlaced Y4M input is not supported";
    return false;
  }
  if (kind == 'C' && !ParseSampling(value, &r->Sampling)) {
    *error = "unsupported Y4M colour space: C" + value + " (use 420, 422, 444 or mono, 8-bit)";
    return false;
  }
  return true;
}

uint32_t Half(uint32_t n) { return (n + 1) / 2; }

// Averages a full or half-height, full or half-width chroma plane down to 4:2:0.
void ToHalf(const uint8_t* src, uint32_t srcW, uint32_t srcH, bool halveX, bool halveY,
            std::vector<uint8_t>* dst, uint32_t dstW, uint32_t dstH) {
  dst->assign(size_t(dstW) * dstH, 128);
  for (uint32_t y = 0; y < dstH; ++y)
    for (uint32_t x = 0; x < dstW; ++x) {
      uint32_t x0 = halveX ? 2 * x : x, y0 = halveY ? 2 * y : y;
      uint32_t x1 = halveX && x0 + 1 < srcW ? x0 + 1 : x0;
      uint32_t y1 = halveY && y0 + 1 < srcH ? y0 + 1 : y0;
      uint32_t sum = src[y0 * srcW + x0] + src[y0 * srcW + x1] + src[y1 * srcW + x0] +
                     src[y1 * srcW + x1];
      (*dst)[size_t(y) * dstW + x] = uint8_t((sum + 2) / 4);
    }
}

}  // namespace

int Y4mOpen(Y4mReader* r, const std::string& path, std::string* error) {
  *r = Y4mReader{};
  r->Path = path;
  if (path == "-") PlatformStdinBinary();
  r->File = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!r->File) {
    *error = "cannot open " + path;
    return 0;
  }
  std::string header;
  const Line line = ReadLine(r->File, &header, false);
  if (line == Line::TooLong) {
    *error = "the Y4M header of " + path + " is longer than 4096 bytes";
    return 0;
  }
  if (line != Line::Read || header.rfind("YUV4MPEG2", 0) != 0) {
    *error = path + " is not a YUV4MPEG2 stream";
    return 0;
  }
  size_t at = 9;
  while (at < header.size()) {
    size_t end = header.find(' ', at + 1);
    if (end == std::string::npos) end = header.size();
    std::string tag = header.substr(at + 1, end - at - 1);
    if (!tag.empty() && !ParseTag(r, tag, error)) return 0;
    at = end;
  }
  if (r->Width == 0 || r->Height == 0) {
    *error = "no picture size in the Y4M header of " + path;
    return 0;
  }
  return 1;
}

int Y4mReadFrame(Y4mReader* r, YuvPicture* p, std::string* error) {
  error->clear();
  std::string line;
  if (ReadLine(r->File, &line, true) == Line::End) return 0;
  if (line.rfind("FRAME", 0) != 0) {
    *error = "damaged Y4M frame header in " + r->Path;
    return 0;
  }
  const uint32_t w = r->Width, h = r->Height;
  uint32_t cw = w, ch = h;
  if (r->Sampling == Y4mReader::C420) cw = Half(w), ch = Half(h);
  if (r->Sampling == Y4mReader::C422) cw = Half(w);
  const size_t lumaBytes = size_t(w) * h;
  const size_t chromaBytes = r->Sampling == Y4mReader::Mono ? 0 : size_t(cw) * ch;
  if (!ReadExactly(r->File, lumaBytes + 2 * chromaBytes, &r->Raw)) {
    *error = "truncated Y4M frame in " + r->Path;
    return 0;
  }
  p->Width = w, p->Height = h;
  p->Y.assign(r->Raw.begin(), r->Raw.begin() + lumaBytes);
  const uint32_t hw = Half(w), hh = Half(h);
  if (r->Sampling == Y4mReader::Mono) {
    p->U.assign(size_t(hw) * hh, 128);
    p->V.assign(size_t(hw) * hh, 128);
    return 1;
  }
  const uint8_t* u = r->Raw.data() + lumaBytes;
  const uint8_t* v = u + chromaBytes;
  const bool halveX = cw != hw, halveY = ch != hh;
  ToHalf(u, cw, ch, halveX, halveY, &p->U, hw, hh);
  ToHalf(v, cw, ch, halveX, halveY, &p->V, hw, hh);
  return 1;
}

void Y4mClose(Y4mReader* r) {
  if (r->File && r->File != stdin) std::fclose(r->File);
  r->File = nullptr;
}
