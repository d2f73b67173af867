#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cpuengine/ModelFile.h"
#include "cpuengine/ModelShapes.h"
#include "cpuengine/Precision.h"

namespace cpuengine {

// One model prepared for one input size: the output shape is known, every layer has its oneDNN
// primitive (convolutions with their weights in the primitive's layout and their activation
// fused), and run() can be called for any number of inputs of that size. In bf16, the blobs
// that pass between oneDNN layers are stored as bf16 (pixel by pixel, the layout the kernels
// read and write directly, so nothing is reordered between layers); the input, the output and
// the blobs of layers that only have a 32-bit implementation here stay in floats. Not
// thread-safe: one run at a time.
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

} // namespace cpuengine
