// The pictures of the demo movie: a sunset landscape with rolling hills, a bouncing ball and
// drifting clouds, drawn procedurally so that every frame moves a little.
#pragma once

#include <cstdint>
#include <vector>

// Draws frame `frame` (0-based) as RGBA rows of width x 4 bytes.
void DemoDrawFrame(uint32_t frame, uint32_t width, uint32_t height, std::vector<uint8_t>* rgba);
