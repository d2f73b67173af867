#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "cpuengine/ModelFile.h"
#include "cpuengine/Network.h"

namespace cpuengine {

// How a picture is cut into tiles along one side. The picture is first extended by `margin`
// pixels of mirrored content on each end; every tile reads a window of that extended picture of
// the same size (so one prepared network serves all of them), and writes only its core, which
// lies at least `overlap` pixels inside the window wherever the window does not touch the extended
// picture's end. Positions are in the picture's own coordinates (windows may begin below 0). Pure.
struct TileSpan {
    int coreBegin = 0;
    int coreEnd = 0;
    int windowBegin = 0;
};
struct TileLayout {
    int window = 0; // length of every window
    std::vector<TileSpan> spans;
};
TileLayout tileLayout(int length, int tile, int overlap, int margin);

// Where position (from -length up to 2 * length - 1) reads in a picture of that length: mirrored
// at both ends without repeating the edge pixel.
int mirrored(int position, int length);

// Upscales 8-bit RGB pictures at the model's own scale, tile by tile.
class Upscaler final {
public:
    // tile: longest side of a tile's core in input pixels, 0 for the model's default.
    // overlap: pixels each tile reads beyond its core, -1 for the model's default.
    Upscaler(Model model, int tile, int overlap, Precision precision);

    int scale() const { return m_scale; }
    int overlap() const { return m_overlap; }
    int tile() const { return m_tile; }

    // rgb holds width * height * 3 bytes; the result holds (width * scale()) * (height * scale())
    // * 3 bytes.
    std::vector<std::uint8_t> upscale(const std::uint8_t* rgb, int width, int height);

    // Multiply-adds computed so far (overlaps included), for speed figures.
    double multiplyAdds() const { return m_multiplyAdds; }

private:
    Network& network(Shape window);

    Model m_model;
    Precision m_precision;
    int m_scale = 1;
    int m_tile = 0;
    int m_overlap = 0;
    std::map<std::pair<int, int>, std::unique_ptr<Network>> m_networks;
    double m_multiplyAdds = 0;
};

} // namespace cpuengine
