#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One video encoder of ffmpeg with the options it is run with.
struct VideoEncoder {
    QString name;
    QStringList options; // placed right after "-c:v" name
    bool hardware = false;
    bool operator==(const VideoEncoder&) const = default;
};

// Which encoder the segments are encoded with. Hardware encoders are preferred; which of them
// work depends on the machine, so each is tried once per run of the application with a
// one-frame test encode, and the first that works is kept for the rest of the run.
//
// Threading: forCodec may be called from any thread; the first caller for a codec runs the test
// encodes (a second or so) while later callers wait for its answer.
namespace EncoderChoice {

// The encoders for a codec, most preferred first: NVIDIA, Intel Quick Sync, then software.
QList<VideoEncoder> candidates(bool hevc);
// The arguments of the one-frame test encode of an encoder (after ffmpeg's path).
QStringList probeArguments(const VideoEncoder& encoder, bool hevc);
// The encoder this run uses for the codec. When no encoder passes its test (ffmpeg missing, for
// example) the software encoder is returned and the question is asked again next time.
VideoEncoder forCodec(bool hevc);

} // namespace EncoderChoice
