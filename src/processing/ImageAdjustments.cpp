#include "processing/ImageAdjustments.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {
constexpr float redWeight = 0.2125f;
constexpr float greenWeight = 0.7154f;
constexpr float blueWeight = 0.0721f;
// The blur that separates detail from the luma: a Gaussian of this standard deviation, in pixels.
constexpr float blurSigma = 1.69f;
constexpr int blurRadius = 5;

float luma(float r, float g, float b)
{
    return redWeight * r + greenWeight * g + blueWeight * b;
}

uchar toByte(float value)
{
    return uchar(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

// Straight (not premultiplied) 8-bit RGBA, which both steps read and write in place.
QImage straightRgba(const QImage& picture)
{
    return picture.convertToFormat(QImage::Format_RGBA8888);
}

std::array<float, 2 * blurRadius + 1> gaussianWeights()
{
    std::array<float, 2 * blurRadius + 1> weights{};
    float sum = 0;
    for (int i = -blurRadius; i <= blurRadius; ++i) {
        const float w = std::exp(-float(i * i) / (2.0f * blurSigma * blurSigma));
        weights[size_t(i + blurRadius)] = w;
        sum += w;
    }
    for (float& w : weights)
        w /= sum;
    return weights;
}
} // namespace

QImage ImageAdjustments::colorControls(const QImage& picture, float brightness, float contrast,
                                       float saturation)
{
    if (picture.isNull())
        return {};
    QImage image = straightRgba(picture);
    for (int y = 0; y < image.height(); ++y) {
        uchar* pixel = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, pixel += 4) {
            std::array<float, 3> c{pixel[0] / 255.0f, pixel[1] / 255.0f, pixel[2] / 255.0f};
            const float l = luma(c[0], c[1], c[2]);
            for (size_t i = 0; i < 3; ++i) {
                float v = l + (c[i] - l) * saturation;
                v += brightness;
                v = (v - 0.5f) * contrast + 0.5f;
                pixel[i] = toByte(v);
            }
        }
    }
    return image;
}

QImage ImageAdjustments::sharpenLuminance(const QImage& picture, float sharpness)
{
    if (picture.isNull())
        return {};
    QImage image = straightRgba(picture);
    const int w = image.width();
    const int h = image.height();
    const size_t count = size_t(w) * size_t(h);
    std::vector<float> lumaPlane(count);
    std::vector<float> blurred(count);
    std::vector<float> scratch(count);

    for (int y = 0; y < h; ++y) {
        const uchar* pixel = image.constScanLine(y);
        for (int x = 0; x < w; ++x, pixel += 4)
            lumaPlane[size_t(y) * size_t(w) + size_t(x)] =
                luma(pixel[0] / 255.0f, pixel[1] / 255.0f, pixel[2] / 255.0f);
    }

    // Separable Gaussian blur of the luma; edges repeat the border pixel.
    const auto weights = gaussianWeights();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float sum = 0;
            for (int k = -blurRadius; k <= blurRadius; ++k) {
                const int sx = std::clamp(x + k, 0, w - 1);
                sum +=
                    weights[size_t(k + blurRadius)] * lumaPlane[size_t(y) * size_t(w) + size_t(sx)];
            }
            scratch[size_t(y) * size_t(w) + size_t(x)] = sum;
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float sum = 0;
            for (int k = -blurRadius; k <= blurRadius; ++k) {
                const int sy = std::clamp(y + k, 0, h - 1);
                sum +=
                    weights[size_t(k + blurRadius)] * scratch[size_t(sy) * size_t(w) + size_t(x)];
            }
            blurred[size_t(y) * size_t(w) + size_t(x)] = sum;
        }
    }

    for (int y = 0; y < h; ++y) {
        uchar* pixel = image.scanLine(y);
        for (int x = 0; x < w; ++x, pixel += 4) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const float delta = sharpness * (lumaPlane[i] - blurred[i]);
            for (size_t c = 0; c < 3; ++c)
                pixel[c] = toByte(pixel[c] / 255.0f + delta);
        }
    }
    return image;
}

QImage ImageAdjustments::apply(const QImage& picture, double brightness, double contrast,
                               double saturation, double sharpness)
{
    QImage result = colorControls(picture, float(brightness), float(contrast), float(saturation));
    if (result.isNull())
        return picture;
    if (sharpness > 0) {
        QImage sharpened = sharpenLuminance(result, float(sharpness));
        if (!sharpened.isNull())
            result = std::move(sharpened);
    }
    return result;
}
