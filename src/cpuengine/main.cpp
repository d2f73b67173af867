// korvane-engine: the Real-ESRGAN models on the processor. Exits 0 only when every picture or
// frame it was given was upscaled and written; otherwise prints one line naming the failure on
// standard error and exits 1.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <stdexcept>

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <oneapi/dnnl/dnnl.hpp>

#include "cpuengine/CommandLine.h"
#include "cpuengine/Resample.h"
#include "cpuengine/Upscaler.h"

using namespace cpuengine;

namespace {

using Clock = std::chrono::steady_clock;

class RunError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string local(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

// Resizes 8-bit pixels (any channel count) from the model's scale to the scale asked for.
std::vector<std::uint8_t> rescaled(const std::vector<std::uint8_t>& pixels, Shape from, Shape to)
{
    if (from == to)
        return pixels;
    std::vector<float> source(pixels.begin(), pixels.end());
    std::vector<float> target(to.size());
    resizeBicubic(source.data(), from, target.data(), to);
    std::vector<std::uint8_t> result(to.size());
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = std::uint8_t(std::clamp(std::lround(target[i]), 0L, 255L));
    return result;
}

// One frame or picture through the model, then to the requested scale.
std::vector<std::uint8_t> upscaleRgb(Upscaler& upscaler, const std::uint8_t* rgb, int width,
                                     int height, int scale)
{
    const int s = upscaler.scale();
    const std::vector<std::uint8_t> atModelScale = upscaler.upscale(rgb, width, height);
    return rescaled(atModelScale, {3, height * s, width * s}, {3, height * scale, width * scale});
}

void upscalePicture(Upscaler& upscaler, const CommandLine& line, const QString& input,
                    const QString& output, const QString& format)
{
    QImageReader reader(input);
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (picture.isNull())
        throw RunError("cannot read the picture " + local(input) + ": " +
                       local(reader.errorString()));
    const bool alpha = picture.hasAlphaChannel();
    picture = picture.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const int width = picture.width();
    const int height = picture.height();
    const int channels = alpha ? 4 : 3;

    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    std::vector<std::uint8_t> opacity(alpha ? std::size_t(width) * height : 0);
    for (int y = 0; y < height; ++y) {
        const uchar* row = picture.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            const std::size_t p = std::size_t(y) * width + x;
            std::copy_n(row + x * channels, 3, rgb.data() + p * 3);
            if (alpha)
                opacity[p] = row[x * channels + 3];
        }
    }
    const int scale = line.scale;
    const std::vector<std::uint8_t> colours =
        upscaleRgb(upscaler, rgb.data(), width, height, scale);
    // Transparency is resized, not enhanced.
    const std::vector<std::uint8_t> opacityOut =
        alpha ? rescaled(opacity, {1, height, width}, {1, height * scale, width * scale})
              : std::vector<std::uint8_t>();

    QImage result(width * scale, height * scale,
                  alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    for (int y = 0; y < result.height(); ++y) {
        uchar* row = result.scanLine(y);
        for (int x = 0; x < result.width(); ++x) {
            const std::size_t p = std::size_t(y) * result.width() + x;
            std::copy_n(colours.data() + p * 3, 3, row + x * channels);
            if (alpha)
                row[x * channels + 3] = opacityOut[p];
        }
    }
    // Written to a temporary file and renamed, so a stopped run leaves no partial picture.
    QSaveFile file(output);
    QImageWriter writer(&file, format.toLatin1());
    if (format == QLatin1String("jpg"))
        writer.setQuality(95);
    if (!file.open(QIODevice::WriteOnly) || !writer.write(result) || !file.commit())
        throw RunError("cannot write " + local(output) + ": " +
                       local(writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                                          : file.errorString()));
}

QString formatFor(const CommandLine& line, const QString& output)
{
    if (!line.format.empty())
        return QString::fromStdString(line.format);
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix == QLatin1String("jpeg") || suffix == QLatin1String("jpg"))
        return QStringLiteral("jpg");
    if (suffix == QLatin1String("webp"))
        return suffix;
    return QStringLiteral("png");
}

int runPictures(Upscaler& upscaler, const CommandLine& line)
{
    const QString input = QString::fromLocal8Bit(line.input.c_str());
    const QString output = QString::fromLocal8Bit(line.output.c_str());
    const QFileInfo inputInfo(input);
    if (!inputInfo.exists())
        throw RunError("the input " + line.input + " does not exist");
    if (!inputInfo.isDir()) {
        upscalePicture(upscaler, line, input, output, formatFor(line, output));
        return 0;
    }
    if (!QDir().mkpath(output))
        throw RunError("cannot create the output folder " + line.output);
    const QString format =
        line.format.empty() ? QStringLiteral("png") : QString::fromStdString(line.format);
    const QFileInfoList files = QDir(input).entryInfoList(QDir::Files, QDir::Name);
    int failed = 0;
    std::string firstFailure;
    for (const QFileInfo& file : files) {
        const QString target =
            output + QLatin1Char('/') + file.completeBaseName() + QLatin1Char('.') + format;
        try {
            upscalePicture(upscaler, line, file.filePath(), target, format);
        } catch (const RunError& error) {
            // The other pictures are still worth doing; the run fails at the end.
            std::fprintf(stderr, "korvane-engine: %s\n", error.what());
            if (failed++ == 0)
                firstFailure = error.what();
        }
    }
    if (failed > 0)
        throw RunError(std::to_string(failed) + " of " + std::to_string(files.size()) +
                       " pictures failed, the first: " + firstFailure);
    return 0;
}

// Reads exactly size bytes; false at a clean end of input before the first byte.
bool readFrame(std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::read(STDIN_FILENO, data + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw RunError(std::string("cannot read frames: ") + std::strerror(errno));
        if (count == 0) {
            if (done == 0)
                return false;
            throw RunError("the input ended in the middle of a frame (" + std::to_string(done) +
                           " of " + std::to_string(size) + " bytes)");
        }
        done += std::size_t(count);
    }
    return true;
}

void writeFrame(const std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::write(STDOUT_FILENO, data + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw RunError(std::string("cannot write frames: ") + std::strerror(errno));
        done += std::size_t(count);
    }
}

// Frames are read and written on their own threads while the current one is computed, so
// the processor never waits for the pipes.
int runStream(Upscaler& upscaler, const CommandLine& line)
{
    // A reader that goes away is reported as a write error rather than ending the program.
    ::signal(SIGPIPE, SIG_IGN);
    const int width = line.streamWidth;
    const int height = line.streamHeight;
    std::vector<std::uint8_t> frame(std::size_t(width) * height * 3);
    std::vector<std::uint8_t> next(frame.size());
    long long frames = 0;
    double seconds = 0; // upscaling only, not waiting for frames or for the reader
    std::future<void> writing;
    bool more = readFrame(frame.data(), frame.size());
    while (more) {
        std::future<bool> reading =
            std::async(std::launch::async, [&next] { return readFrame(next.data(), next.size()); });
        const Clock::time_point start = Clock::now();
        std::vector<std::uint8_t> result =
            upscaleRgb(upscaler, frame.data(), width, height, line.scale);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        if (writing.valid())
            writing.get();
        writing = std::async(std::launch::async, [result = std::move(result), number = ++frames] {
            writeFrame(result.data(), result.size());
            std::fprintf(stderr, "frame %lld\n", number);
        });
        more = reading.get();
        std::swap(frame, next);
    }
    if (writing.valid())
        writing.get();
    std::fprintf(stderr, "done %lld frames in %.3f s (%.3f s per frame, %.1f G multiply-adds/s)\n",
                 frames, seconds, frames ? seconds / double(frames) : 0.0,
                 seconds > 0 ? upscaler.multiplyAdds() / seconds / 1e9 : 0.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        const CommandLine line = parseCommandLine(arguments);
        if (line.help) {
            std::fputs(usageText(), stdout);
            return 0;
        }
        if (line.version) {
            std::fputs("korvane-engine " KORVANE_VERSION "\n", stdout);
            return 0;
        }
        const bool hasBFloat16 = processorHasBFloat16();
        Upscaler upscaler(loadModel(line.paramPath(), line.binPath()), line.tile, line.overlap,
                          choosePrecision(line.precision, hasBFloat16));
        // One line that says how this run computes, before any picture.
        std::fprintf(stderr, "korvane-engine: %s x%d, %s, tiles of %d with %d overlap\n",
                     line.model.c_str(), upscaler.scale(),
                     precisionSummary(line.precision, hasBFloat16).c_str(), upscaler.tile(),
                     upscaler.overlap());
        return line.stream ? runStream(upscaler, line) : runPictures(upscaler, line);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "korvane-engine: %s\n%s", error.what(), usageText());
    } catch (const dnnl::error& error) {
        std::fprintf(stderr,
                     "korvane-engine: this processor cannot run the model in the chosen "
                     "precision (oneDNN: %s); try --precision fp32\n",
                     error.what());
    } catch (const ModelError& error) {
        std::fprintf(stderr, "korvane-engine: the model cannot be used: %s\n", error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "korvane-engine: %s\n", error.what());
    }
    return 1;
}
