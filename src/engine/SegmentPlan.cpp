#include "engine/SegmentPlan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 kMaxBytes = std::numeric_limits<qint64>::max();

qint64 wholeBytes(double value)
{
    if (!(value > 0))
        return 0;
    if (value >= double(kMaxBytes))
        return kMaxBytes;
    return qint64(value);
}

} // namespace

SegmentPlan SegmentPlan::make(const VideoMeta& meta, const UpscaleOptions& options,
                              const ModelChoice& choice, std::optional<qint64> freeBytes)
{
    SegmentPlan plan;
    plan.choice = choice;
    const qint64 target = options.targetHeight;

    const double scaledHeight = std::ceil(double(target) / double(std::max(choice.scale, 1)));
    qint64 frameHeight = std::min<qint64>(meta.height, qint64(scaledHeight));
    if (frameHeight % 2 != 0)
        frameHeight -= 1;
    plan.frameHeight = std::max<qint64>(frameHeight, 2);

    const double sourceHeight = meta.height > 1 ? double(meta.height) : 1.0;
    plan.outputWidth =
        std::max<qint64>(std::llround(double(target) * double(meta.width) / sourceHeight), 2);
    plan.outputPixels = plan.outputWidth * target;

    plan.highResolution = target >= 2000;
    plan.hevc = options.isHevc();
    if (plan.hevc) {
        plan.bitRate = plan.highResolution ? 28000000 : 9000000;
        plan.byteRate = plan.highResolution ? 3500000 : 1125000;
    } else {
        plan.bitRate = plan.highResolution ? 45000000 : 14000000;
        plan.byteRate = plan.highResolution ? 5625000 : 1750000;
    }

    const double freeSpace = double(freeBytes.value_or(kMaxBytes));
    plan.frameBytesPerSecond = double(plan.outputPixels) * 1.5 * std::max(meta.fps, 1.0);
    plan.segmentLength = plan.highResolution ? 8.0 : 15.0;
    if (plan.frameBytesPerSecond > 0) {
        const double fitting = std::max(freeSpace * 0.4 / plan.frameBytesPerSecond, 2.0);
        plan.segmentLength = std::min(plan.segmentLength, fitting);
    }
    plan.segmentFrameBytes = plan.frameBytesPerSecond * plan.segmentLength;

    // The segments, the joined video and the result exist side by side at the end: three copies.
    const double videoBytes = double(wholeBytes(double(plan.byteRate) * meta.duration));
    plan.neededBytes =
        wholeBytes((3.0 * videoBytes + double(wholeBytes(plan.segmentFrameBytes))) * 1.15);
    plan.lowStorageThreshold = wholeBytes(plan.segmentFrameBytes + 2000000000.0);

    // A video without length (or a broken one) is still worked as one tiny segment.
    plan.durationUsed = meta.duration > 0.001 ? meta.duration : 0.001;
    const double count = std::ceil(plan.durationUsed / plan.segmentLength);
    plan.segmentCount = int(std::clamp(count, 1.0, double(std::numeric_limits<int>::max())));
    return plan;
}

double SegmentPlan::segmentDuration(int index) const
{
    return std::min(durationUsed - segmentStart(index), segmentLength);
}
