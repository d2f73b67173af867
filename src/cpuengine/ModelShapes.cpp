#include "cpuengine/ModelShapes.h"

#include <algorithm>

namespace cpuengine {

[[noreturn]] void failLayer(const Layer& layer, const std::string& what)
{
    throw ModelError("layer " + layer.name + " (" + layer.type + "): " + what);
}

ConvGeometry convGeometry(const Layer& layer)
{
    ConvGeometry g{};
    g.outputs = layer.intParam(0, 0);
    g.kernelW = layer.intParam(1, 0);
    g.kernelH = layer.intParam(11, g.kernelW);
    if (layer.intParam(2, 1) != 1 || layer.intParam(12, 1) != 1 || layer.intParam(3, 1) != 1 ||
        layer.intParam(13, 1) != 1)
        failLayer(layer, "dilated or strided convolutions are not supported");
    if (layer.intParam(8, 0) != 0)
        failLayer(layer, "quantized convolutions are not supported");
    g.padLeft = layer.intParam(4, 0);
    if (g.padLeft < 0)
        failLayer(layer, "automatic padding is not supported");
    g.padTop = layer.intParam(14, g.padLeft);
    g.padRight = layer.intParam(15, g.padLeft);
    g.padBottom = layer.intParam(16, g.padTop);
    if (layer.floatParam(18, 0.f) != 0.f)
        failLayer(layer, "padding with a value other than zero is not supported");
    const int perOutput = g.kernelH * g.kernelW;
    const int size = layer.intParam(6, 0);
    if (g.outputs <= 0 || perOutput <= 0 || size % (g.outputs * perOutput) != 0)
        failLayer(layer, "the weight size does not match the kernel");
    g.inputs = size / (g.outputs * perOutput);
    const int activation = layer.intParam(9, 0);
    if (activation < 0 || activation > 2)
        failLayer(layer, "activation type " + std::to_string(activation) + " is not supported");
    return g;
}

Shape interpShape(const Layer& layer, const Shape& in)
{
    const int type = layer.intParam(0, 0);
    if (type != 1 && type != 3)
        failLayer(layer, "only nearest and bicubic resizing are supported");
    if (layer.intParam(6, 0) != 0)
        failLayer(layer, "corner-aligned resizing is not supported");
    int height = layer.intParam(3, 0);
    int width = layer.intParam(4, 0);
    if (height == 0 || width == 0) {
        height = int(float(in.height) * layer.floatParam(1, 1.f));
        width = int(float(in.width) * layer.floatParam(2, 1.f));
    }
    if (height <= 0 || width <= 0)
        failLayer(layer, "the resized picture would be empty");
    return {in.channels, height, width};
}

// Shapes of every blob for the given input, in layer order; checks that each layer can run.
std::map<std::string, BlobFacts> inferBlobs(const Model& model, Shape input)
{
    std::map<std::string, BlobFacts> blobs;
    const auto get = [&](const Layer& layer, std::size_t index) -> const BlobFacts& {
        if (index >= layer.inputs.size())
            failLayer(layer, "has too few inputs");
        const auto it = blobs.find(layer.inputs[index]);
        if (it == blobs.end())
            failLayer(layer, "reads " + layer.inputs[index] + ", which no earlier layer produces");
        return it->second;
    };
    for (const Layer& layer : model.layers) {
        BlobFacts out;
        if (layer.type == "Input") {
            out.shape = input;
        } else if (layer.type == "Convolution") {
            const BlobFacts& in = get(layer, 0);
            const ConvGeometry g = convGeometry(layer);
            if (g.inputs != in.shape.channels)
                failLayer(layer, "expects " + std::to_string(g.inputs) + " channels but gets " +
                                     std::to_string(in.shape.channels));
            out.shape = {g.outputs, in.shape.height + g.padTop + g.padBottom - g.kernelH + 1,
                         in.shape.width + g.padLeft + g.padRight - g.kernelW + 1};
            out.scale = in.scale;
            out.radius = in.radius + double(std::max(g.kernelH, g.kernelW) / 2) / in.scale;
        } else if (layer.type == "PReLU") {
            out = get(layer, 0);
            const int slopes = layer.intParam(0, 0);
            if (slopes != 1 && slopes != out.shape.channels)
                failLayer(layer, "has " + std::to_string(slopes) + " slopes for " +
                                     std::to_string(out.shape.channels) + " channels");
        } else if (layer.type == "Interp") {
            const BlobFacts& in = get(layer, 0);
            out.shape = interpShape(layer, in.shape);
            out.scale = in.scale * double(out.shape.width) / double(in.shape.width);
            out.radius = in.radius + (layer.intParam(0, 0) == 3 ? 2.0 / out.scale : 0.0);
        } else if (layer.type == "PixelShuffle") {
            const BlobFacts& in = get(layer, 0);
            const int factor = layer.intParam(0, 1);
            if (factor < 1 || in.shape.channels % (factor * factor) != 0 ||
                layer.intParam(1, 0) != 0)
                failLayer(layer, "the channel count does not divide by the factor squared");
            out.shape = {in.shape.channels / (factor * factor), in.shape.height * factor,
                         in.shape.width * factor};
            out.scale = in.scale * factor;
            out.radius = in.radius;
        } else if (layer.type == "BinaryOp" || layer.type == "Eltwise") {
            if (layer.type == "BinaryOp" &&
                (layer.intParam(0, 0) < 0 || layer.intParam(0, 0) > 2 || layer.intParam(1, 0)))
                failLayer(layer,
                          "only adding, subtracting and multiplying two pictures is supported");
            if (layer.type == "Eltwise" && (layer.intParam(0, 1) < 0 || layer.intParam(0, 1) > 2))
                failLayer(layer, "operation " + std::to_string(layer.intParam(0, 1)) +
                                     " is not supported");
            if (layer.inputs.size() < 2)
                failLayer(layer, "needs two inputs");
            out = get(layer, 0);
            for (std::size_t i = 1; i < layer.inputs.size(); ++i) {
                const BlobFacts& other = get(layer, i);
                if (!(other.shape == out.shape))
                    failLayer(layer, "combines pictures of different sizes");
                out.radius = std::max(out.radius, other.radius);
            }
        } else if (layer.type == "Concat") {
            if (layer.intParam(0, 0) != 0)
                failLayer(layer, "only joining along channels is supported");
            out = get(layer, 0);
            for (std::size_t i = 1; i < layer.inputs.size(); ++i) {
                const BlobFacts& other = get(layer, i);
                if (other.shape.height != out.shape.height || other.shape.width != out.shape.width)
                    failLayer(layer, "joins pictures of different sizes");
                out.shape.channels += other.shape.channels;
                out.radius = std::max(out.radius, other.radius);
            }
        } else if (layer.type == "Split") {
            out = get(layer, 0);
        }
        if (out.shape.height <= 0 || out.shape.width <= 0)
            failLayer(layer, "the picture is too small for this model");
        for (const std::string& name : layer.outputs)
            blobs[name] = out;
    }
    return blobs;
}

ModelGeometry modelGeometry(const Model& model, Shape input)
{
    const auto blobs = inferBlobs(model, input);
    const BlobFacts& out = blobs.at(model.outputBlob);
    return {out.shape, out.radius};
}

} // namespace cpuengine
