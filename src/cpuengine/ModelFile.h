#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// A Real-ESRGAN model as stored on disk: the layer graph of the .param text and the weights of
// the .bin file, for exactly the layer types the shipped models use. Anything else is refused
// with a ModelError whose message names the file and what is wrong.
namespace cpuengine {

class ModelError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Layer {
    std::string type;
    std::string name;
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    // Parameters by id; a plain value is a one-element list.
    std::map<int, std::vector<float>> params;
    // Convolution: weights (out, in, kh, kw) and bias; PReLU: slopes in weights.
    std::vector<float> weights;
    std::vector<float> bias;

    int intParam(int id, int fallback) const;
    float floatParam(int id, float fallback) const;
    const std::vector<float>* arrayParam(int id) const;
};

struct Model {
    std::vector<Layer> layers;
    std::string inputBlob;
    std::string outputBlob;
};

// The layer types this interpreter runs.
bool isSupportedLayerType(const std::string& type);

// Parses the graph text; `source` names the file in error messages.
Model parseParam(const std::string& text, const std::string& source);
// Fills the weights of every layer that has them from the .bin contents.
void loadWeights(Model& model, const std::vector<char>& bin, const std::string& source);
// Reads and parses <base>.param and <base>.bin.
Model loadModel(const std::string& paramPath, const std::string& binPath);

} // namespace cpuengine
