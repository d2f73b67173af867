#include "engine/EncoderChoice.h"

#include <chrono>
#include <mutex>
#include <optional>

#include "engine/ChildProcess.h"
#include "engine/EngineLog.h"
#include "engine/UpscaleCore.h"

namespace EncoderChoice {

namespace {

std::mutex g_mutex;
std::optional<VideoEncoder> g_chosen[2]; // [0] H.264, [1] HEVC

bool passesTest(const VideoEncoder& encoder, bool hevc)
{
    ChildProcess process(UpscaleCore::ffmpeg(), probeArguments(encoder, hevc));
    try {
        process.start();
    } catch (const EngineError&) {
        return false;
    }
    // A driver that hangs must not hold the first upscale of the run for long.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const int status = process.waitForExit([&process, deadline] {
        if (std::chrono::steady_clock::now() > deadline)
            process.terminate();
    });
    return status == 0;
}

} // namespace

QList<VideoEncoder> candidates(bool hevc)
{
    if (hevc)
        return {
            {QStringLiteral("hevc_nvenc"), {}, true},
            {QStringLiteral("hevc_qsv"), {}, true},
            {QStringLiteral("libx265"),
             {QStringLiteral("-preset"), QStringLiteral("fast"), QStringLiteral("-x265-params"),
              QStringLiteral("log-level=error")},
             false},
        };
    return {
        {QStringLiteral("h264_nvenc"), {}, true},
        {QStringLiteral("h264_qsv"), {}, true},
        {QStringLiteral("libx264"), {QStringLiteral("-preset"), QStringLiteral("fast")}, false},
    };
}

QStringList probeArguments(const VideoEncoder& encoder, bool hevc)
{
    // Hardware encoders refuse tiny pictures, so the test frame has an ordinary size.
    QStringList arguments{QStringLiteral("-hide_banner"),
                          QStringLiteral("-loglevel"),
                          QStringLiteral("error"),
                          QStringLiteral("-f"),
                          QStringLiteral("lavfi"),
                          QStringLiteral("-i"),
                          QStringLiteral("color=c=black:s=640x360:r=25"),
                          QStringLiteral("-frames:v"),
                          QStringLiteral("1"),
                          QStringLiteral("-c:v"),
                          encoder.name};
    arguments += encoder.options;
    arguments += {QStringLiteral("-b:v"), QStringLiteral("9000000"), QStringLiteral("-pix_fmt"),
                  QStringLiteral("yuv420p")};
    if (hevc)
        arguments += {QStringLiteral("-tag:v"), QStringLiteral("hvc1")};
    arguments += {QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")};
    return arguments;
}

VideoEncoder forCodec(bool hevc)
{
    std::lock_guard lock(g_mutex);
    std::optional<VideoEncoder>& chosen = g_chosen[hevc ? 1 : 0];
    if (chosen)
        return *chosen;
    const QList<VideoEncoder> all = candidates(hevc);
    for (const VideoEncoder& encoder : all) {
        if (passesTest(encoder, hevc)) {
            chosen = encoder;
            EngineLog::line(QStringLiteral("Korvane: %1 video is encoded with %2 (%3)")
                                .arg(hevc ? QStringLiteral("H.265") : QStringLiteral("H.264"),
                                     encoder.name,
                                     encoder.hardware ? QStringLiteral("hardware")
                                                      : QStringLiteral("software")));
            return encoder;
        }
    }
    return all.last();
}

} // namespace EncoderChoice
