// Development driver of the video pipeline: runs runAI on one file and prints how long each phase
// took, or, with --naive, the one-pass approach a user would script by hand (every frame extracted
// at full size, the engine once over the whole folder, one encode with the same encoder and bit
// rate), or, with --compare, both on the same clip and the naive/segmented wall-time ratio.
// Progress goes to standard error. Like the application on its first run, it installs the tools
// from the build's archive when the data folder has none.
//
//   pipeline --input FILE --height H --quality fast|detailed|max --codec h264|hevc
//            --output FILE [--naive | --compare] [--engine cpu|vulkan]
#include <chrono>
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <QDir>
#include <QFileInfo>

#include "engine/AIQuality.h"
#include "engine/Bootstrap.h"
#include "engine/EncoderChoice.h"
#include "engine/FFmpegCommands.h"
#include "engine/SegmentPlan.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void printLine(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void printProgress(double fraction, const QString& status, const QString& eta)
{
    std::fprintf(stderr, "%5.1f%%  %s  %s\n", fraction * 100.0, status.toUtf8().constData(),
                 eta.toUtf8().constData());
}

// The obvious approach: all frames at full size, one engine run, one encode with the sound.
QString runNaive(const QString& input, const UpscaleOptions& options,
                 UpscaleCore::PhaseTimes& times)
{
    UpscaleCore& core = UpscaleCore::shared();
    const UpscaleCore::Meta meta = UpscaleCore::loadMeta(input);
    const ModelChoice choice =
        UpscaleCore::aiModel(options.quality, options.targetHeight, meta.displayShortSide());
    const SegmentPlan plan = SegmentPlan::make(meta, options, choice, core.freeDiskBytes());
    const VideoEncoder encoder =
        EncoderChoice::forOutput(plan.hevc, plan.outputWidth, plan.outputHeight);

    const WorkFolder work(QStringLiteral("ai-"));
    const QString inFolder = work.filePath(QStringLiteral("in"));
    const QString outFolder = work.filePath(QStringLiteral("out"));
    WorkFolder::makeFolder(inFolder);
    WorkFolder::makeFolder(outFolder);

    auto phase = Clock::now();
    printProgress(0, QStringLiteral("Extracting all frames…"), QString());
    core.runFFmpegSimple({QStringLiteral("-y"), QStringLiteral("-i"), input,
                          QStringLiteral("-qscale:v"), QStringLiteral("2"),
                          inFolder + QStringLiteral("/frame_%08d.png")});
    times.extraction = secondsSince(phase);

    phase = Clock::now();
    const int frames = WorkFolder::countEntries(inFolder);
    core.runRealESRGANFolder(inFolder, outFolder, choice, [&] {
        const int done = WorkFolder::countEntries(outFolder);
        printProgress(frames > 0 ? double(done) / frames * 0.9 : 0,
                      QStringLiteral("AI enhancing frames…"), QString());
    });
    times.ai = secondsSince(phase);

    phase = Clock::now();
    printProgress(0.9, QStringLiteral("Encoding…"), QString());
    const QString result = WorkFolder::freshTempPath(QStringLiteral("ai-"), QStringLiteral(".mp4"));
    QStringList encode{
        QStringLiteral("-y"),
        QStringLiteral("-framerate"),
        FFmpegCommands::decimal3(meta.fps),
        QStringLiteral("-i"),
        outFolder + QStringLiteral("/frame_%08d.png"),
        QStringLiteral("-i"),
        input,
        QStringLiteral("-map"),
        QStringLiteral("0:v:0"),
        QStringLiteral("-map"),
        QStringLiteral("1:a:0?"),
        QStringLiteral("-vf"),
        QStringLiteral("scale=%1:%2:flags=lanczos").arg(plan.outputWidth).arg(plan.outputHeight),
        QStringLiteral("-c:v"),
        encoder.name};
    encode += encoder.options;
    encode += {QStringLiteral("-b:v"), QString::number(plan.bitRate), QStringLiteral("-pix_fmt"),
               QStringLiteral("yuv420p")};
    if (plan.hevc)
        encode += {QStringLiteral("-tag:v"), QStringLiteral("hvc1")};
    encode += {QStringLiteral("-c:a"),       QStringLiteral("aac"),
               QStringLiteral("-b:a"),       QStringLiteral("256k"),
               QStringLiteral("-shortest"),  QStringLiteral("-movflags"),
               QStringLiteral("+faststart"), result};
    core.runFFmpegSimple(encode);
    times.encoding = secondsSince(phase);
    printProgress(1, QStringLiteral("Done"), QString());
    return result;
}

// The build's resources folder is beside the application, one level up from this driver.
void useBuildResources()
{
    if (qEnvironmentVariableIsSet("KORVANE_RESOURCES"))
        return;
    const QString build = QCoreApplication::applicationDirPath() + QStringLiteral("/../resources");
    if (QFileInfo(build + QStringLiteral("/Tools.zip")).isFile())
        qputenv("KORVANE_RESOURCES", QFile::encodeName(QDir(build).absolutePath()));
}

void printTimes(const char* prefix, const UpscaleCore::PhaseTimes& times, double total)
{
    printLine(QString::asprintf("%sextraction_s=%.3f", prefix, times.extraction));
    printLine(QString::asprintf("%sai_s=%.3f", prefix, times.ai));
    printLine(QString::asprintf("%sencoding_s=%.3f", prefix, times.encoding));
    printLine(QString::asprintf("%sjoining_and_sound_s=%.3f", prefix, times.joiningAndSound));
    printLine(QString::asprintf("%stotal_s=%.3f ai_s=%.3f overhead_share=%.3f", prefix, total,
                                times.ai, total > 0 ? (total - times.ai) / total : 0.0));
}

bool moveFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (QFile::rename(from, to))
        return true;
    const bool copied = QFile::copy(from, to);
    QFile::remove(from);
    return copied;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times the video upscale pipeline."));
    parser.addHelpOption();
    const QCommandLineOption inputOption(QStringLiteral("input"), QStringLiteral("Source video."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption heightOption(
        QStringLiteral("height"), QStringLiteral("Output height in pixels."), QStringLiteral("H"));
    const QCommandLineOption qualityOption(QStringLiteral("quality"),
                                           QStringLiteral("fast, detailed or max."),
                                           QStringLiteral("Q"), QStringLiteral("fast"));
    const QCommandLineOption codecOption(QStringLiteral("codec"), QStringLiteral("h264 or hevc."),
                                         QStringLiteral("C"), QStringLiteral("hevc"));
    const QCommandLineOption outputOption(
        QStringLiteral("output"), QStringLiteral("Where the result goes."), QStringLiteral("FILE"));
    const QCommandLineOption naiveOption(QStringLiteral("naive"),
                                         QStringLiteral("Run the one-pass approach instead."));
    const QCommandLineOption compareOption(
        QStringLiteral("compare"),
        QStringLiteral("Run both ways and print the naive/segmented wall-time ratio."));
    const QCommandLineOption engineOption(
        QStringLiteral("engine"),
        QStringLiteral("cpu or vulkan: the AI engine to use instead of this machine's choice."),
        QStringLiteral("E"));
    parser.addOptions({inputOption, heightOption, qualityOption, codecOption, outputOption,
                       naiveOption, compareOption, engineOption});
    parser.process(app);
    const QString engine = parser.value(engineOption);
    if (!engine.isEmpty() && engine != QLatin1String("cpu") && engine != QLatin1String("vulkan")) {
        std::fprintf(stderr, "%s", parser.helpText().toUtf8().constData());
        return 2;
    }
    if (!engine.isEmpty())
        qputenv("KORVANE_ENGINE", engine.toUtf8());

    bool heightOk = false;
    UpscaleOptions options;
    options.targetHeight = parser.value(heightOption).toLongLong(&heightOk);
    const std::optional<AIQuality> quality = AIQualities::fromRawValue(parser.value(qualityOption));
    const QString codec = parser.value(codecOption);
    if (parser.value(inputOption).isEmpty() || parser.value(outputOption).isEmpty() || !heightOk ||
        options.targetHeight < 2 || !quality ||
        (codec != QLatin1String("h264") && codec != QLatin1String("hevc"))) {
        std::fprintf(stderr, "%s", parser.helpText().toUtf8().constData());
        return 2;
    }
    options.quality = *quality;
    options.codec = codec == QLatin1String("hevc") ? Codecs::hevc : Codecs::h264;

    useBuildResources();
    Bootstrap::installToolsIfNeeded();
    if (!UpscaleCore::toolsInstalled()) {
        std::fprintf(stderr, "Engine is not installed (looked in %s).\n",
                     UpscaleCore::toolsFolder().toUtf8().constData());
        return 1;
    }
    UpscaleCore& core = UpscaleCore::shared();
    const QString input = parser.value(inputOption);
    const bool compare = parser.isSet(compareOption);
    QString result;
    try {
        UpscaleCore::PhaseTimes naiveTimes;
        double naiveTotal = 0;
        if (compare || parser.isSet(naiveOption)) {
            const auto started = Clock::now();
            result = runNaive(input, options, naiveTimes);
            naiveTotal = secondsSince(started);
            printTimes(compare ? "naive_" : "", naiveTimes, naiveTotal);
        }
        if (compare) {
            QFile::remove(result);
            UpscaleCore::PhaseTimes times;
            const auto started = Clock::now();
            result = core.runAI(input, options, printProgress, &times);
            const double total = secondsSince(started);
            printTimes("segmented_", times, total);
            printLine(QString::asprintf("naive_over_segmented=%.3f",
                                        total > 0 ? naiveTotal / total : 0.0));
        } else if (!parser.isSet(naiveOption)) {
            UpscaleCore::PhaseTimes times;
            const auto started = Clock::now();
            result = core.runAI(input, options, printProgress, &times);
            printTimes("", times, secondsSince(started));
        }
    } catch (const EngineError& error) {
        std::fprintf(stderr, "Failed: %s\n", error.what());
        return 1;
    }
    if (!moveFile(result, parser.value(outputOption))) {
        std::fprintf(stderr, "Could not move the result to %s\n",
                     parser.value(outputOption).toUtf8().constData());
        return 1;
    }
    return 0;
}
