// PNG reading and writing for the vexa tool (through libpng when the build has it).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// 1 when this build can read and write PNG files.
int PngAvailable();

// Writes 8-bit RGB (channels 3) or RGBA (channels 4) rows; 0 with *error set on failure.
int PngWrite(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height,
             uint32_t channels, std::string* error);

// Reads a PNG as 8-bit RGBA rows (palette, grey and 16-bit images are expanded). The pixels are
// not cleared before decoding, so a file that claims more than it holds costs only the memory
// of what it really decodes; a size that cannot be allocated is an error, not an exception.
struct PngImage {
  uint32_t Width = 0, Height = 0;
  std::unique_ptr<uint8_t[]> Rgba;  // Width x Height x 4 bytes
};
int PngRead(const std::string& path, PngImage* image, std::string* error);
// Reads only the picture size from the PNG's header.
int PngReadSize(const std::string& path, uint32_t* width, uint32_t* height, std::string* error);
