#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include "engine/EncoderChoice.h"
#include "engine/SegmentPlan.h"
#include "engine/VideoMeta.h"

// The argument lists of the three programs of a streamed segment, which pass raw RGB frames
// through pipes instead of picture files: ffmpeg decodes and scales, korvane-engine upscales,
// ffmpeg encodes. Pure.
namespace StreamCommands {

// Raw RGB frames of one segment on standard output: the same decode, stream, rate, colour
// handling and size as the picture-file extraction.
QStringList decode(const QString& input, double start, double duration, const VideoMeta& meta,
                   QSize frame);
// The engine reading frames of the given size on standard input.
QStringList engine(const ModelChoice& choice, QSize frame, const QString& modelsFolder);
// Raw RGB frames of the given size from standard input, encoded like a picture-file segment at
// the output size.
QStringList encode(QSize upscaled, double fps, QSize output, const VideoEncoder& encoder,
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
