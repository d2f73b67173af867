#include "engine/VideoMeta.h"

#include <algorithm>
#include <cmath>

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libavutil/pixdesc.h>
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

double streamSeconds(const AVStream* stream)
{
    if (stream->duration == AV_NOPTS_VALUE || stream->time_base.den == 0)
        return 0;
    return std::max(0.0, double(stream->duration) * av_q2d(stream->time_base));
}

// The display matrix's rotation, clockwise, snapped to a quarter turn.
int rotationOf(const AVStream* stream)
{
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < 9 * sizeof(int32_t))
        return 0;
    // The matrix gives the angle counter-clockwise.
    const double angle = -av_display_rotation_get(reinterpret_cast<const int32_t*>(data));
    if (!std::isfinite(angle))
        return 0;
    const long quarters = std::lround(angle / 90.0);
    return int(((quarters % 4) + 4) % 4) * 90;
}

// libavutil's name of a colour tag, or empty when the file leaves it unspecified.
QString tagName(const char* name, bool specified)
{
    return specified && name ? QString::fromLatin1(name) : QString();
}

// The stored size stretched to square pixels and turned as displayed: {width, height}.
std::pair<qint64, qint64> displayed(const VideoMeta& meta)
{
    const double aspect =
        meta.pixelAspect > 0 && std::isfinite(meta.pixelAspect) ? meta.pixelAspect : 1.0;
    const qint64 wide = VideoMeta::evenSize(double(meta.width) * std::max(aspect, 1.0));
    const qint64 tall = VideoMeta::evenSize(double(meta.height) / std::min(aspect, 1.0));
    if (meta.rotation == 90 || meta.rotation == 270)
        return {tall, wide};
    return {wide, tall};
}

} // namespace

qint64 VideoMeta::displayWidth() const
{
    return displayed(*this).first;
}

qint64 VideoMeta::displayHeight() const
{
    return displayed(*this).second;
}

qint64 VideoMeta::evenSize(double value)
{
    return std::max<qint64>(2, std::llround(value / 2.0) * 2);
}

bool VideoMeta::hdr() const
{
    return transfer == QLatin1String("smpte2084") || transfer == QLatin1String("arib-std-b67");
}

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

    VideoMeta meta;
    AVStream* video = nullptr;
    for (unsigned i = 0; i < input.context->nb_streams; ++i) {
        AVStream* stream = input.context->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        MediaTrack track;
        track.index = int(i);
        track.codec = QString::fromLatin1(avcodec_get_name(codec->codec_id));
        track.duration = streamSeconds(stream);
        // A cover picture of a sound file is stored as a video stream, but it is not a video.
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && !video &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            video = stream;
        } else if (codec->codec_type == AVMEDIA_TYPE_AUDIO) {
            meta.audioTracks.append(track);
        } else if (codec->codec_type == AVMEDIA_TYPE_SUBTITLE) {
            const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->codec_id);
            track.text = descriptor && (descriptor->props & AV_CODEC_PROP_TEXT_SUB);
            meta.subtitleTracks.append(track);
        }
    }
    if (!video)
        throw EngineError::engine(QStringLiteral("No video track found"));

    const AVCodecParameters* codec = video->codecpar;
    meta.hasAudio = !meta.audioTracks.isEmpty();
    meta.videoStream = video->index;
    meta.width = codec->width;
    meta.height = codec->height;
    meta.rotation = rotationOf(video);
    const AVRational aspect = av_guess_sample_aspect_ratio(input.context, video, nullptr);
    meta.pixelAspect = aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0;
    meta.videoDuration = streamSeconds(video);
    meta.frameCount = std::max<qint64>(0, video->nb_frames);
    meta.primaries = tagName(av_color_primaries_name(codec->color_primaries),
                             codec->color_primaries != AVCOL_PRI_UNSPECIFIED);
    meta.transfer = tagName(av_color_transfer_name(codec->color_trc),
                            codec->color_trc != AVCOL_TRC_UNSPECIFIED);
    meta.matrix = tagName(av_color_space_name(codec->color_space),
                          codec->color_space != AVCOL_SPC_UNSPECIFIED);
    meta.range = tagName(av_color_range_name(codec->color_range),
                         codec->color_range != AVCOL_RANGE_UNSPECIFIED);
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
