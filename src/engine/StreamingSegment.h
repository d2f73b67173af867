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
    double start = 0;
    double duration = 0;
    double fps = 30;
    QSize frame;        // frames handed to the engine
    ModelChoice choice; // model, output scale and tile of the engine
    qint64 targetHeight = 0;
    VideoEncoder encoder;
    qint64 bitRate = 0;
    bool hevc = false;
    QString segmentPath;

    // The segment of a video from start, length seconds long, as the plan has it. Reads the
    // video's display rotation: worker threads only.
    static StreamSegment forVideo(const QString& input, const VideoMeta& meta,
                                  const SegmentPlan& plan, const VideoEncoder& encoder,
                                  qint64 targetHeight, double start, double length,
                                  const QString& segmentPath);
};

// The quarter turns a video is displayed with (its display matrix), 0 when it has none. Blocks on
// the disk: worker threads only.
int displayQuarterTurns(const QString& path);
