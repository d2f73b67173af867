#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "cpuengine/ModelFile.h"

// Shape inference over a model's graph: what size every blob has for a given input, and whether
// each layer can run on it. Pure functions; errors are ModelErrors naming the layer.
namespace cpuengine {

// Height, width and channels of a picture or feature map. Data is stored pixel by pixel with the
// channels of one pixel side by side (height, width, channels).
struct Shape {
    int channels = 0;
    int height = 0;
    int width = 0;
    std::size_t size() const { return std::size_t(channels) * std::size_t(height) * width; }
    bool operator==(const Shape&) const = default;
};

// What shape inference knows about one blob: its shape and how many input pixels one of its
// pixels spans, with the radius of input it depends on.
struct BlobFacts {
    Shape shape;
    double scale = 1;  // its pixels per input pixel
    double radius = 0; // in input pixels
};

struct ConvGeometry {
    int outputs, kernelH, kernelW, padTop, padLeft, padBottom, padRight, inputs;
};

[[noreturn]] void failLayer(const Layer& layer, const std::string& what);

ConvGeometry convGeometry(const Layer& layer);
Shape interpShape(const Layer& layer, const Shape& in);
// Shapes of every blob for the given input, in layer order; checks that each layer can run.
std::map<std::string, BlobFacts> inferBlobs(const Model& model, Shape input);

// The output shape of a model for a given input, and how far (in input pixels) one output pixel
// looks around its position: the overlap tiles need for seamless results.
struct ModelGeometry {
    Shape output;
    double receptiveRadius = 0;
};
ModelGeometry modelGeometry(const Model& model, Shape input);

} // namespace cpuengine
