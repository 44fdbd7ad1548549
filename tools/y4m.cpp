#include "tools/y4m.h"

#include <cstdlib>
#include <cstring>

namespace {

// Reads one line (up to the newline, which is dropped); false at the end of the file.
bool ReadLine(FILE* f, std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(f)) != EOF && c != '\n') {
    if (line->size() > 4096) return false;  // no header is that long
    line->push_back(char(c));
  }
  return c == '\n' || !line->empty();
}

bool ParseTag(Y4mReader* r, const std::string& tag, std::string* error) {
  const char kind = tag[0];
  const std::string value = tag.substr(1);
  if (kind == 'W') r->Width = uint32_t(std::strtoul(value.c_str(), nullptr, 10));
  if (kind == 'H') r->Height = uint32_t(std::strtoul(value.c_str(), nullptr, 10));
  if (kind == 'F') {
    unsigned long num = 0, den = 0;
    if (std::sscanf(value.c_str(), "%lu:%lu", &num, &den) != 2 || !num || !den ||
        num > 0xFFFFFFFFu || den > 0xFFFFFFFFu) {
      *error = "bad frame rate in the Y4M header: " + value;
      return false;
    }
    r->RateNum = uint32_t(num), r->RateDen = uint32_t(den);
  }
  if (kind == 'I' && value != "p" && value != "?") {
    *error = "interlaced Y4M input is not supported";
    return false;
  }
  if (kind == 'C') {
    if (value.rfind("420", 0) == 0) r->Sampling = Y4mReader::C420;
    else if (value == "422") r->Sampling = Y4mReader::C422;
    else if (value == "444") r->Sampling = Y4mReader::C444;
    else if (value == "mono") r->Sampling = Y4mReader::Mono;
    else {
      *error = "unsupported Y4M colour space: C" + value + " (use 420, 422, 444 or mono, 8-bit)";
      return false;
    }
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
  r->File = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!r->File) {
    *error = "cannot open " + path;
    return 0;
  }
  std::string header;
  if (!ReadLine(r->File, &header) || header.rfind("YUV4MPEG2", 0) != 0) {
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
  if (r->Width == 0 || r->Height == 0 || r->Width > 32767 || r->Height > 32767) {
    *error = "bad picture size in the Y4M header of " + path;
    return 0;
  }
  return 1;
}

int Y4mReadFrame(Y4mReader* r, YuvPicture* p, std::string* error) {
  error->clear();
  std::string line;
  if (!ReadLine(r->File, &line)) return 0;
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
  r->Raw.resize(lumaBytes + 2 * chromaBytes);
  if (std::fread(r->Raw.data(), 1, r->Raw.size(), r->File) != r->Raw.size()) {
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
