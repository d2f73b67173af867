#include "engine/FFmpegCommands.h"

#include "engine/UpscaleCore.h"

namespace FFmpegCommands {

QString decimal3(double value)
{
    return QString::asprintf("%.3f", value);
}

namespace {

QString mapStream(int index)
{
    return QStringLiteral("0:") + QString::number(index);
}

// scale's name of the matrix the source's YUV is read with. Untagged video is read as players
// read it: BT.709 from 720 lines up, BT.601 below.
QString sourceMatrix(const VideoMeta& meta)
{
    const QString& tag = meta.matrix;
    if (tag == QLatin1String("bt709") || tag == QLatin1String("fcc") ||
        tag == QLatin1String("smpte240m"))
        return tag;
    if (tag == QLatin1String("smpte170m") || tag == QLatin1String("bt470bg"))
        return QStringLiteral("bt601");
    if (tag.startsWith(QLatin1String("bt2020")))
        return QStringLiteral("bt2020");
    return meta.displayShortSide() >= 720 ? QStringLiteral("bt709") : QStringLiteral("bt601");
}

QString sizeText(qint64 width, qint64 height)
{
    return QString::number(width) + QLatin1Char(':') + QString::number(height);
}

} // namespace

QString extractFilter(const VideoMeta& meta, qint64 width, qint64 height)
{
    const bool fullRange = meta.range == QLatin1String("pc");
    QString filter;
    QString matrix = sourceMatrix(meta);
    QString range = fullRange ? QStringLiteral("full") : QStringLiteral("tv");
    if (meta.hdr()) {
        // Linear light, BT.709 primaries, Hable's curve, then BT.709 SDR as 4:4:4 YUV.
        filter = QStringLiteral("zscale=tin=") + meta.transfer +
                 QStringLiteral(":min=2020_ncl:pin=2020:rin=") +
                 (fullRange ? QStringLiteral("full") : QStringLiteral("limited")) +
                 QStringLiteral(":t=linear:npl=100,format=gbrpf32le,zscale=p=709,"
                                "tonemap=tonemap=hable:desat=0,zscale=t=709:m=709:r=limited,"
                                "format=yuv444p,");
        matrix = QStringLiteral("bt709");
        range = QStringLiteral("tv");
    }
    // Frames reach the filter upright (ffmpeg applies the display rotation first); the scale to
    // the exact size squares the pixels.
    return filter + QStringLiteral("scale=") + sizeText(width, height) +
           QStringLiteral(":flags=area:in_color_matrix=") + matrix + QStringLiteral(":in_range=") +
           range + QStringLiteral(",setsar=1");
}

QStringList segmentDecode(const QString& input, double start, double duration,
                          const VideoMeta& meta, qint64 width, qint64 height)
{
    QStringList arguments;
    if (start > 0)
        arguments += {QStringLiteral("-ss"), decimal3(start - 2.0), QStringLiteral("-i"), input,
                      QStringLiteral("-ss"), QStringLiteral("2")};
    else
        arguments += {QStringLiteral("-i"), input};
    arguments += {QStringLiteral("-map"), mapStream(meta.videoStream)};
    arguments += {QStringLiteral("-fps_mode"), QStringLiteral("cfr"), QStringLiteral("-r"),
                  decimal3(meta.fps)};
    arguments += {QStringLiteral("-t"), decimal3(duration)};
    arguments += {QStringLiteral("-vf"), extractFilter(meta, width, height)};
    return arguments;
}

QStringList segmentFrames(const QString& input, const QString& inFolder, double start,
                          double duration, const VideoMeta& meta, qint64 width, qint64 height)
{
    return QStringList{QStringLiteral("-y")} +
           segmentDecode(input, start, duration, meta, width, height) +
           QStringList{QStringLiteral("-qscale:v"), QStringLiteral("2"),
                       inFolder + QStringLiteral("/frame_%08d.png")};
}

QStringList previewFrame(const QString& input, const QString& inFolder, const VideoMeta& meta)
{
    return {QStringLiteral("-y"),
            QStringLiteral("-i"),
            input,
            QStringLiteral("-map"),
            mapStream(meta.videoStream),
            QStringLiteral("-vf"),
            extractFilter(meta, meta.displayWidth(), meta.displayHeight()),
            QStringLiteral("-frames:v"),
            QStringLiteral("1"),
            QStringLiteral("-qscale:v"),
            QStringLiteral("2"),
            inFolder + QStringLiteral("/frame_00000001.png")};
}

QStringList videoEncode(qint64 width, qint64 height, const VideoEncoder& encoder, qint64 bitRate,
                        bool hevc)
{
    const QString bt709 = QStringLiteral("bt709");
    QStringList arguments{QStringLiteral("-vf"),
                          QStringLiteral("scale=") + sizeText(width, height) +
                              QStringLiteral(":flags=lanczos:out_color_matrix=bt709:out_range=tv,"
                                             "format=yuv420p"),
                          QStringLiteral("-c:v"),
                          encoder.name};
    arguments += encoder.options;
    arguments += {QStringLiteral("-b:v"),
                  QString::number(bitRate),
                  QStringLiteral("-pix_fmt"),
                  QStringLiteral("yuv420p"),
                  QStringLiteral("-color_primaries"),
                  bt709,
                  QStringLiteral("-color_trc"),
                  bt709,
                  QStringLiteral("-colorspace"),
                  bt709,
                  QStringLiteral("-color_range"),
                  QStringLiteral("tv")};
    if (hevc)
        arguments += {QStringLiteral("-tag:v"), QStringLiteral("hvc1")};
    return arguments;
}

QStringList segmentEncode(const QString& outFolder, double fps, qint64 width, qint64 height,
                          const VideoEncoder& encoder, qint64 bitRate, bool hevc,
                          const QString& progressPath, const QString& segmentPath)
{
    return QStringList{QStringLiteral("-y"),
                       QStringLiteral("-progress"),
                       progressPath,
                       QStringLiteral("-framerate"),
                       decimal3(fps),
                       QStringLiteral("-i"),
                       outFolder + QStringLiteral("/frame_%08d.png")} +
           videoEncode(width, height, encoder, bitRate, hevc) + QStringList{segmentPath};
}

QStringList audioCheck(const QString& input, int streamIndex)
{
    return {QStringLiteral("-xerror"), QStringLiteral("-i"),   input,
            QStringLiteral("-map"),    mapStream(streamIndex), QStringLiteral("-t"),
            QStringLiteral("1"),       QStringLiteral("-f"),   QStringLiteral("null"),
            QStringLiteral("-")};
}

QStringList concatenate(const QString& listPath, const QString& progressPath,
                        const QString& joinedPath)
{
    return {QStringLiteral("-y"), QStringLiteral("-progress"), progressPath,
            QStringLiteral("-f"), QStringLiteral("concat"),    QStringLiteral("-safe"),
            QStringLiteral("0"),  QStringLiteral("-i"),        listPath,
            QStringLiteral("-c"), QStringLiteral("copy"),      joinedPath};
}

QStringList finish(const QString& joinedPath, const QString& input, const FinishStreams& streams,
                   const QString& progressPath, const QString& resultPath)
{
    QStringList arguments{QStringLiteral("-y"),
                          QStringLiteral("-progress"),
                          progressPath,
                          QStringLiteral("-i"),
                          joinedPath,
                          QStringLiteral("-i"),
                          input,
                          QStringLiteral("-map"),
                          QStringLiteral("0:v:0")};
    for (int index : streams.audio)
        arguments += {QStringLiteral("-map"), QStringLiteral("1:") + QString::number(index)};
    for (int index : streams.subtitles)
        arguments += {QStringLiteral("-map"), QStringLiteral("1:") + QString::number(index)};
    arguments += {QStringLiteral("-c:v"), QStringLiteral("copy")};
    if (!streams.audio.isEmpty())
        arguments += {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"),
                      QStringLiteral("256k")};
    if (!streams.subtitles.isEmpty())
        arguments += {QStringLiteral("-c:s"), QStringLiteral("mov_text")};
    // The source's title, creation time, location and chapters; the sound is cut to the video.
    arguments += {QStringLiteral("-map_metadata"),
                  QStringLiteral("1"),
                  QStringLiteral("-map_chapters"),
                  QStringLiteral("1"),
                  QStringLiteral("-t"),
                  decimal3(streams.length),
                  QStringLiteral("-movflags"),
                  QStringLiteral("+faststart"),
                  resultPath};
    return arguments;
}

ProgressState progressState(const QByteArray& text)
{
    ProgressState state;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        bool ok = false;
        if (key == "frame") {
            const qint64 frames = value.toLongLong(&ok);
            if (ok)
                state.frames = frames;
        } else if (key == "out_time_us") {
            const qint64 micros = value.toLongLong(&ok);
            if (ok && micros >= 0)
                state.seconds = double(micros) / 1e6;
        } else if (key == "progress") {
            state.finished = value == "end";
        }
    }
    return state;
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
