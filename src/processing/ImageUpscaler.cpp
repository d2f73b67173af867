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
#include "processing/ImageJob.h"
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



} // namespace

ImageUpscaler::ImageUpscaler(QObject* parent)
    : QObject(parent), m_format(QStringLiteral("png")),
      m_history(
          HistoryStore::shared(), ImageHistory::path(), &ImageHistory::encode,
          &ImageHistory::decode, this, [this] { Q_EMIT historyChanged(); })
{
    m_lastSizeText = estimatedSizeText();
    m_lastTimeText = estimatedTimeText();
    m_history.read([this] { Q_EMIT historyLoadedChanged(); });
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
    return ImageJob::byteString(bytes);
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
    return ImageJob::memoryNeeded(size, scale, advanced);
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
        assign(m_sourceInfo, ImageJob::pixelInfo(image, double(bytes)), &ImageUpscaler::sourceInfoChanged);
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
    return ImageJob::encode(image, format, quality);
}

QByteArray ImageUpscaler::encodeMatchingSize(const QImage& image, qint64 targetBytes)
{
    return ImageJob::encodeMatchingSize(image, targetBytes);
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

    ImageJob::Settings settings;
    settings.input = m_inputURL.toLocalFile();
    settings.destination = *dest;
    settings.mode = chosen ? OutputFile::Mode::Replace : OutputFile::Mode::KeepExisting;
    settings.quality = m_quality;
    settings.scale = m_scale;
    settings.format = format;
    settings.matchFileSize = m_matchFileSize;
    settings.sourceBytes = m_sourceBytes;
    settings.advanced = m_advanced;
    settings.sharpness = m_sharpness;
    settings.brightness = m_brightness;
    settings.contrast = m_contrast;
    settings.saturation = m_saturation;
    const QString name = m_inputURL.fileName();
    const int scale = m_scale;
    QPointer<ImageUpscaler> self(this);
    const UpscaleJob job = ImageJob::make(
        settings, name,
        QString::number(m_scale) + QStringLiteral("× · ") + AIQualities::label(m_quality),
        [self, name, scale](const UpscaleJob::Result& result, const ImageJob::Outcome& outcome) {
            if (self)
                self->jobFinished(name, scale, outcome, result.location, result.error);
        },
        [self] {
            if (self)
                self->countDown();
        });

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

void ImageUpscaler::jobFinished(const QString& name, int scale, const ImageJob::Outcome& box,
                                const QString& location,
                                const std::optional<EngineError>& failure)
{
    countDown();
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.name = name;
    entry.date = QDateTime::currentDateTimeUtc();
    entry.scale = scale;
    if (failure && failure->isCancellation()) {
        // The user's own stop: said plainly, not as a failure, and without a notification.
        assign(m_statusText, QStringLiteral("Stopped"), &ImageUpscaler::statusTextChanged);
        return;
    }
    if (failure) {
        assign(m_errorText, failure->message(), &ImageUpscaler::errorTextChanged);
        assign(m_statusText, QStringLiteral("Failed"), &ImageUpscaler::statusTextChanged);
        entry.success = false;
        entry.error = failure->message();
        // A result that could not be saved is listed where it was kept, so the history row
        // offers "Show in Folder" for it.
        if (!box.keptPath.isEmpty())
            entry.savedPath = box.keptPath;
        m_history.add(entry);
        Notifier::upscaleFinished(name, false);
        return;
    }
    setImage(m_upscaledImage, box.image, &ImageUpscaler::upscaledImageChanged);
    assign(m_outputURL, location.isEmpty() ? QUrl() : QUrl::fromLocalFile(location),
           &ImageUpscaler::outputURLChanged);
    assign(m_savedPath, location.isEmpty() ? QString() : location,
           &ImageUpscaler::savedPathChanged);
    assign(m_upscaledInfo, box.info, &ImageUpscaler::upscaledInfoChanged);
    assign(m_statusText, QStringLiteral("Saved"), &ImageUpscaler::statusTextChanged);
    entry.success = true;
    if (!location.isEmpty())
        entry.savedPath = location;
    m_history.add(entry);
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
}

void ImageUpscaler::deleteHistory(const QSet<QUuid>& ids, bool deleteFiles)
{
    m_history.remove(ids, deleteFiles, outputFile);
}

void ImageUpscaler::clearHistory(bool deleteFiles)
{
    m_history.remove(std::nullopt, deleteFiles, outputFile);
}

void ImageUpscaler::reloadHistory()
{
    m_history.read();
}

QString ImageUpscaler::historyPath()
{
    return ImageHistory::path();
}

QByteArray ImageUpscaler::encodeHistory(const QList<HistoryEntry>& entries)
{
    return ImageHistory::encode(entries);
}

std::optional<QList<ImageUpscaler::HistoryEntry>>
ImageUpscaler::decodeHistory(const QByteArray& json)
{
    return ImageHistory::decode(json);
}
