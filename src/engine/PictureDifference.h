#pragma once

#include <cmath>
#include <limits>

#include <QImage>

// How far one picture is from another, as the peak signal-to-noise ratio over the RGB channels in
// decibels: infinity for identical pictures, NaN when the sizes differ. Used to compare the
// outputs of the two AI engines.
inline double picturePsnr(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return std::numeric_limits<double>::quiet_NaN();
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int i = 0; i < x.width() * 3; ++i) {
            const double d = double(x.constScanLine(row)[i]) - double(y.constScanLine(row)[i]);
            sum += d * d;
        }
    }
    const double mse = sum / (double(x.width()) * x.height() * 3);
    return mse == 0 ? std::numeric_limits<double>::infinity()
                    : 10.0 * std::log10(255.0 * 255.0 / mse);
}
