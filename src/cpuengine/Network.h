#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cpuengine/ModelFile.h"

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

// Whether convolutions may compute in bfloat16 where the processor supports it.
enum class Precision { Float32, BFloat16 };

// One model prepared for one input size: the output shape is known, every convolution has its
// oneDNN primitive and its weights in the primitive's layout, and run() can be called for any
// number of inputs of that size. Not thread-safe: one run at a time.
class Network final {
public:
    Network(const Model& model, Shape input, Precision precision);
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    const Shape& inputShape() const { return m_input; }
    const Shape& outputShape() const { return m_output; }
    // Multiply-adds of one run, for speed figures.
    double multiplyAdds() const { return m_multiplyAdds; }

    // input holds inputShape().size() values; output is resized to outputShape().size().
    void run(const float* input, std::vector<float>& output);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    Shape m_input;
    Shape m_output;
    double m_multiplyAdds = 0;
};

// The output shape of a model for a given input, and how far (in input pixels) one output pixel
// looks around its position: the overlap tiles need for seamless results.
struct ModelGeometry {
    Shape output;
    double receptiveRadius = 0;
};
ModelGeometry modelGeometry(const Model& model, Shape input);

} // namespace cpuengine
