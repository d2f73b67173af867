#pragma once

// The machine's convolution speed as oneDNN gives it: one 3x3 convolution, 64 to 64 channels, on
// a 256x256 feature map stored pixel by pixel, timed after a warm-up; the best of several runs.
namespace ConvThroughput {

enum class Format { Float32, BFloat16 };

// Multiply-adds per second, in billions; 0 where oneDNN has no kernel of that format here.
double measure(Format format);

} // namespace ConvThroughput
