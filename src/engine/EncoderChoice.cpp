#include "engine/EncoderChoice.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "engine/EngineLog.h"
#include "engine/UpscaleCore.h"

namespace EncoderChoice {

namespace {

// The encoder chosen for each codec and picture size, and the hardware encoders that failed a real
// encode; both kept for the rest of the application's run.
using SizeKey = std::tuple<bool, qint64, qint64>;
std::mutex g_mutex;
std::map<SizeKey, VideoEncoder> g_chosen;
std::set<std::pair<QString, bool>> g_setAside;

// A probe runs as part of the operation that needs it, so a stop ends it like any other program.
bool passesTest(const VideoEncoder& encoder, bool hevc, qint64 width, qint64 height)
{
    // A driver that hangs must not hold the first upscale of the run for long: the tick's
    // exception ends the wait and the probe is killed with its ChildProcess.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    try {
        const ProcessResult result = UpscaleCore::shared().runTool(
            UpscaleCore::ffmpeg(), probeArguments(encoder, hevc, width, height), [deadline] {
                if (std::chrono::steady_clock::now() > deadline)
                    throw UpscaleCore::err(QStringLiteral("The encoder test did not finish."));
            });
        return result.exitStatus == 0 && !UpscaleCore::isCancelled();
    } catch (const EngineError&) {
        return false;
    }
}

QString codecName(bool hevc)
{
    return hevc ? QStringLiteral("H.265") : QStringLiteral("H.264");
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

QStringList probeArguments(const VideoEncoder& encoder, bool hevc, qint64 width, qint64 height)
{
    QStringList arguments{QStringLiteral("-hide_banner"),
                          QStringLiteral("-loglevel"),
                          QStringLiteral("error"),
                          QStringLiteral("-f"),
                          QStringLiteral("lavfi"),
                          QStringLiteral("-i"),
                          QStringLiteral("color=c=black:s=%1x%2:r=25").arg(width).arg(height),
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

VideoEncoder forOutput(bool hevc, qint64 width, qint64 height)
{
    // Hardware encoders refuse tiny pictures: the test frame is never smaller than 640×360.
    width = std::max<qint64>(width, 640);
    height = std::max<qint64>(height, 360);
    std::lock_guard lock(g_mutex);
    const SizeKey key{hevc, width, height};
    const auto known = g_chosen.find(key);
    if (known != g_chosen.end())
        return known->second;
    const QList<VideoEncoder> all = candidates(hevc);
    for (const VideoEncoder& encoder : all) {
        if (g_setAside.count({encoder.name, hevc}) || !passesTest(encoder, hevc, width, height))
            continue;
        g_chosen[key] = encoder;
        EngineLog::line(QStringLiteral("Korvane: %1 video of %2×%3 is encoded with %4 (%5)")
                            .arg(codecName(hevc))
                            .arg(width)
                            .arg(height)
                            .arg(encoder.name, encoder.hardware ? QStringLiteral("hardware")
                                                                : QStringLiteral("software")));
        return encoder;
    }
    return all.last();
}

VideoEncoder forCodec(bool hevc)
{
    return forOutput(hevc, 640, 360);
}

std::optional<VideoEncoder> fallback(const VideoEncoder& failed, bool hevc, qint64 width,
                                     qint64 height)
{
    if (!failed.hardware)
        return std::nullopt;
    width = std::max<qint64>(width, 640);
    height = std::max<qint64>(height, 360);
    std::lock_guard lock(g_mutex);
    g_setAside.insert({failed.name, hevc});
    std::erase_if(g_chosen, [&](const auto& entry) { return entry.second == failed; });
    const QList<VideoEncoder> all = candidates(hevc);
    for (const VideoEncoder& encoder : all) {
        if (g_setAside.count({encoder.name, hevc}) ||
            (encoder.hardware && !passesTest(encoder, hevc, width, height)))
            continue;
        g_chosen[{hevc, width, height}] = encoder;
        EngineLog::line(QStringLiteral("Korvane: %1 failed to encode; %2 video of %3×%4 is "
                                       "encoded with %5 from now on")
                            .arg(failed.name, codecName(hevc))
                            .arg(width)
                            .arg(height)
                            .arg(encoder.name));
        return encoder;
    }
    return std::nullopt;
}

void forget()
{
    std::lock_guard lock(g_mutex);
    g_chosen.clear();
    g_setAside.clear();
}

} // namespace EncoderChoice
