#include "tools/png_io.h"

#include <cstdint>
#include <cstdio>
#include <new>

#ifdef VEXA_HAVE_PNG
#include <png.h>

int PngAvailable() { return 1; }

int PngWrite(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height,
             uint32_t channels, std::string* error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&image, path.c_str(), 0, pixels, png_int_32(width * channels),
                               nullptr)) {
    *error = "cannot write " + path + ": " + image.message;
    return 0;
  }
  return 1;
}

static int PngBegin(const std::string& path, png_image* image, std::string* error) {
  *image = png_image{};
  image->version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(image, path.c_str())) return 1;
  *error = "cannot read " + path + ": " + image->message;
  return 0;
}

int PngReadSize(const std::string& path, uint32_t* width, uint32_t* height, std::string* error) {
  png_image image;
  if (!PngBegin(path, &image, error)) return 0;
  *width = image.width;
  *height = image.height;
  png_image_free(&image);
  return 1;
}

int PngRead(const std::string& path, PngImage* out, std::string* error) {
  png_image image;
  if (!PngBegin(path, &image, error)) return 0;
  image.format = PNG_FORMAT_RGBA;
  out->Width = image.width;
  out->Height = image.height;
  const uint64_t bytes = uint64_t(image.width) * image.height * 4;
  out->Rgba.reset(bytes <= SIZE_MAX ? new (std::nothrow) uint8_t[size_t(bytes)] : nullptr);
  if (!out->Rgba) {
    *error = "cannot read " + path + ": out of memory for its " + std::to_string(image.width) +
             " x " + std::to_string(image.height) + " picture";
    png_image_free(&image);
    return 0;
  }
  if (!png_image_finish_read(&image, nullptr, out->Rgba.get(), 0, nullptr)) {
    *error = "cannot read " + path + ": " + image.message;
    png_image_free(&image);
    return 0;
  }
  return 1;
}

#else

int PngAvailable() { return 0; }

int PngWrite(const std::string&, const uint8_t*, uint32_t, uint32_t, uint32_t, std::string* error) {
  *error = "this build of vexa has no PNG support";
  return 0;
}

int PngRead(const std::string&, PngImage*, std::string* error) {
  *error = "this build of vexa has no PNG support";
  return 0;
}

int PngReadSize(const std::string&, uint32_t*, uint32_t*, std::string* error) {
  *error = "this build of vexa has no PNG support";
  return 0;
}

#endif
