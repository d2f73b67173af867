#include "cpuengine/PixelShuffle.h"

#include <cstddef>

namespace cpuengine {

void pixelShuffle(const float* src, const Shape& in, int factor, float* dst)
{
    const int oc = in.channels / (factor * factor);
    const std::size_t outWidth = std::size_t(in.width) * std::size_t(factor);
#pragma omp parallel for
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const float* pixel = src + (std::size_t(y) * in.width + std::size_t(x)) * in.channels;
            for (int i = 0; i < factor; ++i)
                for (int j = 0; j < factor; ++j) {
                    float* o = dst + (std::size_t(y * factor + i) * outWidth +
                                      std::size_t(x * factor + j)) *
                                         std::size_t(oc);
                    for (int c = 0; c < oc; ++c)
                        o[c] = pixel[(c * factor + i) * factor + j];
                }
        }
}

} // namespace cpuengine
