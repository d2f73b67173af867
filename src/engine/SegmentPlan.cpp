#include "engine/SegmentPlan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

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

    // Sizes are worked out on the short and the long side of the displayed picture; the target
    // names the short side, so a portrait clip keeps its orientation.
    const qint64 shortSide = meta.displayShortSide();
    const qint64 longSide = std::max(meta.displayWidth(), meta.displayHeight());
    const double ratio = double(longSide) / double(shortSide);
    const auto oriented = [&meta](qint64 shortValue, qint64 longValue) {
        return meta.portrait() ? std::pair{shortValue, longValue}
                               : std::pair{longValue, shortValue};
    };

    // The AI gets the smallest frame its scale needs to reach the target, never more than the
    // source has; the model's output is then at least as large as the displayed source.
    const double scaledShort = std::ceil(double(target) / double(std::max(choice.scale, 1)));
    qint64 frameShort = std::min<qint64>(shortSide, qint64(scaledShort));
    frameShort = std::max<qint64>(frameShort - frameShort % 2, 2);
    std::tie(plan.frameWidth, plan.frameHeight) =
        oriented(frameShort, VideoMeta::evenSize(double(frameShort) * ratio));
    std::tie(plan.outputWidth, plan.outputHeight) =
        oriented(target, VideoMeta::evenSize(double(target) * ratio));
    plan.outputPixels = plan.outputWidth * plan.outputHeight;

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
