#pragma once

#include <optional>

#include <QtGlobal>

#include "engine/UpscaleCore.h"
#include "engine/VideoMeta.h"

// Every figure a video upscale fixes before its first segment: sizes, rates, the segment length
// that keeps one segment's frames within the free space, the storage estimate and the segments.
// Pure: computed from the video's facts, the options, the model choice and the free space.
struct SegmentPlan {
    ModelChoice choice;
    // All sizes are of the upright picture with square pixels, as players show it; the target
    // height of the options names its short side.
    qint64 frameWidth = 2; // size the frames are extracted at for the AI
    qint64 frameHeight = 2;
    qint64 outputWidth = 2; // size of the encoded result
    qint64 outputHeight = 2;
    qint64 outputPixels = 0;
    bool highResolution = false; // a short side of 2000 lines or more
    bool hevc = false;
    qint64 bitRate = 0;             // bits per second of the encoded video
    qint64 byteRate = 0;            // bytes per second of the encoded video
    double frameBytesPerSecond = 0; // enhanced frames on disk per second of video
    double segmentLength = 15;      // seconds
    double segmentFrameBytes = 0;
    qint64 neededBytes = 0;         // storage estimate for the whole run
    qint64 lowStorageThreshold = 0; // free space under which a segment does not start
    double durationUsed = 0.001;
    int segmentCount = 1;

    // freeBytes is the free space when the estimate is made; unknown counts as unlimited.
    static SegmentPlan make(const VideoMeta& meta, const UpscaleOptions& options,
                            const ModelChoice& choice, std::optional<qint64> freeBytes);

    double segmentStart(int index) const { return segmentLength * index; }
    // Seconds of segment index; 0 or less when the video ends before it.
    double segmentDuration(int index) const;
};
