#include "processing/ImageUpscaler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include "engine/ImageFile.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "processing/AppSettings.h"
#include "processing/HistoryJson.h"
#include "processing/HistoryStore.h"
#include "processing/ImageAdjustments.h"
#include "processing/JobQueue.h"
#include "processing/MissingTools.h"
#include "processing/Notifier.h"
#include "processing/OutputFile.h"
#include "processing/OutputNaming.h"
#include "processing/ReferenceDate.h"
#include "processing/SaveDialog.h"

namespace {
// The file a history entry produced, or an empty name.
QString outputFile(const ImageUpscaler::HistoryEntry& entry)
{
    return entry.savedPath.value_or(QString());
}

bool onMainThread(const QObject* object)
{
    return QThread::currentThread() == object->thread();
}

// The model's own errors: domain "ImageUpscaler", code 1.
EngineError imageError(const QString& message)
{
    return EngineError(QStringLiteral("ImageUpscaler"), 1, message);
}

QString pixelInfo(const QImage& image, double bytes)
{
    return QString::number(image.width()) + QStringLiteral("×") + QString::number(image.height()) +
           QStringLiteral(" px · ") + ImageUpscaler::byteString(bytes);
}

// Everything a job's work needs, captured when it is queued.
struct ImageJobSettings {
    QString input;
    QString dest;
    AIQuality quality = AIQuality::Detailed;
    int scale = 4;
    bool advanced = false;
    double sharpness = 0;
    double brightness = 0;
    double contrast = 1;
    double saturation = 1;
    bool matchFileSize = false;
    qint64 sourceBytes = 0;
    QString format;
    OutputFile::Mode mode = OutputFile::Mode::KeepExisting;
};

QString runImageJob(const ImageJobSettings& job, const std::weak_ptr<ImageAdjustments>& model,
                    const std::shared_ptr<ImageUpscaler::ResultBox>& box,
                    const UpscaleJob::ProgressReporter& report)
{
    const std::shared_ptr<ImageAdjustments> adjustments = model.lock();
    if (!adjustments)
        return {};
    UpscaleCore& core = UpscaleCore::shared();
    // Cleared before the first report, so a stop pressed as soon as the job shows is not lost.
    report(0.05, QStringLiteral("Upscaling…"), QString());
    if (!QFileInfo::exists(UpscaleCore::realesrganBinary()))
        throw UpscaleCore::err(MissingTools::realesrganMessage());
    if (job.mode == OutputFile::Mode::Replace && OutputFile::sameFile(job.input, job.dest))
        throw imageError(QStringLiteral("The upscaled image would replace its own source, ") +
                         QFileInfo(job.input).fileName() +
                         QStringLiteral(". Choose another name."));

    // A result too large for this machine is refused before the AI runs.
    const ImageFile::Header header = ImageFile::header(job.input);
    if (header.readable) {
        const qint64 needed = ImageUpscaler::memoryNeeded(header.size, job.scale, job.advanced);
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
        box->keptPath = WorkFolder::keep(tmp);
        throw imageError(QStringLiteral("Could not read upscaled image (") + problem +
                         QStringLiteral("). The engine's result was kept at ") + box->keptPath +
                         QLatin1Char('.'));
    }

    if (job.advanced)
        image =
            adjustments->apply(image, job.brightness, job.contrast, job.saturation, job.sharpness);

    report(0.75, QStringLiteral("Saving…"), QString());
    QByteArray bytes;
    if (job.matchFileSize)
        bytes = ImageUpscaler::encodeMatchingSize(image, job.sourceBytes);
    else if (job.format == QLatin1String("jpg"))
        bytes = ImageUpscaler::encode(image, QStringLiteral("jpg"), 0.92);
    else
        bytes = ImageUpscaler::encode(image, QStringLiteral("png"), 1.0);

    const OutputFile::Placement placed =
        OutputFile::placeBytes(bytes, job.format, job.dest, job.mode, QStringLiteral("image"));
    if (placed.error) {
        box->keptPath = placed.keptPath;
        throw *placed.error;
    }

    box->image = image;
    box->info = image.isNull() ? QString() : pixelInfo(image, double(bytes.size()));
    report(1.0, QStringLiteral("Saved"), QString());
    return placed.path;
}
} // namespace

ImageUpscaler::ImageUpscaler(QObject* parent)
    : QObject(parent), m_format(QStringLiteral("png")),
      m_history(historyPath(), &ImageUpscaler::encodeHistory),
      m_adjustments(std::make_shared<ImageAdjustments>())
{
    m_lastSizeText = estimatedSizeText();
    m_lastTimeText = estimatedTimeText();
    HistoryStore::shared().load<QList<HistoryEntry>>(
        historyPath(), [](const QByteArray& json) { return decodeHistory(json); }, this,
        [this](const QList<HistoryEntry>& loaded) { applyLoadedHistory(loaded); });
}

ImageUpscaler::~ImageUpscaler() = default;

void ImageUpscaler::setImage(QImage& field, const QImage& value, void (ImageUpscaler::*changed)())
{
    if (field.isNull() && value.isNull())
        return;
    field = value;
    Q_EMIT(this->*changed)();
}

void ImageUpscaler::setQuality(AIQuality quality)
{
    assign(m_quality, quality, &ImageUpscaler::qualityChanged);
    refreshDerived();
}

void ImageUpscaler::setScale(int scale)
{
    assign(m_scale, scale, &ImageUpscaler::scaleChanged);
    refreshDerived();
}

void ImageUpscaler::setFormat(const QString& format)
{
    assign(m_format, format, &ImageUpscaler::formatChanged);
    refreshDerived();
}

void ImageUpscaler::setMatchFileSize(bool on)
{
    assign(m_matchFileSize, on, &ImageUpscaler::matchFileSizeChanged);
    refreshDerived();
}

void ImageUpscaler::setAdvanced(bool on)
{
    assign(m_advanced, on, &ImageUpscaler::advancedChanged);
}

void ImageUpscaler::setSharpness(double value)
{
    assign(m_sharpness, value, &ImageUpscaler::sharpnessChanged);
}

void ImageUpscaler::setBrightness(double value)
{
    assign(m_brightness, value, &ImageUpscaler::brightnessChanged);
}

void ImageUpscaler::setContrast(double value)
{
    assign(m_contrast, value, &ImageUpscaler::contrastChanged);
}

void ImageUpscaler::setSaturation(double value)
{
    assign(m_saturation, value, &ImageUpscaler::saturationChanged);
}

QString ImageUpscaler::estimatedSizeText() const
{
    if (!hasSelection())
        return QStringLiteral("—");
    return sizeEstimate(m_srcW, m_srcH, m_scale, m_format, m_matchFileSize, m_sourceBytes);
}

QString ImageUpscaler::estimatedTimeText() const
{
    if (!hasSelection())
        return QStringLiteral("—");
    return timeEstimate(m_srcW, m_srcH, m_scale, m_quality);
}

void ImageUpscaler::refreshDerived()
{
    if (hasSelection() != m_lastHasSelection) {
        m_lastHasSelection = hasSelection();
        Q_EMIT hasSelectionChanged();
    }
    const QString size = estimatedSizeText();
    if (size != m_lastSizeText) {
        m_lastSizeText = size;
        Q_EMIT estimatedSizeTextChanged();
    }
    const QString time = estimatedTimeText();
    if (time != m_lastTimeText) {
        m_lastTimeText = time;
        Q_EMIT estimatedTimeTextChanged();
    }
}

QString ImageUpscaler::byteString(double bytes)
{
    if (bytes >= 1000000)
        return QString::asprintf("%.1f MB", bytes / 1000000);
    if (bytes >= 1000)
        return QString::asprintf("%.0f KB", bytes / 1000);
    return QString::number(qint64(bytes)) + QStringLiteral(" B");
}

QString ImageUpscaler::timeString(double seconds)
{
    const qint64 s = std::llround(seconds);
    if (s < 60)
        return QString::number(s) + QLatin1Char('s');
    return QString::number(s / 60) + QStringLiteral("m ") + QString::number(s % 60) +
           QLatin1Char('s');
}

QString ImageUpscaler::sizeEstimate(qint64 w, qint64 h, int scale, const QString& format,
                                    bool matchFileSize, qint64 sourceBytes)
{
    if (w <= 0)
        return QStringLiteral("—");
    return byteString(double(estimatedBytes(w, h, scale, format, matchFileSize, sourceBytes)));
}

qint64 ImageUpscaler::estimatedBytes(qint64 w, qint64 h, int scale, const QString& format,
                                     bool matchFileSize, qint64 sourceBytes)
{
    if (matchFileSize)
        return sourceBytes;
    const double pixels = double(w * scale) * double(h * scale);
    return qint64(pixels * (format == QLatin1String("jpg") ? 0.5 : 2.2));
}

qint64 ImageUpscaler::memoryNeeded(const QSize& size, int scale, bool advanced)
{
    const QSize result = size * scale;
    const qint64 pixels = qint64(result.width()) * qint64(result.height());
    // The adjustments work on an 8-bit copy with three float planes beside it.
    return ImageFile::decodedBytes(result) + (advanced ? pixels * 16 : 0);
}

QString ImageUpscaler::timeEstimate(qint64 w, qint64 h, int scale, AIQuality quality)
{
    if (w <= 0)
        return QStringLiteral("—");
    const double pixels = double(w * scale) * double(h * scale);
    double perMegapixel = 1.6;
    switch (quality) {
    case AIQuality::Fast:
        perMegapixel = 0.6;
        break;
    case AIQuality::Detailed:
        perMegapixel = 1.6;
        break;
    case AIQuality::Max:
        perMegapixel = 3.0;
        break;
    }
    return QLatin1Char('~') + timeString(pixels / 1000000 * perMegapixel + 2);
}

void ImageUpscaler::load(const QUrl& url)
{
    Q_ASSERT(onMainThread(this));
    const quint64 generation = ++m_loadGeneration;
    assign(m_inputURL, url, &ImageUpscaler::inputURLChanged);
    assign(m_fileName, url.fileName(), &ImageUpscaler::fileNameChanged);
    assign(m_outputURL, QUrl(), &ImageUpscaler::outputURLChanged);
    assign(m_savedPath, QString(), &ImageUpscaler::savedPathChanged);
    setImage(m_upscaledImage, QImage(), &ImageUpscaler::upscaledImageChanged);
    assign(m_errorText, QString(), &ImageUpscaler::errorTextChanged);
    assign(m_upscaledInfo, QString(), &ImageUpscaler::upscaledInfoChanged);
    assign(m_statusText, QString(), &ImageUpscaler::statusTextChanged);
    assign(m_etaText, QString(), &ImageUpscaler::etaTextChanged);
    // Until the file has been read the image is described as unreadable.
    assign(m_sourceBytes, qint64(0), &ImageUpscaler::sourceBytesChanged);
    setImage(m_originalImage, QImage(), &ImageUpscaler::originalImageChanged);
    assign(m_srcW, qint64(0), &ImageUpscaler::srcWChanged);
    assign(m_srcH, qint64(0), &ImageUpscaler::srcHChanged);
    assign(m_sourceInfo, QString(), &ImageUpscaler::sourceInfoChanged);
    refreshDerived();

    const QString path = url.toLocalFile();
    QPointer<ImageUpscaler> self(this);
    QThreadPool::globalInstance()->start([self, generation, path] {
        const QFileInfo info(path);
        const qint64 bytes = info.isFile() ? info.size() : 0;
        QString problem;
        const QImage image = ImageFile::read(path, 0, &problem);
        // Only a refusal for size is shown; an unreadable file is described as such elsewhere.
        if (!image.isNull() || !problem.startsWith(QLatin1String("This picture is too large")))
            problem.clear();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, bytes, image, problem] {
                if (self)
                    self->applyLoadedImage(generation, bytes, image, problem);
            },
            Qt::QueuedConnection);
    });
}

void ImageUpscaler::applyLoadedImage(quint64 generation, qint64 bytes, const QImage& image,
                                     const QString& problem)
{
    // A later load or clearSelection has replaced the image this reading belongs to.
    if (generation != m_loadGeneration)
        return;
    assign(m_errorText, problem, &ImageUpscaler::errorTextChanged);
    assign(m_sourceBytes, bytes, &ImageUpscaler::sourceBytesChanged);
    setImage(m_originalImage, image, &ImageUpscaler::originalImageChanged);
    if (!image.isNull()) {
        assign(m_srcW, qint64(image.width()), &ImageUpscaler::srcWChanged);
        assign(m_srcH, qint64(image.height()), &ImageUpscaler::srcHChanged);
        assign(m_sourceInfo, pixelInfo(image, double(bytes)), &ImageUpscaler::sourceInfoChanged);
    }
    refreshDerived();
}

std::optional<QString> ImageUpscaler::destinationURL(const QUrl& input, const QString& format)
{
    const QFileInfo source(input.toLocalFile());
    const QString base = OutputNaming::baseName(source.fileName());
    if (AppSettings::askWhereToSave()) {
        SaveDialog::Request request;
        request.suggestedPath = source.dir().filePath(base + QStringLiteral("_upscaled.") + format);
        request.message = QStringLiteral("Choose where to save the upscaled image");
        std::optional<QString> chosen = SaveDialog::ask(request);
        if (!chosen || chosen->isEmpty())
            return std::nullopt;
        return chosen;
    }
    return OutputNaming::firstFreeUpscaledPath(source.absolutePath(), base, format);
}

QByteArray ImageUpscaler::encode(const QImage& image, const QString& format, double quality)
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

QByteArray ImageUpscaler::encodeMatchingSize(const QImage& image, qint64 targetBytes)
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

void ImageUpscaler::run()
{
    Q_ASSERT(onMainThread(this));
    if (m_inputURL.isEmpty() || !m_inputURL.isLocalFile())
        return;
    const QString format = m_matchFileSize ? QStringLiteral("jpg") : m_format;
    // A name chosen in the save dialog may replace that file; a name made here never replaces.
    const bool chosen = AppSettings::askWhereToSave();
    const std::optional<QString> dest = destinationURL(m_inputURL, format);
    if (!dest)
        return;
    const std::optional<QString> problem = OutputFile::destinationProblem(
        *dest, {m_inputURL.toLocalFile()},
        estimatedBytes(m_srcW, m_srcH, m_scale, format, m_matchFileSize, m_sourceBytes),
        QStringLiteral("image"));
    if (problem) {
        assign(m_errorText, *problem, &ImageUpscaler::errorTextChanged);
        return;
    }

    ++m_outstanding;
    assign(m_isRunning, true, &ImageUpscaler::isRunningChanged);
    assign(m_errorText, QString(), &ImageUpscaler::errorTextChanged);
    setImage(m_upscaledImage, QImage(), &ImageUpscaler::upscaledImageChanged);
    assign(m_outputURL, QUrl(), &ImageUpscaler::outputURLChanged);
    assign(m_savedPath, QString(), &ImageUpscaler::savedPathChanged);

    ImageJobSettings settings;
    settings.input = m_inputURL.toLocalFile();
    settings.dest = *dest;
    settings.quality = m_quality;
    settings.scale = m_scale;
    settings.advanced = m_advanced;
    settings.sharpness = m_sharpness;
    settings.brightness = m_brightness;
    settings.contrast = m_contrast;
    settings.saturation = m_saturation;
    settings.matchFileSize = m_matchFileSize;
    settings.sourceBytes = m_sourceBytes;
    settings.format = format;
    settings.mode = chosen ? OutputFile::Mode::Replace : OutputFile::Mode::KeepExisting;
    const QString name = m_inputURL.fileName();
    const int scale = m_scale;
    const auto box = std::make_shared<ResultBox>();
    const std::weak_ptr<ImageAdjustments> adjustments = m_adjustments;

    UpscaleJob job;
    job.name = name;
    job.icon = QStringLiteral("photo");
    job.detail = QString::number(m_scale) + QStringLiteral("× · ") + AIQualities::label(m_quality);
    job.run = [settings, adjustments, box](const UpscaleJob::ProgressReporter& report) {
        return runImageJob(settings, adjustments, box, report);
    };
    QPointer<ImageUpscaler> self(this);
    // The name stays taken until the job has written its file (or will never write it).
    const QString destination = settings.dest;
    OutputNaming::reserve(destination);
    job.onComplete = [self, name, scale, box, destination](const UpscaleJob::Result& result) {
        OutputNaming::release(destination);
        if (!self)
            return;
        std::optional<QString> failure;
        if (!result.succeeded())
            failure = result.error->message();
        self->jobFinished(name, scale, box, result.location, failure);
    };
    job.onRemoved = [self, destination] {
        OutputNaming::release(destination);
        if (self)
            self->countDown();
    };

    QMetaObject::invokeMethod(
        &JobQueue::shared(), [job] { JobQueue::shared().enqueue({job}); }, Qt::QueuedConnection);
    clearSelection();
}

void ImageUpscaler::countDown()
{
    --m_outstanding;
    if (m_outstanding <= 0) {
        m_outstanding = 0;
        assign(m_isRunning, false, &ImageUpscaler::isRunningChanged);
    }
}

void ImageUpscaler::jobFinished(const QString& name, int scale,
                                const std::shared_ptr<ResultBox>& box, const QString& location,
                                const std::optional<QString>& failure)
{
    countDown();
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.name = name;
    entry.date = QDateTime::currentDateTimeUtc();
    entry.scale = scale;
    if (failure && isCancellationMessage(*failure)) {
        // The user's own stop: said plainly, not as a failure, and without a notification.
        assign(m_statusText, QStringLiteral("Stopped"), &ImageUpscaler::statusTextChanged);
        return;
    }
    if (failure) {
        assign(m_errorText, *failure, &ImageUpscaler::errorTextChanged);
        assign(m_statusText, QStringLiteral("Failed"), &ImageUpscaler::statusTextChanged);
        entry.success = false;
        entry.error = *failure;
        // A result that could not be saved is listed where it was kept, so the history row
        // offers "Show in Folder" for it.
        if (!box->keptPath.isEmpty())
            entry.savedPath = box->keptPath;
        setHistory(QList<HistoryEntry>{entry} + m_history.entries());
        Notifier::upscaleFinished(name, false);
        return;
    }
    setImage(m_upscaledImage, box->image, &ImageUpscaler::upscaledImageChanged);
    assign(m_outputURL, location.isEmpty() ? QUrl() : QUrl::fromLocalFile(location),
           &ImageUpscaler::outputURLChanged);
    assign(m_savedPath, location.isEmpty() ? QString() : location,
           &ImageUpscaler::savedPathChanged);
    assign(m_upscaledInfo, box->info, &ImageUpscaler::upscaledInfoChanged);
    assign(m_statusText, QStringLiteral("Saved"), &ImageUpscaler::statusTextChanged);
    entry.success = true;
    if (!location.isEmpty())
        entry.savedPath = location;
    setHistory(QList<HistoryEntry>{entry} + m_history.entries());
    Notifier::upscaleFinished(name, true);
}

void ImageUpscaler::clearSelection()
{
    ++m_loadGeneration;
    assign(m_inputURL, QUrl(), &ImageUpscaler::inputURLChanged);
    setImage(m_originalImage, QImage(), &ImageUpscaler::originalImageChanged);
    setImage(m_upscaledImage, QImage(), &ImageUpscaler::upscaledImageChanged);
    assign(m_errorText, QString(), &ImageUpscaler::errorTextChanged);
    assign(m_fileName, QString(), &ImageUpscaler::fileNameChanged);
    assign(m_sourceInfo, QString(), &ImageUpscaler::sourceInfoChanged);
    assign(m_upscaledInfo, QString(), &ImageUpscaler::upscaledInfoChanged);
    assign(m_statusText, QString(), &ImageUpscaler::statusTextChanged);
    assign(m_etaText, QString(), &ImageUpscaler::etaTextChanged);
    assign(m_sourceBytes, qint64(0), &ImageUpscaler::sourceBytesChanged);
    assign(m_srcW, qint64(0), &ImageUpscaler::srcWChanged);
    assign(m_srcH, qint64(0), &ImageUpscaler::srcHChanged);
    refreshDerived();
}

void ImageUpscaler::setHistory(const QList<HistoryEntry>& entries)
{
    m_history.assign(entries);
    Q_EMIT historyChanged();
}

void ImageUpscaler::deleteHistory(const QSet<QUuid>& ids, bool deleteFiles)
{
    m_history.remove(ids, deleteFiles, outputFile);
    Q_EMIT historyChanged();
}

void ImageUpscaler::clearHistory(bool deleteFiles)
{
    m_history.remove(std::nullopt, deleteFiles, outputFile);
    Q_EMIT historyChanged();
}

void ImageUpscaler::applyLoadedHistory(const QList<HistoryEntry>& loaded)
{
    m_history.takeLoaded(loaded);
    Q_EMIT historyChanged();
    Q_EMIT historyLoadedChanged();
}

QString ImageUpscaler::historyPath()
{
    return UpscaleCore::toolsFolder() + QStringLiteral("/image-history.json");
}

QByteArray ImageUpscaler::encodeHistory(const QList<HistoryEntry>& entries)
{
    QJsonArray array;
    for (const HistoryEntry& entry : entries) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), HistoryJson::uuidText(entry.id));
        object.insert(QStringLiteral("name"), entry.name);
        object.insert(QStringLiteral("date"), ReferenceDate::toSeconds(entry.date));
        object.insert(QStringLiteral("scale"), entry.scale);
        object.insert(QStringLiteral("success"), entry.success);
        if (entry.savedPath)
            object.insert(QStringLiteral("savedPath"), *entry.savedPath);
        if (entry.error)
            object.insert(QStringLiteral("error"), *entry.error);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<ImageUpscaler::HistoryEntry>>
ImageUpscaler::decodeHistory(const QByteArray& json)
{
    const std::optional<QJsonArray> array = HistoryJson::parseArray(json);
    if (!array)
        return std::nullopt;
    QList<HistoryEntry> entries;
    for (const QJsonValue& value : *array) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        const auto id = HistoryJson::uuid(object, QStringLiteral("id"));
        const auto name = HistoryJson::string(object, QStringLiteral("name"));
        const auto date = HistoryJson::number(object, QStringLiteral("date"));
        const auto scale = HistoryJson::integer(object, QStringLiteral("scale"));
        const auto success = HistoryJson::boolean(object, QStringLiteral("success"));
        if (!id || !name || !date || !scale || !success)
            return std::nullopt;
        bool valid = true;
        HistoryEntry entry;
        entry.savedPath = HistoryJson::optionalString(object, QStringLiteral("savedPath"), &valid);
        entry.error = HistoryJson::optionalString(object, QStringLiteral("error"), &valid);
        if (!valid)
            return std::nullopt;
        entry.id = *id;
        entry.name = *name;
        entry.date = ReferenceDate::fromSeconds(*date);
        entry.scale = *scale;
        entry.success = *success;
        entries.append(entry);
    }
    return entries;
}
