#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include "engine/EncoderChoice.h"
#include "engine/SegmentPlan.h"

// The argument lists of the three programs of a streamed segment, which pass raw RGB frames
// through pipes instead of picture files: ffmpeg decodes and scales, korvane-engine upscales,
// ffmpeg encodes. Pure.
namespace StreamCommands {

// The size of the frames handed to the engine: the given height (made even) and the width that
// keeps the picture's shape as displayed, also even.
QSize frameSize(qint64 displayWidth, qint64 displayHeight, qint64 frameHeight);

// Raw RGB frames of one segment at exactly fps and exactly the given size on standard output.
// Seeks like the picture-file extraction: a later segment seeks quickly to 2 s before its start.
QStringList decode(const QString& input, double start, double duration, double fps, QSize frame);
// The engine reading frames of the given size on standard input.
QStringList engine(const ModelChoice& choice, QSize frame, const QString& modelsFolder);
// Raw RGB frames of the given size from standard input, encoded at the target height.
QStringList encode(QSize upscaled, double fps, qint64 targetHeight, const VideoEncoder& encoder,
                   qint64 bitRate, bool hevc, const QString& segmentPath);

// The plan when frames never touch the disk: segments of a minute, and only the encoded video
// counted in the storage estimate.
SegmentPlan streamingPlan(SegmentPlan plan);

// The number of frames the engine reports done so far on its standard error ("frame N" lines).
int framesDone(const QByteArray& engineOutput);
// The seconds the engine spent upscaling, from its closing "done N frames in S s" line; 0 when
// it has not written one.
double upscaleSeconds(const QByteArray& engineOutput);

} // namespace StreamCommands
