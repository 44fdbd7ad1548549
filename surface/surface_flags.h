// Flags handed to SurfaceOpen and the bits of a surface's type word. The player computes the
// stretch bits from its output size; the surface compares them with what a style can do.
#pragma once

#include <cstdint>

// SurfaceOpen flags: bits 0-4 the blitting style, bit 23 "set the pending display mode", bits 24-31
// the stretch kinds the output size needs.
constexpr uint32_t SurfaceStyleMask = 0x0000001Fu;
constexpr uint32_t SurfaceSetMode = 0x00800000u;

constexpr uint32_t StretchWidthMultiple = 0x80000000u;   // a whole multiple of the picture width
constexpr uint32_t StretchWidthUp = 0x40000000u;         // wider, not a multiple
constexpr uint32_t StretchWidthDivisor = 0x20000000u;    // divides the picture width
constexpr uint32_t StretchWidthDown = 0x10000000u;       // narrower, not a divisor
constexpr uint32_t StretchHeightMultiple = 0x08000000u;
constexpr uint32_t StretchHeightUp = 0x04000000u;
constexpr uint32_t StretchHeightDivisor = 0x02000000u;
constexpr uint32_t StretchHeightDown = 0x01000000u;
constexpr uint32_t StretchMask = 0xFF000000u;

// Surface type word: the copy's surface type in the low bits plus these.
constexpr uint32_t SurfaceDirect = 0x04000000u;       // visible without a blit
constexpr uint32_t SurfaceStretchBlit = 0x08000000u;  // the blit stretches
