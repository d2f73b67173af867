#include "cpuengine/ModelFile.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace cpuengine {

namespace {

constexpr int kParamMagic = 7767517;
constexpr std::uint32_t kHalfTag = 0x01306B47;
// Array parameters are written with ids counted down from this one.
constexpr int kArrayIdBase = -23300;

[[noreturn]] void fail(const std::string& source, const std::string& what)
{
    throw ModelError(source + ": " + what);
}

float parseNumber(const std::string& text, const std::string& source, const std::string& layer)
{
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size())
        fail(source, "layer " + layer + " has an unreadable parameter value \"" + text + "\"");
    return value;
}

void parseParameter(Layer& layer, const std::string& item, const std::string& source)
{
    const auto equals = item.find('=');
    if (equals == std::string::npos)
        fail(source, "layer " + layer.name + " has an unreadable parameter \"" + item + "\"");
    const int id = int(parseNumber(item.substr(0, equals), source, layer.name));
    const std::string value = item.substr(equals + 1);
    if (id > kArrayIdBase) {
        layer.params[id] = {parseNumber(value, source, layer.name)};
        return;
    }
    // An array: its length first, then the values, separated by commas.
    std::vector<float> values;
    std::stringstream parts(value);
    std::string part;
    while (std::getline(parts, part, ','))
        values.push_back(parseNumber(part, source, layer.name));
    if (values.empty() || int(values.front()) != int(values.size()) - 1)
        fail(source, "layer " + layer.name + " has an array parameter of the wrong length");
    values.erase(values.begin());
    layer.params[kArrayIdBase - id] = std::move(values);
}

float halfToFloat(std::uint16_t half)
{
    const std::uint32_t sign = std::uint32_t(half & 0x8000) << 16;
    const int exponent = (half >> 10) & 0x1f;
    const std::uint32_t mantissa = half & 0x3ff;
    float magnitude = 0;
    if (exponent == 0)
        magnitude = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        magnitude = mantissa ? NAN : INFINITY;
    else
        magnitude = std::ldexp(float(mantissa | 0x400), exponent - 25);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    bits |= sign;
    float result = 0;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

// Walks the .bin contents in the order the layers consume them.
class WeightReader final {
public:
    WeightReader(const std::vector<char>& bin, const std::string& source)
        : m_bin(bin), m_source(source)
    {}

    // Plain 32-bit floats with no leading tag (biases, slopes).
    std::vector<float> plain(std::size_t count, const std::string& layer)
    {
        std::vector<float> values(count);
        take(values.data(), count * sizeof(float), layer);
        return values;
    }

    // Weights led by a storage tag: half precision, or plain floats after a zero tag.
    std::vector<float> tagged(std::size_t count, const std::string& layer)
    {
        std::uint32_t tag = 0;
        take(&tag, sizeof tag, layer);
        if (tag == 0)
            return plain(count, layer);
        if (tag != kHalfTag)
            fail(m_source, "layer " + layer +
                               " stores its weights in a quantized form this engine does not read");
        std::vector<std::uint16_t> halves(count);
        take(halves.data(), count * sizeof(std::uint16_t), layer);
        m_offset += (4 - (count * sizeof(std::uint16_t)) % 4) % 4; // padded to 4 bytes
        std::vector<float> values(count);
        for (std::size_t i = 0; i < count; ++i)
            values[i] = halfToFloat(halves[i]);
        return values;
    }

    std::size_t offset() const { return m_offset; }

private:
    void take(void* target, std::size_t bytes, const std::string& layer)
    {
        if (m_offset + bytes > m_bin.size())
            fail(m_source, "the file ends before the weights of layer " + layer +
                               " (it is truncated or belongs to another model)");
        std::memcpy(target, m_bin.data() + m_offset, bytes);
        m_offset += bytes;
    }

    const std::vector<char>& m_bin;
    const std::string& m_source;
    std::size_t m_offset = 0;
};

std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        fail(path, "cannot be opened (missing or unreadable)");
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

int Layer::intParam(int id, int fallback) const
{
    const auto it = params.find(id);
    return it == params.end() || it->second.empty() ? fallback : int(it->second.front());
}

float Layer::floatParam(int id, float fallback) const
{
    const auto it = params.find(id);
    return it == params.end() || it->second.empty() ? fallback : it->second.front();
}

const std::vector<float>* Layer::arrayParam(int id) const
{
    const auto it = params.find(id);
    return it == params.end() ? nullptr : &it->second;
}

bool isSupportedLayerType(const std::string& type)
{
    static const std::set<std::string> types{"Input",  "Convolution",  "PReLU",
                                             "Interp", "PixelShuffle", "BinaryOp",
                                             "Split",  "Concat",       "Eltwise"};
    return types.count(type) > 0;
}

Model parseParam(const std::string& text, const std::string& source)
{
    std::istringstream lines(text);
    std::string line;
    int magic = 0;
    if (!std::getline(lines, line) || (std::istringstream(line) >> magic, magic != kParamMagic))
        fail(source, "is not a model graph file (wrong first line)");
    int layerCount = 0;
    int blobCount = 0;
    if (!std::getline(lines, line) || !(std::istringstream(line) >> layerCount >> blobCount) ||
        layerCount <= 0)
        fail(source, "has no layer count");

    Model model;
    while (int(model.layers.size()) < layerCount && std::getline(lines, line)) {
        std::istringstream words(line);
        Layer layer;
        int inputCount = 0;
        int outputCount = 0;
        if (!(words >> layer.type))
            continue; // blank line
        if (!(words >> layer.name >> inputCount >> outputCount) || inputCount < 0 ||
            outputCount < 0)
            fail(source, "has an unreadable layer line \"" + line + "\"");
        if (!isSupportedLayerType(layer.type))
            fail(source, "layer " + layer.name + " has the type " + layer.type +
                             ", which this engine does not run");
        layer.inputs.resize(std::size_t(inputCount));
        layer.outputs.resize(std::size_t(outputCount));
        for (auto& blob : layer.inputs)
            words >> blob;
        for (auto& blob : layer.outputs)
            words >> blob;
        if (!words)
            fail(source, "layer " + layer.name + " lists fewer blobs than it declares");
        std::string item;
        while (words >> item)
            parseParameter(layer, item, source);
        if (layer.type == "Input") {
            if (layer.outputs.size() != 1 || !model.inputBlob.empty())
                fail(source, "must have exactly one input");
            model.inputBlob = layer.outputs.front();
        }
        model.layers.push_back(std::move(layer));
    }
    if (int(model.layers.size()) != layerCount)
        fail(source, "declares " + std::to_string(layerCount) + " layers but holds " +
                         std::to_string(model.layers.size()));
    if (model.inputBlob.empty())
        fail(source, "has no Input layer");
    if (model.layers.back().outputs.size() != 1)
        fail(source, "must end with a layer of one output");
    model.outputBlob = model.layers.back().outputs.front();
    return model;
}

void loadWeights(Model& model, const std::vector<char>& bin, const std::string& source)
{
    WeightReader reader(bin, source);
    for (Layer& layer : model.layers) {
        if (layer.type == "Convolution") {
            const int outputs = layer.intParam(0, 0);
            const int size = layer.intParam(6, 0);
            if (outputs <= 0 || size <= 0)
                fail(source, "layer " + layer.name + " has no weight size");
            layer.weights = reader.tagged(std::size_t(size), layer.name);
            if (layer.intParam(5, 0) != 0)
                layer.bias = reader.plain(std::size_t(outputs), layer.name);
        } else if (layer.type == "PReLU") {
            const int slopes = layer.intParam(0, 0);
            if (slopes <= 0)
                fail(source, "layer " + layer.name + " has no slope count");
            layer.weights = reader.plain(std::size_t(slopes), layer.name);
        }
    }
    if (reader.offset() != bin.size())
        fail(source, "holds more data than the model's layers use (it belongs to another model)");
}

Model loadModel(const std::string& paramPath, const std::string& binPath)
{
    Model model = parseParam(readText(paramPath), paramPath);
    const std::string bin = readText(binPath);
    loadWeights(model, std::vector<char>(bin.begin(), bin.end()), binPath);
    return model;
}

} // namespace cpuengine
