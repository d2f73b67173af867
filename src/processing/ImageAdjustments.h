#pragma once

#include <QImage>

// The colour and sharpness adjustments of the image screen, applied to a QImage in memory:
// - colour controls: saturation as a mix between each pixel and its luma, then brightness added,
//   then contrast about mid-grey ((value - 0.5) × contrast + 0.5), on values from 0 to 1;
// - luminance sharpening: the difference between the luma and a blurred luma, times the strength,
//   is added to all three channels, so the chroma stays as it was.
// The luma uses the Rec. 709 weights 0.2125, 0.7154 and 0.0721. Alpha is kept unchanged.
//
// Threading: one object is used by one thread at a time (the job worker). Its working buffers
// live only while a picture is sharpened: after a large result they would hold hundreds of
// megabytes for nothing.
class ImageAdjustments final {
public:
    ImageAdjustments() = default;

    // Colour controls with the given values; identity is saturation 1, brightness 0, contrast 1.
    // Gives a null image when picture is null.
    QImage colorControls(const QImage& picture, float brightness, float contrast, float saturation);
    // Luminance sharpening by sharpness (0 leaves the picture as it is, within rounding).
    QImage sharpenLuminance(const QImage& picture, float sharpness);

    // Both steps as the image job applies them: colour controls always, sharpening only when
    // sharpness is above 0.
    QImage apply(const QImage& picture, double brightness, double contrast, double saturation,
                 double sharpness);
};
