#include "tools/encode_input.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "tools/png_io.h"

namespace fs = std::filesystem;

namespace {

// The player turns Y, U, V into R, G, B with these fixed-point factors and offsets (in 1/16
// units, before the 0x7000 floor): R = aY + 2cV + kR, G = aY - bU - cV + kG, B = aY + 5bU + kB.
constexpr double kLuma = 0x4A89 * 64.0 / 65536.0 / 16.0;
constexpr double kChromaU = 0x6810 * 16.0 / 65536.0 / 16.0;
constexpr double kChromaV = 0x6810 * 32.0 / 65536.0 / 16.0;
constexpr double kOffsetR = (0x61D0 - 0x7000) / 16.0;
constexpr double kOffsetG = (0x78A7 - 0x7000) / 16.0;
constexpr double kOffsetB = (0x5E8D - 0x7000) / 16.0;

uint8_t Clamp(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); }

// The exact inverse of those equations for one pixel.
void PixelToYuv(const uint8_t* rgb, double* y, double* u, double* v) {
  const double r = rgb[0] - kOffsetR, g = rgb[1] - kOffsetG, b = rgb[2] - kOffsetB;
  const double aY = (g + b / 5.0 + r / 2.0) / 1.7;
  *y = aY / kLuma;
  *u = (b - aY) / (5.0 * kChromaU);
  *v = (r - aY) / (2.0 * kChromaV);
}

// The file-system calls take error codes: a name too long, a permission refused or a symbolic
// link loop is reported, never thrown.
std::string PngsInDirectory(const std::string& dir, std::vector<std::string>* files) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".png") files->push_back(it->path().string());
  std::sort(files->begin(), files->end());
  return ec ? "cannot list " + dir + ": " + ec.message() : "";
}

// Expands the one %d (optionally %0Nd) of a file-name pattern; "%%" is a percent sign. Returns
// false for a pattern with any other conversion.
bool ExpandPattern(const std::string& pattern, int number, std::string* name) {
  name->clear();
  int conversions = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      name->push_back(pattern[i]);
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      name->push_back('%');
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool zeros = j < pattern.size() && pattern[j] == '0';
    uint32_t width = 0;
    while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && width < 16)
      width = width * 10 + uint32_t(pattern[j++] - '0');
    if (j >= pattern.size() || pattern[j] != 'd' || ++conversions > 1) return false;
    std::string digits = std::to_string(number);
    if (digits.size() < width) digits.insert(0, width - digits.size(), zeros ? '0' : ' ');
    *name += digits;
    i = j;
  }
  return conversions == 1;
}

std::string PngsFromPattern(const std::string& pattern, std::vector<std::string>* files) {
  std::string name;
  std::error_code ec;
  for (int first : {0, 1}) {
    for (int k = first; ExpandPattern(pattern, k, &name) && fs::exists(name, ec); ++k)
      files->push_back(name);
    if (ec) return "cannot read " + name + ": " + ec.message();
    if (!files->empty()) break;
  }
  return "";
}

int ReadPng(EncodeInput* in, YuvPicture* picture, std::vector<uint8_t>* alpha, std::string* error) {
  if (in->NextPng >= in->PngFiles.size()) return 0;
  const std::string& path = in->PngFiles[in->NextPng++];
  PngImage image;
  if (!PngRead(path, &image, error)) return 0;
  if (in->Width == 0) in->Width = image.Width, in->Height = image.Height;
  if (image.Width != in->Width || image.Height != in->Height) {
    *error = path + " is " + std::to_string(image.Width) + " x " + std::to_string(image.Height) +
             ", the first picture " + std::to_string(in->Width) + " x " +
             std::to_string(in->Height);
    return 0;
  }
  RgbaToYuv(image.Rgba.get(), image.Width, image.Height, picture);
  alpha->clear();
  if (in->PngAlpha) {
    alpha->resize(picture->Y.size());
    for (size_t i = 0; i < alpha->size(); ++i) (*alpha)[i] = image.Rgba[4 * i + 3];
  }
  return 1;
}

}  // namespace

void RgbaToYuv(const uint8_t* rgba, uint32_t width, uint32_t height, YuvPicture* p) {
  const uint32_t cw = (width + 1) / 2, ch = (height + 1) / 2;
  p->Width = width, p->Height = height;
  p->Y.assign(size_t(width) * height, 0);
  // Chroma: the average over each 2x2 square (edge squares use the pixels they have).
  p->U.assign(size_t(cw) * ch, 128);
  p->V.assign(size_t(cw) * ch, 128);
  for (uint32_t cy = 0; cy < ch; ++cy)
    for (uint32_t cx = 0; cx < cw; ++cx) {
      double su = 0, sv = 0;
      int n = 0;
      for (uint32_t y = 2 * cy; y < std::min(2 * cy + 2, height); ++y)
        for (uint32_t x = 2 * cx; x < std::min(2 * cx + 2, width); ++x, ++n) {
          const size_t i = size_t(y) * width + x;
          double luma, u, v;
          PixelToYuv(rgba + 4 * i, &luma, &u, &v);
          p->Y[i] = Clamp(luma);
          su += u;
          sv += v;
        }
      p->U[size_t(cy) * cw + cx] = Clamp(su / n);
      p->V[size_t(cy) * cw + cx] = Clamp(sv / n);
    }
}

int EncodeInputOpen(EncodeInput* in, const std::string& source, bool pngAlpha,
                    std::string* error) {
  *in = EncodeInput{};
  in->PngAlpha = pngAlpha;
  // A directory holds PNG pictures; a name that is no file but a pattern names them; anything
  // else is a Y4M stream (whatever its name holds, '%' included).
  std::error_code ec;
  const fs::file_status status = fs::status(source, ec);
  std::string name;
  const bool isDir = fs::is_directory(status);
  if (!isDir && (fs::exists(status) || !ExpandPattern(source, 0, &name))) {
    if (!Y4mOpen(&in->Y4m, source, error)) return 0;
    in->Width = in->Y4m.Width, in->Height = in->Y4m.Height;
    in->RateNum = in->Y4m.RateNum, in->RateDen = in->Y4m.RateDen;
    return 1;
  }
  if (!PngAvailable()) {
    *error = "this build of vexa has no PNG support";
    return 0;
  }
  in->Png = true;
  *error = isDir ? PngsInDirectory(source, &in->PngFiles) : PngsFromPattern(source, &in->PngFiles);
  if (!error->empty()) return 0;
  if (in->PngFiles.empty()) {
    *error = "no PNG pictures found at " + source;
    return 0;
  }
  // The size comes from the first picture's header; its pixels are read as frame 1.
  if (!PngReadSize(in->PngFiles[0], &in->Width, &in->Height, error)) return 0;
  if (in->Width > 32767 || in->Height > 32767) {
    *error = "pictures larger than 32767 x 32767 cannot be stored";
    return 0;
  }
  return 1;
}

int EncodeInputRead(EncodeInput* in, YuvPicture* picture, std::vector<uint8_t>* alpha,
                    std::string* error) {
  error->clear();
  if (in->Png) return ReadPng(in, picture, alpha, error);
  alpha->clear();
  return Y4mReadFrame(&in->Y4m, picture, error);
}

void EncodeInputClose(EncodeInput* in) {
  if (!in->Png) Y4mClose(&in->Y4m);
}
