#pragma once

#include <cstddef>

#include "cpuengine/ModelShapes.h"

// Resizing of pictures stored pixel by pixel (height, width, channels), as the models' own
// resize layers do it: nearest neighbour, and bicubic (Keys, a = -0.75) with pixel centres
// aligned and edge pixels repeated beyond the border.
namespace cpuengine {

// Nearest neighbour only copies values, so it works on any element type of elementSize bytes.
void resizeNearest(const void* src, const Shape& in, void* dst, const Shape& out,
                   std::size_t elementSize);
void resizeBicubic(const float* src, const Shape& in, float* dst, const Shape& out);

} // namespace cpuengine
