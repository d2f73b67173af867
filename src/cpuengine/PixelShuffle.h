#pragma once

#include "cpuengine/ModelShapes.h"

namespace cpuengine {

// Rearranges channels into space: output channel c of the pixel (y * factor + i, x * factor + j)
// is input channel (c * factor + i) * factor + j of the pixel (y, x). Both are stored pixel by
// pixel; in has in.channels = channels * factor * factor.
void pixelShuffle(const float* src, const Shape& in, int factor, float* dst);

} // namespace cpuengine
