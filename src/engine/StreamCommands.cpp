#include "engine/StreamCommands.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/FFmpegCommands.h"

namespace StreamCommands {

namespace {

constexpr double kSegmentSeconds = 60;

QString sizeText(QSize size)
{
    return QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
}

} // namespace

QStringList decode(const QString& input, double start, double duration, const VideoMeta& meta,
                   QSize frame)
{
    return QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                       QStringLiteral("error"), QStringLiteral("-nostdin")} +
           FFmpegCommands::segmentDecode(input, start, duration, meta, frame.width(),
                                         frame.height()) +
           QStringList{QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"), QStringLiteral("-f"),
                       QStringLiteral("rawvideo"), QStringLiteral("pipe:1")};
}

QStringList engine(const ModelChoice& choice, QSize frame, const QString& modelsFolder)
{
    return {QStringLiteral("--stream"), sizeText(frame),
            QStringLiteral("-n"),       choice.model,
            QStringLiteral("-s"),       QString::number(choice.scale),
            QStringLiteral("-t"),       QString::number(choice.tile),
            QStringLiteral("-m"),       modelsFolder};
}

QStringList encode(QSize upscaled, double fps, QSize output, const VideoEncoder& encoder,
                   qint64 bitRate, bool hevc, const QString& segmentPath)
{
    return QStringList{QStringLiteral("-hide_banner"),
                       QStringLiteral("-loglevel"),
                       QStringLiteral("error"),
                       QStringLiteral("-y"),
                       QStringLiteral("-f"),
                       QStringLiteral("rawvideo"),
                       QStringLiteral("-pix_fmt"),
                       QStringLiteral("rgb24"),
                       QStringLiteral("-s"),
                       sizeText(upscaled),
                       QStringLiteral("-framerate"),
                       FFmpegCommands::decimal3(fps),
                       QStringLiteral("-i"),
                       QStringLiteral("pipe:0")} +
           FFmpegCommands::videoEncode(output.width(), output.height(), encoder, bitRate, hevc) +
           QStringList{segmentPath};
}

SegmentPlan streamingPlan(SegmentPlan plan)
{
    plan.segmentLength = kSegmentSeconds;
    plan.segmentFrameBytes = 0;
    // The segments, the joined video and the result side by side at the end, as before.
    const double videoBytes = double(plan.byteRate) * plan.durationUsed;
    plan.neededBytes = qint64(std::min(3.0 * videoBytes * 1.15, 9.0e18));
    plan.lowStorageThreshold = 2000000000LL;
    const double count = std::ceil(plan.durationUsed / plan.segmentLength);
    plan.segmentCount = int(std::clamp(count, 1.0, double(std::numeric_limits<int>::max())));
    return plan;
}

int framesDone(const QByteArray& engineOutput)
{
    const QByteArray marker("frame ");
    const qsizetype at = engineOutput.lastIndexOf(marker);
    if (at < 0 || (at > 0 && engineOutput.at(at - 1) != '\n'))
        return 0;
    const qsizetype end = engineOutput.indexOf('\n', at);
    if (end < 0) // the line is still being written; the one before it is complete
        return std::max(0, framesDone(engineOutput.left(at)));
    bool ok = false;
    const int count = engineOutput.mid(at + marker.size(), end - at - marker.size()).toInt(&ok);
    return ok ? count : 0;
}

double upscaleSeconds(const QByteArray& engineOutput)
{
    const qsizetype at = engineOutput.lastIndexOf("\ndone ");
    if (at < 0)
        return 0;
    const QList<QByteArray> words = engineOutput.mid(at + 1).split(' ');
    // done N frames in S s ...
    if (words.size() < 5 || words[2] != "frames" || words[3] != "in")
        return 0;
    bool ok = false;
    const double seconds = words[4].toDouble(&ok);
    return ok && seconds >= 0 ? seconds : 0;
}

} // namespace StreamCommands
