#include "cpuengine/Network.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include <oneapi/dnnl/dnnl.hpp>

#include "cpuengine/Resample.h"

namespace cpuengine {

namespace {

using Buffer = std::shared_ptr<std::vector<float>>;

// What shape inference knows about one blob: its shape and how many input pixels one of its
// pixels spans, with the radius of input it depends on.
struct BlobFacts {
    Shape shape;
    double scale = 1;  // its pixels per input pixel
    double radius = 0; // in input pixels
};

[[noreturn]] void fail(const Layer& layer, const std::string& what)
{
    throw ModelError("layer " + layer.name + " (" + layer.type + "): " + what);
}

struct ConvGeometry {
    int outputs, kernelH, kernelW, padTop, padLeft, padBottom, padRight, inputs;
};

ConvGeometry convGeometry(const Layer& layer)
{
    ConvGeometry g{};
    g.outputs = layer.intParam(0, 0);
    g.kernelW = layer.intParam(1, 0);
    g.kernelH = layer.intParam(11, g.kernelW);
    if (layer.intParam(2, 1) != 1 || layer.intParam(12, 1) != 1 || layer.intParam(3, 1) != 1 ||
        layer.intParam(13, 1) != 1)
        fail(layer, "dilated or strided convolutions are not supported");
    if (layer.intParam(8, 0) != 0)
        fail(layer, "quantized convolutions are not supported");
    g.padLeft = layer.intParam(4, 0);
    if (g.padLeft < 0)
        fail(layer, "automatic padding is not supported");
    g.padTop = layer.intParam(14, g.padLeft);
    g.padRight = layer.intParam(15, g.padLeft);
    g.padBottom = layer.intParam(16, g.padTop);
    if (layer.floatParam(18, 0.f) != 0.f)
        fail(layer, "padding with a value other than zero is not supported");
    const int perOutput = g.kernelH * g.kernelW;
    const int size = layer.intParam(6, 0);
    if (g.outputs <= 0 || perOutput <= 0 || size % (g.outputs * perOutput) != 0)
        fail(layer, "the weight size does not match the kernel");
    g.inputs = size / (g.outputs * perOutput);
    const int activation = layer.intParam(9, 0);
    if (activation < 0 || activation > 2)
        fail(layer, "activation type " + std::to_string(activation) + " is not supported");
    return g;
}

Shape interpShape(const Layer& layer, const Shape& in)
{
    const int type = layer.intParam(0, 0);
    if (type != 1 && type != 3)
        fail(layer, "only nearest and bicubic resizing are supported");
    if (layer.intParam(6, 0) != 0)
        fail(layer, "corner-aligned resizing is not supported");
    int height = layer.intParam(3, 0);
    int width = layer.intParam(4, 0);
    if (height == 0 || width == 0) {
        height = int(float(in.height) * layer.floatParam(1, 1.f));
        width = int(float(in.width) * layer.floatParam(2, 1.f));
    }
    if (height <= 0 || width <= 0)
        fail(layer, "the resized picture would be empty");
    return {in.channels, height, width};
}

// Shapes of every blob for the given input, in layer order; checks that each layer can run.
std::map<std::string, BlobFacts> inferBlobs(const Model& model, Shape input)
{
    std::map<std::string, BlobFacts> blobs;
    const auto get = [&](const Layer& layer, std::size_t index) -> const BlobFacts& {
        if (index >= layer.inputs.size())
            fail(layer, "has too few inputs");
        const auto it = blobs.find(layer.inputs[index]);
        if (it == blobs.end())
            fail(layer, "reads " + layer.inputs[index] + ", which no earlier layer produces");
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
                fail(layer, "expects " + std::to_string(g.inputs) + " channels but gets " +
                                std::to_string(in.shape.channels));
            out.shape = {g.outputs, in.shape.height + g.padTop + g.padBottom - g.kernelH + 1,
                         in.shape.width + g.padLeft + g.padRight - g.kernelW + 1};
            out.scale = in.scale;
            out.radius = in.radius + double(std::max(g.kernelH, g.kernelW) / 2) / in.scale;
        } else if (layer.type == "PReLU") {
            out = get(layer, 0);
            const int slopes = layer.intParam(0, 0);
            if (slopes != 1 && slopes != out.shape.channels)
                fail(layer, "has " + std::to_string(slopes) + " slopes for " +
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
                fail(layer, "the channel count does not divide by the factor squared");
            out.shape = {in.shape.channels / (factor * factor), in.shape.height * factor,
                         in.shape.width * factor};
            out.scale = in.scale * factor;
            out.radius = in.radius;
        } else if (layer.type == "BinaryOp" || layer.type == "Eltwise") {
            if (layer.type == "BinaryOp" &&
                (layer.intParam(0, 0) < 0 || layer.intParam(0, 0) > 2 || layer.intParam(1, 0)))
                fail(layer, "only adding, subtracting and multiplying two pictures is supported");
            if (layer.type == "Eltwise" && (layer.intParam(0, 1) < 0 || layer.intParam(0, 1) > 2))
                fail(layer,
                     "operation " + std::to_string(layer.intParam(0, 1)) + " is not supported");
            if (layer.inputs.size() < 2)
                fail(layer, "needs two inputs");
            out = get(layer, 0);
            for (std::size_t i = 1; i < layer.inputs.size(); ++i) {
                const BlobFacts& other = get(layer, i);
                if (!(other.shape == out.shape))
                    fail(layer, "combines pictures of different sizes");
                out.radius = std::max(out.radius, other.radius);
            }
        } else if (layer.type == "Concat") {
            if (layer.intParam(0, 0) != 0)
                fail(layer, "only joining along channels is supported");
            out = get(layer, 0);
            for (std::size_t i = 1; i < layer.inputs.size(); ++i) {
                const BlobFacts& other = get(layer, i);
                if (other.shape.height != out.shape.height || other.shape.width != out.shape.width)
                    fail(layer, "joins pictures of different sizes");
                out.shape.channels += other.shape.channels;
                out.radius = std::max(out.radius, other.radius);
            }
        } else if (layer.type == "Split") {
            out = get(layer, 0);
        }
        if (out.shape.height <= 0 || out.shape.width <= 0)
            fail(layer, "the picture is too small for this model");
        for (const std::string& name : layer.outputs)
            blobs[name] = out;
    }
    return blobs;
}

} // namespace

ModelGeometry modelGeometry(const Model& model, Shape input)
{
    const auto blobs = inferBlobs(model, input);
    const BlobFacts& out = blobs.at(model.outputBlob);
    return {out.shape, out.radius};
}

struct Network::Impl {
    dnnl::engine engine{dnnl::engine::kind::cpu, 0};
    dnnl::stream stream{engine};

    std::unordered_map<std::string, int> blobIndex;
    std::vector<Shape> blobShapes;
    std::vector<int> blobUses;
    std::vector<Buffer> live;
    std::multimap<std::size_t, Buffer> pool;
    int inputIndex = 0;
    int outputIndex = 0;
    std::vector<std::function<void()>> steps;

    int index(const std::string& name)
    {
        const auto it = blobIndex.find(name);
        if (it != blobIndex.end())
            return it->second;
        const int fresh = int(blobShapes.size());
        blobIndex.emplace(name, fresh);
        blobShapes.emplace_back();
        blobUses.push_back(0);
        return fresh;
    }

    Buffer acquire(std::size_t size)
    {
        const auto it = pool.find(size);
        if (it != pool.end()) {
            Buffer buffer = it->second;
            pool.erase(it);
            return buffer;
        }
        return std::make_shared<std::vector<float>>(size);
    }

    void release(int blob)
    {
        Buffer buffer = std::move(live[std::size_t(blob)]);
        if (buffer && buffer.use_count() == 1)
            pool.emplace(buffer->size(), std::move(buffer));
    }
};

namespace {

dnnl::memory::desc activationDesc(const Shape& shape)
{
    return {{1, shape.channels, shape.height, shape.width},
            dnnl::memory::data_type::f32,
            dnnl::memory::format_tag::nhwc};
}

} // namespace

Network::Network(const Model& model, Shape input, Precision precision)
    : m_impl(std::make_unique<Impl>()), m_input(input)
{
    using dnnl::memory;
    Impl& d = *m_impl;
    const auto blobs = inferBlobs(model, input);
    for (const auto& [name, facts] : blobs)
        d.blobShapes[std::size_t(d.index(name))] = facts.shape;
    m_output = blobs.at(model.outputBlob).shape;
    d.inputIndex = d.index(model.inputBlob);
    d.outputIndex = d.index(model.outputBlob);

    // How many layers read each blob: a blob read once can be overwritten by its reader.
    for (const Layer& layer : model.layers)
        for (const std::string& name : layer.inputs)
            ++d.blobUses[std::size_t(d.index(name))];

    for (std::size_t li = 0; li < model.layers.size(); ++li) {
        const Layer& layer = model.layers[li];
        if (layer.type == "Input")
            continue;
        std::vector<int> ins;
        for (const std::string& name : layer.inputs)
            ins.push_back(d.index(name));
        std::vector<int> outs;
        for (const std::string& name : layer.outputs)
            outs.push_back(d.index(name));
        const Shape inShape = d.blobShapes[std::size_t(ins.front())];
        Shape outShape = d.blobShapes[std::size_t(outs.front())];

        if (layer.type == "Convolution") {
            const ConvGeometry g = convGeometry(layer);
            dnnl::post_ops ops;
            const int activation = layer.intParam(9, 0);
            if (activation == 1)
                ops.append_eltwise(1.f, dnnl::algorithm::eltwise_relu, 0.f, 0.f);
            else if (activation == 2) {
                const std::vector<float>* slope = layer.arrayParam(10);
                ops.append_eltwise(1.f, dnnl::algorithm::eltwise_relu,
                                   slope && !slope->empty() ? slope->front() : 0.f, 0.f);
            }
            dnnl::primitive_attr attr;
            attr.set_post_ops(ops);
            if (precision == Precision::BFloat16)
                attr.set_fpmath_mode(dnnl::fpmath_mode::bf16);
            const memory::desc weightsAny({g.outputs, g.inputs, g.kernelH, g.kernelW},
                                          memory::data_type::f32, memory::format_tag::any);
            const memory::desc biasDesc({g.outputs}, memory::data_type::f32, memory::format_tag::x);
            const dnnl::convolution_forward::desc desc(
                dnnl::prop_kind::forward_inference, dnnl::algorithm::convolution_direct,
                activationDesc(inShape), weightsAny, biasDesc, activationDesc(outShape), {1, 1},
                {g.padTop, g.padLeft}, {g.padBottom, g.padRight});
            const dnnl::convolution_forward::primitive_desc pd(desc, attr, d.engine);
            const dnnl::convolution_forward conv(pd);

            // The weights, reordered once into the layout the primitive wants.
            std::vector<float> plainWeights = layer.weights;
            memory userWeights({{g.outputs, g.inputs, g.kernelH, g.kernelW},
                                memory::data_type::f32,
                                memory::format_tag::oihw},
                               d.engine, plainWeights.data());
            memory weights(pd.weights_desc(), d.engine);
            dnnl::reorder(userWeights, weights).execute(d.stream, userWeights, weights);
            d.stream.wait();
            auto bias = std::make_shared<std::vector<float>>(layer.bias);
            if (bias->empty())
                bias->assign(std::size_t(g.outputs), 0.f);
            const memory biasMemory(biasDesc, d.engine, bias->data());
            const memory::desc srcDesc = pd.src_desc();
            const memory::desc dstDesc = pd.dst_desc();
            m_multiplyAdds += double(outShape.size()) * g.inputs * g.kernelH * g.kernelW;
            const int in = ins.front();
            const int out = outs.front();
            d.steps.push_back([&d, conv, weights, bias, biasMemory, srcDesc, dstDesc, in, out] {
                Buffer target = d.acquire(d.blobShapes[std::size_t(out)].size());
                conv.execute(d.stream, {{DNNL_ARG_SRC, memory(srcDesc, d.engine,
                                                              d.live[std::size_t(in)]->data())},
                                        {DNNL_ARG_WEIGHTS, weights},
                                        {DNNL_ARG_BIAS, biasMemory},
                                        {DNNL_ARG_DST, memory(dstDesc, d.engine, target->data())}});
                d.stream.wait();
                d.live[std::size_t(out)] = std::move(target);
            });
        } else if (layer.type == "PReLU") {
            std::vector<float> slopes = layer.weights;
            if (slopes.size() == 1)
                slopes.assign(std::size_t(inShape.channels), slopes.front());
            const int in = ins.front();
            const int out = outs.front();
            const bool inPlace = d.blobUses[std::size_t(in)] == 1;
            d.steps.push_back([&d, slopes, inShape, in, out, inPlace] {
                const Buffer& source = d.live[std::size_t(in)];
                Buffer target = inPlace ? source : d.acquire(source->size());
                const float* src = source->data();
                float* dst = target->data();
                const std::size_t pixels = std::size_t(inShape.height) * inShape.width;
                const std::size_t channels = slopes.size();
                for (std::size_t p = 0; p < pixels; ++p, src += channels, dst += channels)
                    for (std::size_t c = 0; c < channels; ++c)
                        dst[c] = src[c] > 0 ? src[c] : src[c] * slopes[c];
                d.live[std::size_t(out)] = std::move(target);
            });
        } else if (layer.type == "Interp") {
            const bool nearest = layer.intParam(0, 0) == 1;
            const int in = ins.front();
            const int out = outs.front();
            d.steps.push_back([&d, nearest, inShape, outShape, in, out] {
                Buffer target = d.acquire(outShape.size());
                if (nearest)
                    resizeNearest(d.live[std::size_t(in)]->data(), inShape, target->data(),
                                  outShape);
                else
                    resizeBicubic(d.live[std::size_t(in)]->data(), inShape, target->data(),
                                  outShape);
                d.live[std::size_t(out)] = std::move(target);
            });
        } else if (layer.type == "PixelShuffle") {
            const int factor = layer.intParam(0, 1);
            const int in = ins.front();
            const int out = outs.front();
            d.steps.push_back([&d, factor, inShape, outShape, in, out] {
                const float* src = d.live[std::size_t(in)]->data();
                Buffer target = d.acquire(outShape.size());
                float* dst = target->data();
                const int oc = outShape.channels;
                for (int y = 0; y < inShape.height; ++y)
                    for (int x = 0; x < inShape.width; ++x) {
                        const float* pixel =
                            src + (std::size_t(y) * inShape.width + x) * inShape.channels;
                        for (int i = 0; i < factor; ++i)
                            for (int j = 0; j < factor; ++j) {
                                float* o = dst + (std::size_t(y * factor + i) * outShape.width +
                                                  std::size_t(x * factor + j)) *
                                                     oc;
                                for (int c = 0; c < oc; ++c)
                                    o[c] = pixel[(c * factor + i) * factor + j];
                            }
                    }
                d.live[std::size_t(out)] = std::move(target);
            });
        } else if (layer.type == "BinaryOp" || layer.type == "Eltwise") {
            // Both reduce to a weighted sum, a product or a maximum of same-sized pictures.
            enum { Sum, Product, Maximum } op = Sum;
            std::vector<float> coefficients(ins.size(), 1.f);
            if (layer.type == "BinaryOp") {
                const int type = layer.intParam(0, 0);
                op = type == 2 ? Product : Sum;
                if (type == 1)
                    coefficients[1] = -1.f;
            } else {
                const int type = layer.intParam(0, 1);
                op = type == 0 ? Product : type == 2 ? Maximum : Sum;
                const std::vector<float>* given = layer.arrayParam(1);
                if (op == Sum && given && !given->empty()) {
                    if (given->size() != ins.size())
                        fail(layer, "has a coefficient count that does not match its inputs");
                    coefficients = *given;
                }
            }
            const int out = outs.front();
            d.steps.push_back([&d, op, coefficients, ins, out] {
                const std::size_t size = d.live[std::size_t(ins.front())]->size();
                Buffer target = d.acquire(size);
                float* dst = target->data();
                const float* first = d.live[std::size_t(ins.front())]->data();
                for (std::size_t i = 0; i < size; ++i)
                    dst[i] = op == Sum ? first[i] * coefficients[0] : first[i];
                for (std::size_t k = 1; k < ins.size(); ++k) {
                    const float* src = d.live[std::size_t(ins[k])]->data();
                    const float c = coefficients[k];
                    if (op == Sum)
                        for (std::size_t i = 0; i < size; ++i)
                            dst[i] += c * src[i];
                    else if (op == Product)
                        for (std::size_t i = 0; i < size; ++i)
                            dst[i] *= src[i];
                    else
                        for (std::size_t i = 0; i < size; ++i)
                            dst[i] = std::max(dst[i], src[i]);
                }
                d.live[std::size_t(out)] = std::move(target);
            });
        } else if (layer.type == "Concat") {
            const int out = outs.front();
            std::vector<int> channels;
            for (int in : ins)
                channels.push_back(d.blobShapes[std::size_t(in)].channels);
            d.steps.push_back([&d, ins, channels, outShape, out] {
                Buffer target = d.acquire(outShape.size());
                const std::size_t pixels = std::size_t(outShape.height) * outShape.width;
                int offset = 0;
                for (std::size_t k = 0; k < ins.size(); ++k) {
                    const float* src = d.live[std::size_t(ins[k])]->data();
                    const std::size_t c = std::size_t(channels[k]);
                    for (std::size_t p = 0; p < pixels; ++p)
                        std::memcpy(target->data() + p * std::size_t(outShape.channels) +
                                        std::size_t(offset),
                                    src + p * c, c * sizeof(float));
                    offset += channels[k];
                }
                d.live[std::size_t(out)] = std::move(target);
            });
        } else if (layer.type == "Split") {
            const int in = ins.front();
            d.steps.push_back([&d, in, outs] {
                for (int out : outs)
                    d.live[std::size_t(out)] = d.live[std::size_t(in)];
            });
        }
        // Inputs no later layer reads are handed back to the pool.
        std::vector<int> finished;
        for (int in : ins)
            if (--d.blobUses[std::size_t(in)] == 0 && in != d.outputIndex)
                finished.push_back(in);
        if (!finished.empty())
            d.steps.push_back([&d, finished] {
                for (int blob : finished)
                    d.release(blob);
            });
    }
    d.live.resize(d.blobShapes.size());
}

Network::~Network() = default;

void Network::run(const float* input, std::vector<float>& output)
{
    Impl& d = *m_impl;
    Buffer source = d.acquire(m_input.size());
    std::memcpy(source->data(), input, m_input.size() * sizeof(float));
    d.live[std::size_t(d.inputIndex)] = std::move(source);
    for (const auto& step : d.steps)
        step();
    Buffer result = std::move(d.live[std::size_t(d.outputIndex)]);
    output.assign(result->begin(), result->end());
    for (Buffer& buffer : d.live)
        buffer.reset();
    if (result.use_count() == 1)
        d.pool.emplace(result->size(), std::move(result));
}

} // namespace cpuengine
