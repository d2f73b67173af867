#include "processing/ImageJob.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QLocale>

#include "engine/ImageFile.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "processing/ImageAdjustments.h"
#include "processing/MissingTools.h"
#include "processing/OutputNaming.h"

namespace ImageJob {
namespace {

// The job's own errors: domain "ImageUpscaler", code 1.
EngineError imageError(const QString& message)
{
    return EngineError(QStringLiteral("ImageUpscaler"), 1, message);
}

} // namespace

QString byteString(double bytes)
{
    if (bytes >= 1000000)
        return QString::asprintf("%.1f MB", bytes / 1000000);
    if (bytes >= 1000)
        return QString::asprintf("%.0f KB", bytes / 1000);
    return QString::number(qint64(bytes)) + QStringLiteral(" B");
}

QString pixelInfo(const QImage& image, double bytes)
{
    return QString::number(image.width()) + QStringLiteral("×") + QString::number(image.height()) +
           QStringLiteral(" px · ") + byteString(bytes);
}

qint64 memoryNeeded(const QSize& size, int scale, bool advanced)
{
    const QSize result = size * scale;
    const qint64 pixels = qint64(result.width()) * qint64(result.height());
    // The adjustments work on an 8-bit copy with three float planes beside it.
    return ImageFile::decodedBytes(result) + (advanced ? pixels * 16 : 0);
}

QByteArray encode(const QImage& image, const QString& format, double quality)
{
    if (image.isNull())
        throw imageError(QStringLiteral("Could not encode image."));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool jpeg = format == QLatin1String("jpg");
    QImageWriter writer(&buffer, jpeg ? QByteArrayLiteral("jpeg") : QByteArrayLiteral("png"));
    if (jpeg)
        writer.setQuality(int(std::lround(std::clamp(quality, 0.0, 1.0) * 100)));
    if (!writer.write(image) || bytes.isEmpty())
        throw imageError(QStringLiteral("Could not encode image."));
    return bytes;
}

QByteArray encodeMatchingSize(const QImage& image, qint64 targetBytes)
{
    const QString jpg = QStringLiteral("jpg");
    if (targetBytes < 1)
        return encode(image, jpg, 0.9);
    QByteArray best = encode(image, jpg, 1.0);
    double lo = 0.3;
    double hi = 1.0;
    const qint64 tolerance = targetBytes / 20;
    for (int probe = 0; probe < 7; ++probe) {
        const double q = (lo + hi) / 2;
        QByteArray d = encode(image, jpg, q);
        const qint64 size = d.size();
        if (size > targetBytes) {
            hi = q;
        } else {
            best = d;
            lo = q;
        }
        if (std::llabs(size - targetBytes) < tolerance)
            return d;
    }
    return best;
}

QString run(const Settings& job, Outcome& outcome, const UpscaleJob::ProgressReporter& report)
{
    UpscaleCore& core = UpscaleCore::shared();
    // Cleared before the first report, so a stop pressed as soon as the job shows is not lost.
    report(0.05, QStringLiteral("Upscaling…"), QString());
    if (!QFileInfo::exists(UpscaleCore::realesrganBinary()))
        throw UpscaleCore::err(MissingTools::realesrganMessage());
    if (job.mode == OutputFile::Mode::Replace && OutputFile::sameFile(job.input, job.destination))
        throw imageError(QStringLiteral("The upscaled image would replace its own source, ") +
                         QFileInfo(job.input).fileName() +
                         QStringLiteral(". Choose another name."));

    // The name is taken before any work, so parallel runs into one folder never share it.
    OutputFile::HeldName name(OutputFile::reserve(job.destination, job.mode, QStringLiteral("image")));

    // A result too large for this machine is refused before the AI runs.
    const ImageFile::Header header = ImageFile::header(job.input);
    if (header.readable) {
        const qint64 needed = memoryNeeded(header.size, job.scale, job.advanced);
        if (needed > ImageFile::memoryAllowance())
            throw imageError(ImageFile::tooLargeMessage(header.size * job.scale, needed));
    }

    const WorkFolder work(QStringLiteral("img-"));
    // The engine ignores the orientation tag of phone photos, so it gets an upright copy.
    const QString engineInput = ImageFile::uprightForEngine(job.input, work.path());
    const QString tmp = work.filePath(QStringLiteral("upscaled.png"));
    core.runRealESRGANImage(engineInput, tmp, AIQualities::modelName(job.quality), job.scale,
                            QStringLiteral("png"));
    if (!QFileInfo::exists(tmp))
        throw UpscaleCore::err(QStringLiteral("No output image produced."));
    QString problem;
    QImage image = ImageFile::read(tmp, 0, &problem);
    if (image.isNull()) {
        // The engine's work is not thrown away: its file stays where the message says.
        outcome.keptPath = WorkFolder::keep(tmp);
        throw imageError(QStringLiteral("Could not read upscaled image (") + problem +
                         QStringLiteral("). The engine's result was kept at ") + outcome.keptPath +
                         QLatin1Char('.'));
    }

    if (job.advanced)
        image =
            ImageAdjustments().apply(image, job.brightness, job.contrast, job.saturation, job.sharpness);

    report(0.75, QStringLiteral("Saving…"), QString());
    QByteArray bytes;
    if (job.matchFileSize)
        bytes = encodeMatchingSize(image, job.sourceBytes);
    else if (job.format == QLatin1String("jpg"))
        bytes = encode(image, QStringLiteral("jpg"), 0.92);
    else
        bytes = encode(image, QStringLiteral("png"), 1.0);

    const OutputFile::Placement placed =
        OutputFile::placeBytes(bytes, job.format, name.reservation(), QStringLiteral("image"));
    name.settle();
    if (placed.error) {
        outcome.keptPath = placed.keptPath;
        throw *placed.error;
    }

    outcome.image = image;
    outcome.info = image.isNull() ? QString() : pixelInfo(image, double(bytes.size()));
    report(1.0, QStringLiteral("Saved"), QString());
    return placed.path;
}

UpscaleJob make(const Settings& settings, const QString& name, const QString& detail,
                std::function<void(const UpscaleJob::Result&, const Outcome&)> finished,
                std::function<void()> left)
{
    UpscaleJob job;
    job.name = name;
    job.icon = QStringLiteral("photo");
    job.detail = detail;
    // Written by the work, read by the completion, which runs after it.
    const auto outcome = std::make_shared<Outcome>();
    job.run = [settings, outcome](const UpscaleJob::ProgressReporter& report) {
        return run(settings, *outcome, report);
    };
    // The name stays taken among this process's jobs until the job has written its file.
    const QString destination = settings.destination;
    OutputNaming::reserve(destination);
    job.onComplete = [destination, outcome, finished](const UpscaleJob::Result& result) {
        OutputNaming::release(destination);
        if (finished)
            finished(result, *outcome);
    };
    job.onRemoved = [destination, left] {
        OutputNaming::release(destination);
        if (left)
            left();
    };
    return job;
}

} // namespace ImageJob
