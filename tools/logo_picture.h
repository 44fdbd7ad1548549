// The closing logo: a "V" emblem over the word VEXA, drawn with anti-aliased strokes.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint32_t kLogoWidth = 224;
constexpr uint32_t kLogoHeight = 252;

// Draws the logo as RGBA rows of kLogoWidth x 4 bytes.
void LogoDraw(std::vector<uint8_t>* rgba);
