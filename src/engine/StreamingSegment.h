#pragma once

#include <QSize>
#include <QString>

#include "engine/EncoderChoice.h"
#include "engine/SegmentPlan.h"
#include "engine/UpscaleCore.h"

// One segment of a video upscaled without frame files: ffmpeg decodes raw frames into a pipe,
// korvane-engine upscales them into a second pipe, ffmpeg encodes them into segmentPath.
// UpscaleCore::runStreamingSegment runs it.
struct StreamSegment {
    QString input;
    VideoMeta meta; // the source as measured: stream, rate, colour
    double start = 0;
    double duration = 0;
    QSize frame;        // frames handed to the engine
    QSize output;       // the encoded picture
    ModelChoice choice; // model, output scale and tile of the engine
    VideoEncoder encoder;
    qint64 bitRate = 0;
    bool hevc = false;
    QString segmentPath;

    // The segment of a video from start, length seconds long, as the plan has it.
    static StreamSegment forVideo(const QString& input, const VideoMeta& meta,
                                  const SegmentPlan& plan, const VideoEncoder& encoder,
                                  double start, double length, const QString& segmentPath);
};
