#include "engine/VideoMeta.h"

#include <cmath>

#include <QFile>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include "engine/EngineError.h"
#include "engine/UpscaleCore.h"

namespace {

EngineError libavError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return EngineError(QStringLiteral("libavformat"), code, QString::fromUtf8(text));
}

struct FormatContext {
    AVFormatContext* context = nullptr;
    ~FormatContext() { avformat_close_input(&context); }
};

// Seconds of the container, else of the video stream; NaN when neither is known.
double durationSeconds(const AVFormatContext* context, const AVStream* video)
{
    if (context->duration != AV_NOPTS_VALUE)
        return double(context->duration) / double(AV_TIME_BASE);
    if (video->duration != AV_NOPTS_VALUE && video->time_base.den != 0)
        return double(video->duration) * av_q2d(video->time_base);
    return std::nan("");
}

} // namespace

VideoMeta VideoMeta::load(const QString& path)
{
    FormatContext input;
    const QByteArray encoded = QFile::encodeName(path);
    int result = avformat_open_input(&input.context, encoded.constData(), nullptr, nullptr);
    if (result < 0)
        throw libavError(result);
    result = avformat_find_stream_info(input.context, nullptr);
    if (result < 0)
        throw libavError(result);

    const AVStream* video = nullptr;
    bool hasAudio = false;
    for (unsigned i = 0; i < input.context->nb_streams; ++i) {
        const AVStream* stream = input.context->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        // A cover picture of a sound file is stored as a video stream, but it is not a video.
        if (type == AVMEDIA_TYPE_VIDEO && !video &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            video = stream;
        else if (type == AVMEDIA_TYPE_AUDIO)
            hasAudio = true;
    }
    if (!video)
        throw EngineError::engine(QStringLiteral("No video track found"));

    VideoMeta meta;
    meta.hasAudio = hasAudio;
    meta.width = video->codecpar->width;
    meta.height = video->codecpar->height;
    const double rate = video->avg_frame_rate.den != 0 ? av_q2d(video->avg_frame_rate) : 0.0;
    meta.fps = rate > 0 && std::isfinite(rate) ? rate : 30.0;
    meta.duration = durationSeconds(input.context, video);
    // A length of 0 is worked with (the pipeline treats it as a moment); an unknown or negative
    // one cannot be cut into segments.
    if (!std::isfinite(meta.duration) || meta.duration < 0)
        throw EngineError::engine(
            QStringLiteral("The length of this video can't be read, so it can't be upscaled."));
    return meta;
}

UpscaleCore::Meta UpscaleCore::loadMeta(const QString& path)
{
    return VideoMeta::load(path);
}
