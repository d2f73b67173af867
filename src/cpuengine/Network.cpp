#include "cpuengine/Network.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include <oneapi/dnnl/dnnl.hpp>

#include "cpuengine/PixelShuffle.h"
#include "cpuengine/Resample.h"

namespace cpuengine {

namespace {

using dnnl::memory;
using DataType = memory::data_type;

// Storage of one blob: enough floats to hold its values in its data type.
using Buffer = std::shared_ptr<std::vector<float>>;

std::size_t floatsFor(const Shape& shape, DataType type)
{
    return type == DataType::bf16 ? (shape.size() + 1) / 2 : shape.size();
}

memory::desc activationDesc(const Shape& shape, DataType type)
{
    return {{1, shape.channels, shape.height, shape.width}, type, memory::format_tag::nhwc};
}

// Whether this engine runs the layer on bf16 as well as on floats: the oneDNN primitives and the
// nearest resize. Pixel shuffle and bicubic resizes compute in floats.
bool runsInBFloat16(const Layer& layer)
{
    return layer.type == "Convolution" || layer.type == "PReLU" || layer.type == "Concat" ||
           layer.type == "BinaryOp" || layer.type == "Eltwise" || layer.type == "Split" ||
           (layer.type == "Interp" && layer.intParam(0, 0) == 1);
}

} // namespace

struct Network::Impl {
    dnnl::engine engine{dnnl::engine::kind::cpu, 0};
    dnnl::stream stream{engine};

    std::unordered_map<std::string, int> blobIndex;
    std::vector<Shape> shapes;
    std::vector<DataType> types;
    std::vector<int> uses;
    std::vector<Buffer> live;
    std::multimap<std::size_t, Buffer> pool;
    int inputIndex = 0;
    int outputIndex = 0;
    std::vector<std::function<void()>> steps;

    int fresh(Shape shape, DataType type)
    {
        shapes.push_back(shape);
        types.push_back(type);
        uses.push_back(0);
        return int(shapes.size()) - 1;
    }

    int index(const std::string& name) const { return blobIndex.at(name); }

    memory::desc desc(int blob) const
    {
        return activationDesc(shapes[std::size_t(blob)], types[std::size_t(blob)]);
    }

    memory mem(int blob) { return {desc(blob), engine, live[std::size_t(blob)]->data()}; }

    Buffer acquire(int blob)
    {
        const std::size_t size = floatsFor(shapes[std::size_t(blob)], types[std::size_t(blob)]);
        const auto it = pool.find(size);
        if (it != pool.end()) {
            Buffer buffer = it->second;
            pool.erase(it);
            return buffer;
        }
        return std::make_shared<std::vector<float>>(size);
    }

    // Gives the blob its storage: that of `shared` where a step overwrites its input, else a
    // buffer from the pool.
    void allocate(int blob, int shared = -1)
    {
        live[std::size_t(blob)] = shared >= 0 ? live[std::size_t(shared)] : acquire(blob);
    }

    // Whether a step may write `out` over `in`: it is in's last reader and both have the same
    // size and type. Asked while the step is added.
    bool canOverwrite(int in, int out) const
    {
        return uses[std::size_t(in)] == 1 && in != inputIndex &&
               types[std::size_t(in)] == types[std::size_t(out)] &&
               shapes[std::size_t(in)] == shapes[std::size_t(out)];
    }

    void release(int blob)
    {
        Buffer buffer = std::move(live[std::size_t(blob)]);
        if (buffer && buffer.use_count() == 1)
            pool.emplace(buffer->size(), std::move(buffer));
    }

    // The blob in the given type: itself, or a converted copy made by a step added here.
    int converted(int blob, DataType type)
    {
        if (types[std::size_t(blob)] == type)
            return blob;
        const int copy = fresh(shapes[std::size_t(blob)], type);
        uses[std::size_t(copy)] = 1;
        const dnnl::reorder reorder(
            dnnl::reorder::primitive_desc(engine, desc(blob), engine, desc(copy)));
        steps.push_back([this, reorder, blob, copy] {
            allocate(copy);
            reorder.execute(stream, {{DNNL_ARG_FROM, mem(blob)}, {DNNL_ARG_TO, mem(copy)}});
        });
        return copy;
    }

    // A step running a primitive that reads several sources (sum, concat) into one blob.
    void addManyToOne(const dnnl::primitive& primitive, const std::vector<int>& ins, int out)
    {
        steps.push_back([this, primitive, ins, out] {
            allocate(out);
            std::unordered_map<int, memory> args{{DNNL_ARG_DST, mem(out)}};
            for (std::size_t k = 0; k < ins.size(); ++k)
                args.emplace(DNNL_ARG_MULTIPLE_SRC + int(k), mem(ins[k]));
            primitive.execute(stream, args);
        });
    }

    void addConvolution(const Layer& layer, int in, int out, Precision precision,
                        double& multiplyAdds);
    void addPrelu(const Layer& layer, int in, int out);
    void addEltwise(const Layer& layer, std::vector<int> ins, int out);
    void addConcat(std::vector<int> ins, int out);
    void addInterp(const Layer& layer, int in, int out);
    void addPixelShuffle(const Layer& layer, int in, int out);
};

void Network::Impl::addConvolution(const Layer& layer, int in, int out, Precision precision,
                                   double& multiplyAdds)
{
    const ConvGeometry g = convGeometry(layer);
    const DataType compute = precision == Precision::BFloat16 ? DataType::bf16 : DataType::f32;
    in = converted(in, compute);
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
    const memory::dims weightDims{g.outputs, g.inputs, g.kernelH, g.kernelW};
    const memory::desc weightsAny(weightDims, compute, memory::format_tag::any);
    const memory::desc biasDesc({g.outputs}, DataType::f32, memory::format_tag::x);
    const dnnl::convolution_forward::desc description(
        dnnl::prop_kind::forward_inference, dnnl::algorithm::convolution_direct, desc(in),
        weightsAny, biasDesc, desc(out), {1, 1}, {g.padTop, g.padLeft}, {g.padBottom, g.padRight});
    const dnnl::convolution_forward::primitive_desc pd(description, attr, engine);
    const dnnl::convolution_forward conv(pd);

    // The weights, converted and reordered once into the layout the kernel wants.
    std::vector<float> plainWeights = layer.weights;
    memory userWeights({weightDims, DataType::f32, memory::format_tag::oihw}, engine,
                       plainWeights.data());
    memory weights(pd.weights_desc(), engine);
    dnnl::reorder(userWeights, weights).execute(stream, userWeights, weights);
    stream.wait();
    auto bias = std::make_shared<std::vector<float>>(layer.bias);
    if (bias->empty())
        bias->assign(std::size_t(g.outputs), 0.f);
    const memory biasMemory(biasDesc, engine, bias->data());
    multiplyAdds += double(shapes[std::size_t(out)].size()) * g.inputs * g.kernelH * g.kernelW;
    steps.push_back([this, conv, weights, bias, biasMemory, in, out] {
        allocate(out);
        conv.execute(stream, {{DNNL_ARG_SRC, mem(in)},
                              {DNNL_ARG_WEIGHTS, weights},
                              {DNNL_ARG_BIAS, biasMemory},
                              {DNNL_ARG_DST, mem(out)}});
    });
}

void Network::Impl::addPrelu(const Layer& layer, int in, int out)
{
    const int channels = shapes[std::size_t(out)].channels;
    auto slopes = std::make_shared<std::vector<float>>(layer.weights);
    if (slopes->size() == 1)
        slopes->assign(std::size_t(channels), slopes->front());
    in = converted(in, types[std::size_t(out)]);
    const memory::desc slopeDesc({1, channels, 1, 1}, DataType::f32, memory::format_tag::nhwc);
    const dnnl::prelu_forward::primitive_desc pd(
        dnnl::prelu_forward::desc(dnnl::prop_kind::forward_inference, desc(in), slopeDesc), engine);
    const dnnl::prelu_forward prelu(pd);
    const memory slopeMemory(slopeDesc, engine, slopes->data());
    const int shared = canOverwrite(in, out) ? in : -1;
    steps.push_back([this, prelu, slopes, slopeMemory, in, out, shared] {
        allocate(out, shared);
        prelu.execute(
            stream,
            {{DNNL_ARG_SRC, mem(in)}, {DNNL_ARG_WEIGHTS, slopeMemory}, {DNNL_ARG_DST, mem(out)}});
    });
}

void Network::Impl::addEltwise(const Layer& layer, std::vector<int> ins, int out)
{
    // BinaryOp and Eltwise reduce to a weighted sum, a product or a maximum of same-sized
    // pictures.
    dnnl::algorithm op = dnnl::algorithm::binary_add;
    std::vector<float> coefficients(ins.size(), 1.f);
    if (layer.type == "BinaryOp") {
        const int type = layer.intParam(0, 0);
        op = type == 2 ? dnnl::algorithm::binary_mul : dnnl::algorithm::binary_add;
        if (type == 1)
            coefficients[1] = -1.f;
    } else {
        const int type = layer.intParam(0, 1);
        op = type == 0   ? dnnl::algorithm::binary_mul
             : type == 2 ? dnnl::algorithm::binary_max
                         : dnnl::algorithm::binary_add;
        const std::vector<float>* given = layer.arrayParam(1);
        if (op == dnnl::algorithm::binary_add && given && !given->empty()) {
            if (given->size() != ins.size())
                failLayer(layer, "has a coefficient count that does not match its inputs");
            coefficients = *given;
        }
    }
    for (int& in : ins)
        in = converted(in, types[std::size_t(out)]);
    if (op == dnnl::algorithm::binary_add) {
        std::vector<memory::desc> sources;
        for (int in : ins)
            sources.push_back(desc(in));
        const dnnl::sum sum(dnnl::sum::primitive_desc(desc(out), coefficients, sources, engine));
        addManyToOne(sum, ins, out);
        return;
    }
    // A product or maximum of several pictures, one pair at a time into the output.
    const dnnl::binary binary(dnnl::binary::primitive_desc(
        dnnl::binary::desc(op, desc(out), desc(out), desc(out)), engine));
    const dnnl::reorder copy(
        dnnl::reorder::primitive_desc(engine, desc(ins.front()), engine, desc(out)));
    steps.push_back([this, binary, copy, ins, out] {
        allocate(out);
        copy.execute(stream, {{DNNL_ARG_FROM, mem(ins.front())}, {DNNL_ARG_TO, mem(out)}});
        for (std::size_t k = 1; k < ins.size(); ++k)
            binary.execute(stream, {{DNNL_ARG_SRC_0, mem(out)},
                                    {DNNL_ARG_SRC_1, mem(ins[k])},
                                    {DNNL_ARG_DST, mem(out)}});
    });
}

void Network::Impl::addConcat(std::vector<int> ins, int out)
{
    std::vector<memory::desc> sources;
    for (int& in : ins) {
        in = converted(in, types[std::size_t(out)]);
        sources.push_back(desc(in));
    }
    const dnnl::concat concat(dnnl::concat::primitive_desc(desc(out), 1, sources, engine));
    addManyToOne(concat, ins, out);
}

void Network::Impl::addInterp(const Layer& layer, int in, int out)
{
    const Shape inShape = shapes[std::size_t(in)];
    const Shape outShape = shapes[std::size_t(out)];
    if (layer.intParam(0, 0) == 1) {
        // Nearest neighbour copies values, whatever their type.
        in = converted(in, types[std::size_t(out)]);
        const std::size_t elementSize = types[std::size_t(out)] == DataType::bf16 ? 2 : 4;
        steps.push_back([this, inShape, outShape, elementSize, in, out] {
            allocate(out);
            resizeNearest(live[std::size_t(in)]->data(), inShape, live[std::size_t(out)]->data(),
                          outShape, elementSize);
        });
        return;
    }
    in = converted(in, DataType::f32);
    steps.push_back([this, inShape, outShape, in, out] {
        allocate(out);
        resizeBicubic(live[std::size_t(in)]->data(), inShape, live[std::size_t(out)]->data(),
                      outShape);
    });
}

void Network::Impl::addPixelShuffle(const Layer& layer, int in, int out)
{
    const int factor = layer.intParam(0, 1);
    const Shape inShape = shapes[std::size_t(in)];
    in = converted(in, DataType::f32);
    steps.push_back([this, factor, inShape, in, out] {
        allocate(out);
        pixelShuffle(live[std::size_t(in)]->data(), inShape, factor,
                     live[std::size_t(out)]->data());
    });
}

Network::Network(const Model& model, Shape input, Precision precision)
    : m_impl(std::make_unique<Impl>()), m_input(input)
{
    Impl& d = *m_impl;
    const auto blobs = inferBlobs(model, input);
    m_output = blobs.at(model.outputBlob).shape;

    // Every blob gets an index; the outputs of a Split share their input's.
    for (const Layer& layer : model.layers) {
        for (const std::string& name : layer.outputs) {
            if (layer.type == "Split")
                d.blobIndex[name] = d.index(layer.inputs.front());
            else
                d.blobIndex[name] = d.fresh(blobs.at(name).shape, DataType::f32);
        }
    }
    d.inputIndex = d.index(model.inputBlob);
    d.outputIndex = d.index(model.outputBlob);

    // A blob is kept in bf16 where its producer and every one of its readers run in bf16; the
    // convolutions make the first bf16 blobs, the other layers pass bf16 on.
    std::vector<bool> readersTakeBFloat16(d.shapes.size(), true);
    for (const Layer& layer : model.layers)
        for (const std::string& name : layer.inputs) {
            if (layer.type == "Split")
                continue;
            ++d.uses[std::size_t(d.index(name))];
            if (!runsInBFloat16(layer))
                readersTakeBFloat16[std::size_t(d.index(name))] = false;
        }
    for (const Layer& layer : model.layers) {
        if (layer.type == "Split" || layer.type == "Input" || precision != Precision::BFloat16 ||
            !runsInBFloat16(layer))
            continue;
        const bool fromBFloat16 =
            layer.type == "Convolution" ||
            std::all_of(layer.inputs.begin(), layer.inputs.end(), [&](const std::string& name) {
                return d.types[std::size_t(d.index(name))] == DataType::bf16;
            });
        const int out = d.index(layer.outputs.front());
        if (fromBFloat16 && readersTakeBFloat16[std::size_t(out)] && out != d.outputIndex)
            d.types[std::size_t(out)] = DataType::bf16;
    }

    for (const Layer& layer : model.layers) {
        if (layer.type == "Input" || layer.type == "Split")
            continue;
        std::vector<int> ins;
        for (const std::string& name : layer.inputs)
            ins.push_back(d.index(name));
        const int out = d.index(layer.outputs.front());
        const std::size_t firstTemporary = d.shapes.size();
        if (layer.type == "Convolution")
            d.addConvolution(layer, ins.front(), out, precision, m_multiplyAdds);
        else if (layer.type == "PReLU")
            d.addPrelu(layer, ins.front(), out);
        else if (layer.type == "Interp")
            d.addInterp(layer, ins.front(), out);
        else if (layer.type == "PixelShuffle")
            d.addPixelShuffle(layer, ins.front(), out);
        else if (layer.type == "BinaryOp" || layer.type == "Eltwise")
            d.addEltwise(layer, ins, out);
        else if (layer.type == "Concat")
            d.addConcat(ins, out);
        // Inputs no later layer reads, and converted copies, are handed back to the pool.
        std::vector<int> finished;
        for (std::size_t t = firstTemporary; t < d.shapes.size(); ++t)
            finished.push_back(int(t));
        for (int in : ins)
            if (--d.uses[std::size_t(in)] == 0 && in != d.outputIndex)
                finished.push_back(in);
        if (!finished.empty())
            d.steps.push_back([&d, finished] {
                for (int blob : finished)
                    d.release(blob);
            });
    }
    d.live.resize(d.shapes.size());
}

Network::~Network() = default;

void Network::run(const float* input, std::vector<float>& output)
{
    Impl& d = *m_impl;
    d.live[std::size_t(d.inputIndex)] = d.acquire(d.inputIndex);
    std::memcpy(d.live[std::size_t(d.inputIndex)]->data(), input, m_input.size() * sizeof(float));
    for (const auto& step : d.steps)
        step();
    d.stream.wait();
    Buffer result = std::move(d.live[std::size_t(d.outputIndex)]);
    output.assign(result->begin(), result->end());
    for (Buffer& buffer : d.live)
        buffer.reset();
    if (result.use_count() == 1)
        d.pool.emplace(result->size(), std::move(result));
}

} // namespace cpuengine
