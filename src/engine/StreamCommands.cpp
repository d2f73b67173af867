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

QSize frameSize(qint64 displayWidth, qint64 displayHeight, qint64 frameHeight)
{
    const qint64 height = std::max<qint64>(frameHeight - frameHeight % 2, 2);
    const double ratio = displayHeight > 0 ? double(displayWidth) / double(displayHeight) : 1.0;
    qint64 width = std::llround(double(height) * ratio / 2.0) * 2;
    width = std::max<qint64>(width, 2);
    return {int(width), int(height)};
}

QStringList decode(const QString& input, double start, double duration, double fps, QSize frame)
{
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"), QStringLiteral("-nostdin")};
    if (start > 0)
        arguments += {QStringLiteral("-ss"), FFmpegCommands::decimal3(start - 2.0),
                      QStringLiteral("-i"),  input,
                      QStringLiteral("-ss"), QStringLiteral("2")};
    else
        arguments += {QStringLiteral("-i"), input};
    arguments += {QStringLiteral("-map"),
                  QStringLiteral("0:v:0"),
                  QStringLiteral("-fps_mode"),
                  QStringLiteral("cfr"),
                  QStringLiteral("-r"),
                  FFmpegCommands::decimal3(fps),
                  QStringLiteral("-t"),
                  FFmpegCommands::decimal3(duration),
                  QStringLiteral("-vf"),
                  QStringLiteral("scale=") + QString::number(frame.width()) + QLatin1Char(':') +
                      QString::number(frame.height()) + QStringLiteral(":flags=area"),
                  QStringLiteral("-pix_fmt"),
                  QStringLiteral("rgb24"),
                  QStringLiteral("-f"),
                  QStringLiteral("rawvideo"),
                  QStringLiteral("pipe:1")};
    return arguments;
}

QStringList engine(const ModelChoice& choice, QSize frame, const QString& modelsFolder)
{
    return {QStringLiteral("--stream"), sizeText(frame),
            QStringLiteral("-n"),       choice.model,
            QStringLiteral("-s"),       QString::number(choice.scale),
            QStringLiteral("-t"),       QString::number(choice.tile),
            QStringLiteral("-m"),       modelsFolder};
}

QStringList encode(QSize upscaled, double fps, qint64 targetHeight, const VideoEncoder& encoder,
                   qint64 bitRate, bool hevc, const QString& segmentPath)
{
    QStringList arguments{QStringLiteral("-hide_banner"),
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
                          QStringLiteral("pipe:0"),
                          QStringLiteral("-vf"),
                          QStringLiteral("scale=-2:") + QString::number(targetHeight) +
                              QStringLiteral(":flags=lanczos"),
                          QStringLiteral("-c:v"),
                          encoder.name};
    arguments += encoder.options;
    arguments += {QStringLiteral("-b:v"), QString::number(bitRate), QStringLiteral("-pix_fmt"),
                  QStringLiteral("yuv420p")};
    if (hevc)
        arguments += {QStringLiteral("-tag:v"), QStringLiteral("hvc1")};
    arguments += segmentPath;
    return arguments;
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
