#include "cpuengine/Resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace cpuengine {

namespace {

// For each output position: the four source positions (already clamped to the picture) and
// their weights.
struct Taps {
    std::vector<std::array<int, 4>> index;
    std::vector<std::array<float, 4>> weight;
};

Taps cubicTaps(int inSize, int outSize)
{
    constexpr float a = -0.75f;
    Taps taps;
    taps.index.resize(std::size_t(outSize));
    taps.weight.resize(std::size_t(outSize));
    const double scale = double(inSize) / double(outSize);
    for (int o = 0; o < outSize; ++o) {
        const float position = float((o + 0.5) * scale - 0.5);
        const int base = int(std::floor(position));
        const float t = position - float(base);
        const float t1 = t + 1.f;
        const float u = 1.f - t;
        std::array<float, 4> w{};
        w[0] = ((a * t1 - 5 * a) * t1 + 8 * a) * t1 - 4 * a;
        w[1] = ((a + 2) * t - (a + 3)) * t * t + 1;
        w[2] = ((a + 2) * u - (a + 3)) * u * u + 1;
        w[3] = 1.f - w[0] - w[1] - w[2];
        for (int k = 0; k < 4; ++k)
            taps.index[std::size_t(o)][std::size_t(k)] = std::clamp(base - 1 + k, 0, inSize - 1);
        taps.weight[std::size_t(o)] = w;
    }
    return taps;
}

} // namespace

void resizeNearest(const void* src, const Shape& in, void* dst, const Shape& out,
                   std::size_t elementSize)
{
    const float ys = float(in.height) / float(out.height);
    const float xs = float(in.width) / float(out.width);
    const std::size_t pixel = std::size_t(in.channels) * elementSize;
    const auto* from = static_cast<const unsigned char*>(src);
    auto* to = static_cast<unsigned char*>(dst);
#pragma omp parallel for
    for (int y = 0; y < out.height; ++y) {
        const int sy = std::min(int(float(y) * ys), in.height - 1);
        for (int x = 0; x < out.width; ++x) {
            const int sx = std::min(int(float(x) * xs), in.width - 1);
            std::memcpy(to + (std::size_t(y) * out.width + std::size_t(x)) * pixel,
                        from + (std::size_t(sy) * in.width + std::size_t(sx)) * pixel, pixel);
        }
    }
}

void resizeBicubic(const float* src, const Shape& in, float* dst, const Shape& out)
{
    const Taps across = cubicTaps(in.width, out.width);
    const Taps down = cubicTaps(in.height, out.height);
    const std::size_t c = std::size_t(in.channels);
    // Rows first (each source row resized to the output width), then columns.
    std::vector<float> rows(std::size_t(in.height) * out.width * c);
#pragma omp parallel for
    for (int y = 0; y < in.height; ++y) {
        const float* row = src + std::size_t(y) * in.width * c;
        float* target = rows.data() + std::size_t(y) * out.width * c;
        for (int x = 0; x < out.width; ++x) {
            const auto& index = across.index[std::size_t(x)];
            const auto& weight = across.weight[std::size_t(x)];
            for (std::size_t ch = 0; ch < c; ++ch) {
                float sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum +=
                        weight[std::size_t(k)] * row[std::size_t(index[std::size_t(k)]) * c + ch];
                target[std::size_t(x) * c + ch] = sum;
            }
        }
    }
    const std::size_t rowLength = std::size_t(out.width) * c;
#pragma omp parallel for
    for (int y = 0; y < out.height; ++y) {
        const auto& index = down.index[std::size_t(y)];
        const auto& weight = down.weight[std::size_t(y)];
        float* target = dst + std::size_t(y) * rowLength;
        for (std::size_t i = 0; i < rowLength; ++i) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += weight[std::size_t(k)] *
                       rows[std::size_t(index[std::size_t(k)]) * rowLength + i];
            target[i] = sum;
        }
    }
}

} // namespace cpuengine
