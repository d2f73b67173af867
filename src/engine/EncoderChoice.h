#pragma once

#include <optional>

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
// work depends on the machine and the picture size (H.264 hardware encoders stop at 4096 pixels
// wide), so each is tried with a one-frame test encode at the output size, once per size and run
// of the application. A hardware encoder that fails a real encode is set aside for the rest of
// the run.
//
// Threading: every function may be called from any thread; the first caller for a size runs the
// test encodes (a second or so) while later callers wait for its answer.
namespace EncoderChoice {

// The encoders for a codec, most preferred first: NVIDIA, Intel Quick Sync, then software.
QList<VideoEncoder> candidates(bool hevc);
// The arguments of the one-frame test encode of an encoder (after ffmpeg's path).
QStringList probeArguments(const VideoEncoder& encoder, bool hevc, qint64 width, qint64 height);
// The first encoder for the codec that passes its test at this output size. When none passes
// (ffmpeg missing, for example) the software encoder is returned and the question is asked again
// next time.
VideoEncoder forOutput(bool hevc, qint64 width, qint64 height);
// The same at an ordinary 640×360.
VideoEncoder forCodec(bool hevc);
// After a real encode with failed has failed: sets it aside, logs the change once and returns the
// next encoder that passes its test, the software encoder at the latest; nullopt when the failed
// one was already the software encoder.
std::optional<VideoEncoder> fallback(const VideoEncoder& failed, bool hevc, qint64 width,
                                     qint64 height);
// Forgets every test result and every set-aside encoder (tests start from a clean slate).
void forget();

} // namespace EncoderChoice
