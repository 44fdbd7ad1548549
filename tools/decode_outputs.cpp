#include "tools/decode_outputs.h"

#include <cstdint>
#include <cstring>

#include "tools/png_io.h"
#include "vexa/copy.h"

namespace {

const uint32_t kBytesPerPixel[16] = {1, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2, 1};

bool WriteAll(FILE* f, const void* bytes, size_t n) { return n == 0 || std::fwrite(bytes, 1, n, f) == n; }

// Writes the top-left width x height pixels of a plane: straight from the plane when its rows
// follow each other without padding, else gathered into one buffer first (a write per row costs
// more than the decoding of the row).
bool WritePlane(DecodeOutputs* out, FILE* f, const VideoPlane& plane, uint32_t width,
                uint32_t height) {
  const size_t bytes = size_t(width) * height;
  if (plane.Pitch == width) return WriteAll(f, plane.Pixels, bytes);
  if (out->Buffer.size() < bytes) out->Buffer.resize(bytes);
  for (uint32_t y = 0; y < height; ++y)
    std::memcpy(out->Buffer.data() + size_t(y) * width, plane.Pixels + size_t(y) * plane.Pitch, width);
  return WriteAll(f, out->Buffer.data(), bytes);
}

bool WriteFlat(FILE* f, std::vector<uint8_t>* buffer, uint8_t value, size_t n) {
  buffer->assign(n, value);
  return WriteAll(f, buffer->data(), n);
}

// Y, then U (blue difference), then V (red difference). Packets hold V first and U second,
// except versions 'f' and 'g', which hold them the other way round.
bool WriteI420(DecodeOutputs* out, const Movie* m) {
  const VideoPlanes* p = m->Planes;
  const VideoPlane* set = p->Sets[p->Current];
  const uint32_t w = m->FileWidth, h = m->FileHeight, cw = (w + 1) / 2, ch = (h + 1) / 2;
  if (!WritePlane(out, out->Video, set[PlaneY], w, h)) return false;
  if (m->OpenFlags & OpenGrayscale) return WriteFlat(out->Video, &out->Buffer, 128, size_t(cw) * ch * 2);
  const bool swapped = (m->OpenFlags & MovieFlagSwapUV) != 0;
  const VideoPlane& u = set[swapped ? PlaneChroma1 : PlaneChroma2];
  const VideoPlane& v = set[swapped ? PlaneChroma2 : PlaneChroma1];
  return WritePlane(out, out->Video, u, cw, ch) && WritePlane(out, out->Video, v, cw, ch);
}

// Converts the current picture with the given copy flags into the scratch buffer (pitch: the
// displayed width in pixels of the type; planar: rounded up to even, with the chroma planes).
int CopyPicture(DecodeOutputs* out, Movie* m, uint32_t flags, std::string* error) {
  if (*error = SurfaceSizeError(m->Width, m->Height, flags); !error->empty()) return 0;
  out->Buffer.assign(size_t(SurfaceBytes(m->Width, m->Height, flags)), 0);
  MovieCopyToSurface(m, out->Buffer.data(), int32_t(SurfacePitch(m->Width, flags)), m->Height, 0,
                     0, 0, 0, m->Width, m->Height, flags | CopyAll | OpenNeverSkip);
  return 1;
}

int WritePng(DecodeOutputs* out, Movie* m, uint32_t frame, std::string* error) {
  const bool alpha = (m->OpenFlags & OpenAlpha) != 0;
  if (!CopyPicture(out, m, alpha ? SurfaceRGBA32 : SurfaceRGB24, error)) return 0;
  char name[32];
  std::snprintf(name, sizeof name, "/frame%06u.png", unsigned(frame));
  return PngWrite(out->PngDir + name, out->Buffer.data(), m->Width, m->Height, alpha ? 4 : 3,
                  error);
}

}  // namespace

uint64_t SurfacePitch(uint32_t width, uint32_t type) {
  const uint64_t pitch = uint64_t(width) * kBytesPerPixel[type & CopySurfaceTypeMask];
  return (type & CopySurfaceTypeMask) == SurfacePlanar ? pitch + pitch % 2 : pitch;
}

uint64_t SurfaceBytes(uint32_t width, uint32_t height, uint32_t type) {
  const uint64_t bytes = SurfacePitch(width, type) * height;
  return (type & CopySurfaceTypeMask) == SurfacePlanar ? bytes * 3 / 2 : bytes;
}

std::string SurfaceSizeError(uint32_t width, uint32_t height, uint32_t type) {
  // Surfaces are written whole; a 32767 x 32767 picture at four bytes a pixel still fits.
  const uint64_t bytes = SurfaceBytes(width, height, type);
  if (bytes <= uint64_t{1} << 32) return "";
  return "the " + std::to_string(width) + " x " + std::to_string(height) + " surface needs " +
         std::to_string(bytes) + " bytes, more than the 4 GiB that vexa decode writes at a time";
}

int DecodeWriteHeader(DecodeOutputs* out, const Movie* m) {
  if (!out->Video || !out->Y4m) return 1;
  return std::fprintf(out->Video, "YUV4MPEG2 W%u H%u F%u:%u Ip A1:1 C420jpeg\n",
                      unsigned(m->FileWidth), unsigned(m->FileHeight),
                      unsigned(m->FileFrameRate), unsigned(m->FileFrameRateDiv)) > 0;
}

int DecodeWriteFrame(DecodeOutputs* out, Movie* m, uint32_t frame, std::string* error) {
  bool ok = true;
  if (out->Video) {
    if (out->Y4m) ok &= WriteAll(out->Video, "FRAME\n", 6);
    ok &= WriteI420(out, m);
  }
  if (out->Alpha && (m->OpenFlags & OpenAlpha)) {
    const VideoPlanes* p = m->Planes;
    ok &= WritePlane(out, out->Alpha, p->Sets[p->Current][PlaneA], m->FileWidth, m->FileHeight);
  }
  if (out->Surface) {
    if (!CopyPicture(out, m, out->SurfaceFlags, error)) return 0;
    ok &= WriteAll(out->Surface, out->Buffer.data(), out->Buffer.size());
  }
  if (!ok) {
    *error = "cannot write the output";
    return 0;
  }
  if (!out->PngDir.empty()) return WritePng(out, m, frame, error);
  return 1;
}

int DecodeCloseOutputs(DecodeOutputs* out) {
  bool ok = true;
  for (FILE** f : {&out->Video, &out->Alpha, &out->Surface})
    if (*f) {
      ok &= std::fclose(*f) == 0;
      *f = nullptr;
    }
  return ok;
}
