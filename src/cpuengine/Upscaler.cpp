#include "cpuengine/Upscaler.h"

#include <algorithm>
#include <cmath>

namespace cpuengine {

namespace {

// The largest overlap tiles use: the model with a very deep graph sees far in theory, but what
// lies further than this does not change its output (measured: 24 pixels left differences of up
// to 23 units, 32 up to 9, 48 none).
constexpr int kMaxOverlap = 48;
// The picture is extended by mirroring before the model sees it, as the Vulkan engine does, so
// the edges come out the same as there.
constexpr int kEdgeMargin = 10;

} // namespace

TileLayout tileLayout(int length, int tile, int overlap, int margin)
{
    TileLayout layout;
    if (length <= 0)
        return layout;
    tile = std::max(tile, 1);
    const int count = (length + tile - 1) / tile;
    layout.window = std::min(length + 2 * margin, tile + 2 * overlap);
    for (int i = 0; i < count; ++i) {
        TileSpan span;
        span.coreBegin = int(std::int64_t(length) * i / count);
        span.coreEnd = int(std::int64_t(length) * (i + 1) / count);
        span.windowBegin =
            std::clamp(span.coreBegin - overlap, -margin, length + margin - layout.window);
        layout.spans.push_back(span);
    }
    return layout;
}

int mirrored(int position, int length)
{
    if (length == 1)
        return 0;
    if (position < 0)
        position = -position;
    if (position >= length)
        position = 2 * (length - 1) - position;
    return std::clamp(position, 0, length - 1);
}

Upscaler::Upscaler(Model model, int tile, int overlap, Precision precision)
    : m_model(std::move(model)), m_precision(precision)
{
    constexpr int probe = 32;
    const ModelGeometry geometry = modelGeometry(m_model, {3, probe, probe});
    if (geometry.output.channels != 3 || geometry.output.width % probe != 0 ||
        geometry.output.height != geometry.output.width)
        throw ModelError("the model does not turn a colour picture into a larger one");
    m_scale = geometry.output.width / probe;
    const int radius = int(std::ceil(geometry.receptiveRadius));
    m_overlap = overlap >= 0 ? overlap : std::min(radius, kMaxOverlap);
    // Shallow models run best on large tiles; deep ones keep their memory in check.
    m_tile = tile > 0 ? tile : (radius <= 64 ? 512 : 400);
}

Network& Upscaler::network(Shape window)
{
    auto& slot = m_networks[{window.height, window.width}];
    if (!slot)
        slot = std::make_unique<Network>(m_model, window, m_precision);
    return *slot;
}

std::vector<std::uint8_t> Upscaler::upscale(const std::uint8_t* rgb, int width, int height)
{
    const int s = m_scale;
    const int outWidth = width * s;
    std::vector<std::uint8_t> result(std::size_t(outWidth) * std::size_t(height * s) * 3);
    const TileLayout rows = tileLayout(height, m_tile, m_overlap, kEdgeMargin);
    const TileLayout columns = tileLayout(width, m_tile, m_overlap, kEdgeMargin);
    const Shape window{3, rows.window, columns.window};
    Network& net = network(window);

    std::vector<float> input(window.size());
    std::vector<float> output;
    for (const TileSpan& row : rows.spans) {
        for (const TileSpan& column : columns.spans) {
#pragma omp parallel for
            for (int y = 0; y < window.height; ++y) {
                const std::uint8_t* src =
                    rgb + std::size_t(mirrored(row.windowBegin + y, height)) * width * 3;
                float* dst = input.data() + std::size_t(y) * window.width * 3;
                for (int x = 0; x < window.width; ++x) {
                    const std::uint8_t* pixel = src + mirrored(column.windowBegin + x, width) * 3;
                    for (int c = 0; c < 3; ++c)
                        dst[x * 3 + c] = float(pixel[c]) * (1.f / 255.f);
                }
            }
            net.run(input.data(), output);
            m_multiplyAdds += net.multiplyAdds();
            const int outWindowWidth = window.width * s;
#pragma omp parallel for
            for (int y = row.coreBegin * s; y < row.coreEnd * s; ++y) {
                const float* src =
                    output.data() + (std::size_t(y - row.windowBegin * s) * outWindowWidth +
                                     std::size_t((column.coreBegin - column.windowBegin) * s)) *
                                        3;
                std::uint8_t* dst =
                    result.data() +
                    (std::size_t(y) * outWidth + std::size_t(column.coreBegin * s)) * 3;
                const int count = (column.coreEnd - column.coreBegin) * s * 3;
                for (int i = 0; i < count; ++i)
                    dst[i] = std::uint8_t(std::clamp(std::lround(src[i] * 255.f), 0L, 255L));
            }
        }
    }
    return result;
}

} // namespace cpuengine
