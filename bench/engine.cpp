// Both AI engines on one frame: runs one model over one picture of the given size with the
// Vulkan engine (through the compatibility layer where device 0 is a CPU) and with korvane-engine,
// and prints seconds per frame, multiply-adds per second, the speed ratio and the PSNR between
// the two outputs. Beside each streamed run it times oneDNN's own 3x3 64->64 convolution in f32
// and bf16 and prints the engine's share of each, so the figures of a busy machine still compare.
//
//   engine [--model NAME] [--width W] [--height H] [--scale S] [--frames N] [--repeat R]
//          [--precision fp32|bf16] [--engine PATH] [--no-vulkan]
//
// The tools come from the build's staging folder. korvane-engine runs twice: once on the picture
// file as the application's image path does, once streaming N frames, which gives its steady
// speed without start-up (model loading, preparing the convolutions).
#include <chrono>
#include <cmath>
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "ConvThroughput.h"
#include "engine/PictureDifference.h"
#include "engine/EngineCompat.h"
#include "engine/StreamCommands.h"

namespace {

using Clock = std::chrono::steady_clock;

const QString kTools = QStringLiteral(KORVANE_BENCH_TOOLS);

struct Timed {
    bool ok = false;
    double seconds = 0;
    QByteArray error;
};

Timed timed(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment, const QString& inputFile = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!inputFile.isEmpty())
        process.setStandardInputFile(inputFile);
    process.setStandardOutputFile(QProcess::nullDevice());
    const Clock::time_point start = Clock::now();
    process.start(program, arguments);
    process.waitForFinished(-1);
    Timed result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    result.error = process.readAllStandardError();
    return result;
}

// "... (S s per frame, R G multiply-adds/s)" from the engine's closing line.
double multiplyAddRate(const QByteArray& engineOutput)
{
    const qsizetype end = engineOutput.lastIndexOf(" G multiply-adds/s");
    const qsizetype start = engineOutput.lastIndexOf(' ', end - 1);
    return end > 0 && start > 0 ? engineOutput.mid(start + 1, end - start - 1).toDouble() : 0;
}

// The precision named in the engine's summary line ("korvane-engine: MODEL xS, bf16 (...)").
QByteArray precisionOf(const QByteArray& engineOutput)
{
    const qsizetype comma = engineOutput.indexOf(", ");
    const qsizetype end = engineOutput.indexOf(' ', comma + 2);
    return comma > 0 && end > comma ? engineOutput.mid(comma + 2, end - comma - 2) : "?";
}

double share(double rate, double reference)
{
    return reference > 0 ? 100.0 * rate / reference : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times both AI engines on one frame."));
    parser.addHelpOption();
    const QCommandLineOption modelOption(QStringLiteral("model"), QStringLiteral("Model name."),
                                         QStringLiteral("NAME"),
                                         QStringLiteral("realesr-animevideov3"));
    const QCommandLineOption widthOption(QStringLiteral("width"), QStringLiteral("Frame width."),
                                         QStringLiteral("W"), QStringLiteral("480"));
    const QCommandLineOption heightOption(QStringLiteral("height"), QStringLiteral("Frame height."),
                                          QStringLiteral("H"), QStringLiteral("270"));
    const QCommandLineOption scaleOption(QStringLiteral("scale"), QStringLiteral("Output scale."),
                                         QStringLiteral("S"), QStringLiteral("4"));
    const QCommandLineOption framesOption(QStringLiteral("frames"),
                                          QStringLiteral("Frames for the streamed run."),
                                          QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption repeatOption(
        QStringLiteral("repeat"),
        QStringLiteral("Streamed runs, each beside its own oneDNN figures."), QStringLiteral("R"),
        QStringLiteral("1"));
    const QCommandLineOption precisionOption(QStringLiteral("precision"),
                                             QStringLiteral("fp32 or bf16; the engine's own choice "
                                                            "when left out."),
                                             QStringLiteral("P"));
    const QCommandLineOption engineOption(
        QStringLiteral("engine"),
        QStringLiteral("The korvane-engine to time, for comparing builds (default: this build's)."),
        QStringLiteral("PATH"), kTools + QStringLiteral("/realesrgan/korvane-engine"));
    const QCommandLineOption noVulkanOption(QStringLiteral("no-vulkan"),
                                            QStringLiteral("Time the processor engine only."));
    parser.addOptions({modelOption, widthOption, heightOption, scaleOption, framesOption,
                       repeatOption, precisionOption, engineOption, noVulkanOption});
    parser.process(app);
    const QString model = parser.value(modelOption);
    const int width = parser.value(widthOption).toInt();
    const int height = parser.value(heightOption).toInt();
    const QString scale = parser.value(scaleOption);
    const int frames = std::max(1, parser.value(framesOption).toInt());
    const int repeats = std::max(1, parser.value(repeatOption).toInt());

    QTemporaryDir work;
    const QString picture = work.filePath(QStringLiteral("frame.png"));
    const QString raw = work.filePath(QStringLiteral("frames.rgb"));
    const QString size = QString::number(width) + QLatin1Char('x') + QString::number(height);
    const QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
    const QString source = QStringLiteral("testsrc2=size=") + size + QStringLiteral(":rate=25");
    const Timed made = timed(kTools + QStringLiteral("/ffmpeg"),
                             {QStringLiteral("-v"),
                              QStringLiteral("error"),
                              QStringLiteral("-f"),
                              QStringLiteral("lavfi"),
                              QStringLiteral("-i"),
                              source,
                              QStringLiteral("-frames:v"),
                              QStringLiteral("1"),
                              picture,
                              QStringLiteral("-f"),
                              QStringLiteral("lavfi"),
                              QStringLiteral("-i"),
                              source,
                              QStringLiteral("-frames:v"),
                              QString::number(frames),
                              QStringLiteral("-pix_fmt"),
                              QStringLiteral("rgb24"),
                              QStringLiteral("-f"),
                              QStringLiteral("rawvideo"),
                              raw},
                             plain);
    if (!made.ok) {
        std::fprintf(stderr, "Could not make the test frames: %s\n", made.error.constData());
        return 1;
    }
    const QStringList common{QStringLiteral("-n"), model,
                             QStringLiteral("-s"), scale,
                             QStringLiteral("-m"), kTools + QStringLiteral("/realesrgan/models")};
    std::printf("model=%s frame=%s scale=%s\n", qPrintable(model), qPrintable(size),
                qPrintable(scale));

    const QStringList cpuOptions =
        parser.isSet(precisionOption)
            ? common + QStringList{QStringLiteral("--precision"), parser.value(precisionOption)}
            : common;

    const QString cpuOut = work.filePath(QStringLiteral("cpu.png"));
    const QString cpuEngine = parser.value(engineOption);
    const Timed cpuPicture =
        timed(cpuEngine,
              QStringList{QStringLiteral("-i"), picture, QStringLiteral("-o"), cpuOut} + cpuOptions,
              plain);
    if (!cpuPicture.ok) {
        std::fprintf(stderr, "korvane-engine failed: %s\n", cpuPicture.error.constData());
        return 1;
    }
    std::printf("cpu_precision=%s\n", precisionOf(cpuPicture.error).constData());
    std::printf("cpu_picture_s=%.3f (one picture file, start-up included)\n", cpuPicture.seconds);
    double cpuPerFrame = 0;
    double cpuRate = 0;
    for (int r = 0; r < repeats; ++r) {
        // oneDNN alone right before and after, so the share compares like with like.
        const double f32Before = ConvThroughput::measure(ConvThroughput::Format::Float32);
        const double bf16Before = ConvThroughput::measure(ConvThroughput::Format::BFloat16);
        const Timed cpuStream = timed(
            cpuEngine, QStringList{QStringLiteral("--stream"), size} + cpuOptions, plain, raw);
        if (!cpuStream.ok) {
            std::fprintf(stderr, "korvane-engine failed: %s\n", cpuStream.error.constData());
            return 1;
        }
        const double f32 =
            (f32Before + ConvThroughput::measure(ConvThroughput::Format::Float32)) / 2;
        const double bf16 =
            (bf16Before + ConvThroughput::measure(ConvThroughput::Format::BFloat16)) / 2;
        cpuPerFrame = StreamCommands::upscaleSeconds(cpuStream.error) / frames;
        cpuRate = multiplyAddRate(cpuStream.error);
        std::printf("run %d: cpu_s_per_frame=%.3f (streamed, %d frames) cpu_gmac_per_s=%.1f "
                    "conv_f32_gmac_per_s=%.1f conv_bf16_gmac_per_s=%.1f share_of_f32=%.0f%% "
                    "share_of_bf16=%.0f%%\n",
                    r + 1, cpuPerFrame, frames, cpuRate, f32, bf16, share(cpuRate, f32),
                    share(cpuRate, bf16));
    }
    std::printf("cpu_start_up_s=%.3f (picture file minus one streamed frame)\n",
                cpuPicture.seconds - cpuPerFrame);
    if (parser.isSet(noVulkanOption))
        return 0;

    // The compatibility layer of this build, where device 0 needs it.
    if (qEnvironmentVariableIsEmpty("KORVANE_RESOURCES"))
        qputenv("KORVANE_RESOURCES", KORVANE_BENCH_RESOURCES);
    QProcessEnvironment vulkanEnvironment = plain;
    const QMap<QString, QString> layer = EngineCompat::realesrganEnvironment();
    for (auto it = layer.cbegin(); it != layer.cend(); ++it)
        vulkanEnvironment.insert(it.key(), it.value());
    const QString vulkanOut = work.filePath(QStringLiteral("vulkan.png"));
    const Timed vulkan = timed(kTools + QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan"),
                               QStringList{QStringLiteral("-i"), picture, QStringLiteral("-o"),
                                           vulkanOut, QStringLiteral("-g"), QStringLiteral("0")} +
                                   common,
                               vulkanEnvironment);
    if (!vulkan.ok || !QImage(vulkanOut).size().isValid()) {
        std::fprintf(stderr, "The Vulkan engine failed: %s\n", vulkan.error.right(300).constData());
        return 1;
    }
    // Multiply-adds per frame as the processor engine counted them (its tile margins included).
    const double macs = cpuRate * cpuPerFrame;
    std::printf("vulkan_picture_s=%.3f (one picture file, start-up included)\n", vulkan.seconds);
    std::printf("vulkan_gmac_per_s=%.1f\n", macs / vulkan.seconds);
    std::printf("speedup_picture=%.1f (vulkan / cpu, both one picture file)\n",
                vulkan.seconds / cpuPicture.seconds);
    std::printf("speedup_streamed=%.1f (vulkan picture / cpu streamed frame)\n",
                vulkan.seconds / cpuPerFrame);
    std::printf("psnr_db=%.2f (cpu against vulkan)\n",
                picturePsnr(QImage(cpuOut), QImage(vulkanOut)));
    return 0;
}
