#include "engine/FFmpegCommands.h"

#include "engine/UpscaleCore.h"

namespace FFmpegCommands {

QString decimal3(double value)
{
    return QString::asprintf("%.3f", value);
}

QStringList segmentFrames(const QString& input, const QString& inFolder, double start,
                          double duration, double fps, qint64 frameHeight, qint64 sourceHeight)
{
    QStringList arguments{QStringLiteral("-y")};
    if (start > 0)
        arguments += {QStringLiteral("-ss"), decimal3(start - 2.0), QStringLiteral("-i"), input,
                      QStringLiteral("-ss"), QStringLiteral("2")};
    else
        arguments += {QStringLiteral("-i"), input};
    arguments +=
        {QStringLiteral("-fps_mode"), QStringLiteral("cfr"), QStringLiteral("-r"), decimal3(fps)};
    arguments += {QStringLiteral("-t"), decimal3(duration)};
    if (frameHeight < sourceHeight)
        arguments +=
            {QStringLiteral("-vf"), QStringLiteral("scale=-2:") + QString::number(frameHeight) +
                                        QStringLiteral(":flags=area")};
    arguments += {QStringLiteral("-qscale:v"), QStringLiteral("2"),
                  inFolder + QStringLiteral("/frame_%08d.png")};
    return arguments;
}

QStringList previewFrame(const QString& input, const QString& inFolder)
{
    return {QStringLiteral("-y"),
            QStringLiteral("-i"),
            input,
            QStringLiteral("-frames:v"),
            QStringLiteral("1"),
            QStringLiteral("-qscale:v"),
            QStringLiteral("2"),
            inFolder + QStringLiteral("/frame_00000001.png")};
}

QStringList segmentEncode(const QString& outFolder, double fps, qint64 targetHeight,
                          const VideoEncoder& encoder, qint64 bitRate, bool hevc,
                          const QString& segmentPath)
{
    QStringList arguments{QStringLiteral("-y"),
                          QStringLiteral("-framerate"),
                          decimal3(fps),
                          QStringLiteral("-i"),
                          outFolder + QStringLiteral("/frame_%08d.png"),
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

QStringList concatenate(const QString& listPath, const QString& joinedPath)
{
    return {QStringLiteral("-y"),
            QStringLiteral("-f"),
            QStringLiteral("concat"),
            QStringLiteral("-safe"),
            QStringLiteral("0"),
            QStringLiteral("-i"),
            listPath,
            QStringLiteral("-c"),
            QStringLiteral("copy"),
            joinedPath};
}

QStringList addAudio(const QString& joinedPath, const QString& input, const QString& resultPath)
{
    return {QStringLiteral("-y"),
            QStringLiteral("-i"),
            joinedPath,
            QStringLiteral("-i"),
            input,
            QStringLiteral("-map"),
            QStringLiteral("0:v:0"),
            QStringLiteral("-map"),
            QStringLiteral("1:a:0"),
            QStringLiteral("-c:v"),
            QStringLiteral("copy"),
            QStringLiteral("-c:a"),
            QStringLiteral("aac"),
            QStringLiteral("-b:a"),
            QStringLiteral("256k"),
            QStringLiteral("-shortest"),
            QStringLiteral("-movflags"),
            QStringLiteral("+faststart"),
            resultPath};
}

QStringList noAudio(const QString& joinedPath, const QString& resultPath)
{
    return {QStringLiteral("-y"),
            QStringLiteral("-i"),
            joinedPath,
            QStringLiteral("-c"),
            QStringLiteral("copy"),
            QStringLiteral("-movflags"),
            QStringLiteral("+faststart"),
            resultPath};
}

QString concatLine(const QString& segmentPath)
{
    QString quoted = segmentPath;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QStringLiteral("file '") + quoted + QLatin1Char('\'');
}

QByteArray concatList(const QStringList& segmentPaths)
{
    QStringList lines;
    for (const QString& path : segmentPaths)
        lines.append(concatLine(path));
    return lines.join(QLatin1Char('\n')).toUtf8();
}

QStringList realesrganFolder(const QString& inFolder, const QString& outFolder,
                             const ModelChoice& choice, const QString& modelsFolder)
{
    return {QStringLiteral("-i"), inFolder,
            QStringLiteral("-o"), outFolder,
            QStringLiteral("-n"), choice.model,
            QStringLiteral("-s"), QString::number(choice.scale),
            QStringLiteral("-t"), QString::number(choice.tile),
            QStringLiteral("-m"), modelsFolder,
            QStringLiteral("-f"), QStringLiteral("png"),
            QStringLiteral("-g"), QStringLiteral("0"),
            QStringLiteral("-j"), QStringLiteral("2:2:2")};
}

QStringList realesrganImage(const QString& input, const QString& output, const QString& model,
                            int scale, const QString& modelsFolder, const QString& format)
{
    return {QStringLiteral("-i"), input,
            QStringLiteral("-o"), output,
            QStringLiteral("-n"), model,
            QStringLiteral("-s"), QString::number(scale),
            QStringLiteral("-t"), QStringLiteral("0"),
            QStringLiteral("-m"), modelsFolder,
            QStringLiteral("-f"), format,
            QStringLiteral("-g"), QStringLiteral("0")};
}

} // namespace FFmpegCommands
