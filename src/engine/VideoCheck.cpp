#include "engine/VideoCheck.h"

#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include "engine/EngineError.h"

namespace {

using VideoCheck::Problem;

// What libav sees in a file that VideoMeta refused.
struct Probe {
    bool opened = false;
    QString error; // libav's text when it could not open or read the file
    bool hasVideo = false;
    bool hasAudio = false;
    bool still = false; // read by one of libav's single-picture readers
};

Probe probe(const QString& path)
{
    Probe result;
    AVFormatContext* context = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    int status = avformat_open_input(&context, encoded.constData(), nullptr, nullptr);
    if (status >= 0)
        status = avformat_find_stream_info(context, nullptr);
    if (status < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(status, text, sizeof text);
        result.error = QString::fromUtf8(text);
        avformat_close_input(&context);
        return result;
    }
    result.opened = true;
    const QString format = QString::fromUtf8(context->iformat->name);
    // Pictures are read by "image2" or by a "<format>_pipe" reader (png_pipe, jpeg_pipe, …).
    result.still = format == QLatin1String("image2") || format.endsWith(QLatin1String("_pipe"));
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            result.hasVideo = true;
        else if (type == AVMEDIA_TYPE_AUDIO)
            result.hasAudio = true;
    }
    avformat_close_input(&context);
    return result;
}

VideoCheck::Outcome refused(Problem problem, const QString& detail)
{
    VideoCheck::Outcome outcome;
    outcome.problem = problem;
    outcome.detail = detail;
    return outcome;
}

} // namespace

namespace VideoCheck {

Outcome inspect(const QString& path)
{
    const QFileInfo file(path);
    if (file.isDir())
        return refused(Problem::Folder, QStringLiteral("a folder"));
    if (!file.exists())
        return refused(Problem::Missing, QStringLiteral("no such file"));
    if (!file.isReadable())
        return refused(Problem::NoPermission, QStringLiteral("permission denied"));
    if (file.size() == 0)
        return refused(Problem::Empty, QStringLiteral("0 bytes"));
    QString failure;
    try {
        Outcome outcome;
        outcome.meta = VideoMeta::load(path);
        return outcome;
    } catch (const EngineError& error) {
        failure = error.message();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    // Only a refused file is looked at again, to say what it is instead.
    const Probe seen = probe(path);
    if (!seen.opened)
        return refused(Problem::Damaged, seen.error.isEmpty() ? failure : seen.error);
    if (seen.still)
        return refused(Problem::Picture, failure);
    if (!seen.hasVideo)
        return refused(seen.hasAudio ? Problem::SoundOnly : Problem::NoPicture, failure);
    return refused(Problem::Damaged, failure);
}

QString message(Problem problem, const QString& fileName)
{
    const QString name = QStringLiteral("“") + fileName + QStringLiteral("”");
    switch (problem) {
    case Problem::Missing:
        return name + QStringLiteral(" can't be found — it may have been moved or deleted.");
    case Problem::Folder:
        return name + QStringLiteral(" is a folder, not a video.");
    case Problem::Empty:
        return name + QStringLiteral(" is empty.");
    case Problem::NoPermission:
        return name + QStringLiteral(" can't be opened — you don't have permission to read it.");
    case Problem::SoundOnly:
        return name + QStringLiteral(" has sound but no picture.");
    case Problem::Picture:
        return name +
               QStringLiteral(" is a picture, not a video — upscale it on the Image screen.");
    case Problem::NoPicture:
        return name + QStringLiteral(" has no picture to upscale.");
    case Problem::Damaged:
        break;
    }
    return name + QStringLiteral(" can't be read as a video — the file may be incomplete or "
                                 "damaged.");
}

} // namespace VideoCheck
