#pragma once

#include "cpuengine/Network.h"

// Resizing of pictures stored pixel by pixel (height, width, channels), as the models' own
// resize layers do it: nearest neighbour, and bicubic (Keys, a = -0.75) with pixel centres
// aligned and edge pixels repeated beyond the border.
namespace cpuengine {

void resizeNearest(const float* src, const Shape& in, float* dst, const Shape& out);
void resizeBicubic(const float* src, const Shape& in, float* dst, const Shape& out);

} // namespace cpuengine
