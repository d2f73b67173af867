#include "processing/Upscaler.h"

#include <cmath>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QThread>
#include <QtConcurrent>

#include "engine/EngineLog.h"
#include "engine/SystemAdvisor.h"
#include "engine/VideoCheck.h"
#include "engine/UpscaleCore.h"
#include "engine/UpscaleOptions.h"
#include "processing/AppSettings.h"
#include "processing/HistoryJson.h"
#include "processing/HistoryStore.h"
#include "processing/JobQueue.h"
#include "processing/JobSpeed.h"
#include "processing/MissingTools.h"
#include "processing/Notifier.h"
#include "processing/OutputFile.h"
#include "processing/OutputNaming.h"
#include "processing/ReferenceDate.h"
#include "processing/SaveDialog.h"
#include "processing/VideoJob.h"

namespace {
// The file a history entry produced, or an empty name.
QString outputFile(const Upscaler::HistoryEntry& entry)
{
    return entry.outputURL.isEmpty() ? QString() : entry.outputURL.toLocalFile();
}

bool onMainThread(const QObject* object)
{
    return QThread::currentThread() == object->thread();
}

} // namespace

Upscaler::Upscaler(QObject* parent)
    : QObject(parent), m_codec(Codecs::hevc),
      m_history(
          HistoryStore::shared(), VideoHistory::path(), &VideoHistory::encode,
          &VideoHistory::decodeForShowing, this, [this] { Q_EMIT historyChanged(); })
{
    m_lastEstimate = estimatedStorageText();
    m_history.read([this] { Q_EMIT historyLoadedChanged(); });
}

Upscaler::~Upscaler() = default;

void Upscaler::setTargetHeight(qint64 height)
{
    if (height != m_targetHeight)
        m_userChoseOptions = true;
    assign(m_targetHeight, height, &Upscaler::targetHeightChanged);
    refreshEstimate();
}

void Upscaler::setCodec(const QString& codec)
{
    assign(m_codec, codec, &Upscaler::codecChanged);
    refreshEstimate();
}

void Upscaler::setQuality(AIQuality quality)
{
    if (quality != m_quality)
        m_userChoseOptions = true;
    assign(m_quality, quality, &Upscaler::qualityChanged);
    refreshEstimate();
}

void Upscaler::setAdvancedPreview(bool on)
{
    assign(m_advancedPreview, on, &Upscaler::advancedPreviewChanged);
}

QString Upscaler::estimatedStorageText() const
{
    return storageEstimate(m_srcW, m_srcH, m_srcDuration, m_targetHeight, m_codec);
}

QString Upscaler::estimatedTimeText() const
{
    if (m_srcH >= m_targetHeight)
        return {};
    const std::optional<double> seconds = JobSpeed::estimate(
        m_quality, JobSpeed::outputPixels(m_srcW, m_srcH, m_srcDuration, m_srcFps, m_targetHeight));
    return seconds ? JobSpeed::durationText(*seconds) : QString();
}

void Upscaler::refreshEstimate()
{
    const QString text = estimatedStorageText();
    if (text != m_lastEstimate) {
        m_lastEstimate = text;
        Q_EMIT estimatedStorageTextChanged();
    }
    const QString time = estimatedTimeText();
    if (time != m_lastTimeEstimate) {
        m_lastTimeEstimate = time;
        Q_EMIT estimatedTimeTextChanged();
    }
}

void Upscaler::setPlayable(bool playable)
{
    assign(m_playable, playable, &Upscaler::playableChanged);
}

void Upscaler::load(const QUrl& url)
{
    Q_ASSERT(onMainThread(this));
    const quint64 generation = ++m_loadGeneration;
    assign(m_inputURL, url, &Upscaler::inputURLChanged);
    assign(m_fileName, url.fileName(), &Upscaler::fileNameChanged);
    assign(m_sourceInfo, QStringLiteral("Reading…"), &Upscaler::sourceInfoChanged);
    assign(m_recommendationText, QString(), &Upscaler::recommendationTextChanged);
    assign(m_srcW, qint64(0), &Upscaler::srcWChanged);
    assign(m_srcH, qint64(0), &Upscaler::srcHChanged);
    assign(m_srcDuration, 0.0, &Upscaler::srcDurationChanged);
    m_srcFps = 0;
    refreshEstimate();
    setPlayable(true);
    assign(m_outputURL, QUrl(), &Upscaler::outputURLChanged);
    // A new file starts without the previous file's problem or failure.
    assign(m_loadProblem, QString(), &Upscaler::loadProblemChanged);
    assign(m_errorText, QString(), &Upscaler::errorTextChanged);
    assign(m_noticeText, QString(), &Upscaler::noticeTextChanged);

    const QString path = url.toLocalFile();
    const QString name = url.fileName();
    QPointer<Upscaler> self(this);
    QThreadPool::globalInstance()->start([self, generation, path, name] {
        const VideoCheck::Outcome outcome = VideoCheck::inspect(path);
        QString problem;
        UpscaleRecommendation recommendation;
        if (outcome.meta) {
            recommendation = SystemAdvisor::recommend(outcome.meta->displayWidth(),
                                                       outcome.meta->displayHeight());
        } else {
            problem = VideoCheck::message(outcome.problem, name);
            EngineLog::line(QStringLiteral("Korvane: ") + path +
                            QStringLiteral(" was not loaded as a video: ") + outcome.detail);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, meta = outcome.meta, problem, recommendation] {
                if (self)
                    self->applyMeta(generation, meta, problem, recommendation);
            },
            Qt::QueuedConnection);
    });
}

void Upscaler::applyMeta(quint64 generation, const std::optional<VideoMeta>& meta,
                         const QString& problem, const UpscaleRecommendation& recommendation)
{
    // A later load or clearSelection has replaced the video this reading belongs to.
    if (generation != m_loadGeneration)
        return;
    if (!meta) {
        // The file stays named on the screen with its problem; it can't be played or upscaled.
        setPlayable(false);
        assign(m_sourceInfo, QString(), &Upscaler::sourceInfoChanged);
        assign(m_srcW, qint64(0), &Upscaler::srcWChanged);
        assign(m_srcH, qint64(0), &Upscaler::srcHChanged);
        assign(m_srcDuration, 0.0, &Upscaler::srcDurationChanged);
        assign(m_loadProblem, problem, &Upscaler::loadProblemChanged);
        refreshEstimate();
        return;
    }
    // The size as players show it: turned upright, square pixels.
    const qint64 width = meta->displayWidth();
    const qint64 height = meta->displayHeight();
    const double seconds = meta->duration;
    m_srcFps = meta->fps;
    assign(m_sourceInfo, describe(width, height, seconds), &Upscaler::sourceInfoChanged);
    assign(m_srcW, width, &Upscaler::srcWChanged);
    assign(m_srcH, height, &Upscaler::srcHChanged);
    assign(m_srcDuration, seconds, &Upscaler::srcDurationChanged);
    if (width >= 1 && height >= 1) {
        if (!m_recommendationApplied && !m_userChoseOptions) {
            assign(m_targetHeight, recommendation.targetHeight, &Upscaler::targetHeightChanged);
            assign(m_quality, recommendation.quality, &Upscaler::qualityChanged);
        }
        m_recommendationApplied = true;
        // The upscale of an HDR video is tone-mapped to standard range; say so before it starts.
        const QString hdrNote =
            QStringLiteral("HDR video: the upscale is converted to standard range");
        assign(m_recommendationText,
               meta->hdr() ? recommendation.message + QLatin1Char('\n') + hdrNote
                           : recommendation.message,
               &Upscaler::recommendationTextChanged);
    }
    refreshEstimate();
}

QString Upscaler::describe(qint64 width, qint64 height, double seconds)
{
    const QString orientation =
        width < height ? QStringLiteral("portrait") : QStringLiteral("landscape");
    return QString::number(width) + QStringLiteral("×") + QString::number(height) +
           QStringLiteral(" · ") + orientation + QStringLiteral(" · ") +
           QString::asprintf("%.1f", seconds) + QLatin1Char('s');
}

QString Upscaler::storageEstimate(qint64 srcW, qint64 srcH, double duration, qint64 targetHeight,
                                  const QString& codec)
{
    // The target names the short side of the picture, portrait or landscape.
    const qint64 shortSide = std::min(srcW, srcH);
    if (shortSide <= 0 || duration <= 0 || shortSide >= targetHeight)
        return {};
    const double t = double(targetHeight);
    const bool highResolution = targetHeight >= 2000;
    const bool hevc = codec == Codecs::hevc;
    const double width =
        double(VideoMeta::evenSize(t * double(std::max(srcW, srcH)) / double(shortSide)));
    const double frameStorage = width * t * 1.5 * 30 * (highResolution ? 8 : 15);
    const double videoBytes = double(estimatedOutputBytes(duration, targetHeight, codec));
    const double total = std::trunc((frameStorage + videoBytes * 3) * 1.15);
    const qint64 gigabytes =
        std::max<qint64>(qint64(std::ceil(total / double(qint64(1) << 30))), 1);
    const QString resolution =
        highResolution ? QStringLiteral("4K") : QString::number(targetHeight) + QLatin1Char('p');
    const QString codecLabel = hevc ? QStringLiteral("H.265") : QStringLiteral("H.264");
    return QStringLiteral("Needs ~") + QString::number(gigabytes) + QStringLiteral(" GB free · ") +
           resolution + QStringLiteral(" · ") + codecLabel;
}

qint64 Upscaler::estimatedOutputBytes(double duration, qint64 targetHeight, const QString& codec)
{
    if (duration <= 0)
        return 0;
    const bool highResolution = targetHeight >= 2000;
    const double byteRate = codec == Codecs::hevc ? (highResolution ? 3500000.0 : 1125000.0)
                                                  : (highResolution ? 5625000.0 : 1750000.0);
    return qint64(duration * byteRate);
}

std::optional<QString> Upscaler::videoDestination(const QUrl& input)
{
    const QFileInfo source(input.toLocalFile());
    const QString base = OutputNaming::baseName(source.fileName());
    if (AppSettings::askWhereToSave()) {
        SaveDialog::Request request;
        request.suggestedPath = source.dir().filePath(base + QStringLiteral("_upscaled.mp4"));
        request.message = QStringLiteral("Choose where to save the upscaled video");
        request.nameFilter = QStringLiteral("MPEG-4 movie (*.mp4)");
        request.defaultSuffix = QStringLiteral("mp4");
        std::optional<QString> chosen = SaveDialog::ask(request);
        if (!chosen || chosen->isEmpty())
            return std::nullopt;
        return chosen;
    }
    return OutputNaming::firstFreeUpscaledPath(source.absolutePath(), base, QStringLiteral("mp4"));
}

void Upscaler::upscale(const QUrl& input, qint64 targetHeight, const QString& codec,
                       AIQuality quality)
{
    Q_ASSERT(onMainThread(this));
    if (!input.isLocalFile())
        return;
    // A file refused at load time never becomes a job (and so never a failed history entry).
    if (input == m_inputURL && !m_loadProblem.isEmpty())
        return;
    // A name chosen in the save dialog may replace that file; a name made here never replaces.
    const OutputFile::Mode mode =
        AppSettings::askWhereToSave() ? OutputFile::Mode::Replace : OutputFile::Mode::KeepExisting;
    const std::optional<QString> dest = videoDestination(input);
    if (!dest)
        return;
    // Checked now rather than after hours of work.
    const std::optional<QString> problem = OutputFile::destinationProblem(
        *dest, {input.toLocalFile()}, estimatedOutputBytes(m_srcDuration, targetHeight, codec),
        QStringLiteral("video"));
    if (problem) {
        assign(m_errorText, *problem, &Upscaler::errorTextChanged);
        return;
    }

    ++m_outstanding;
    assign(m_isRunning, true, &Upscaler::isRunningChanged);
    assign(m_errorText, QString(), &Upscaler::errorTextChanged);
    assign(m_outputURL, QUrl(), &Upscaler::outputURLChanged);

    JobManifest manifest;
    manifest.id = QUuid::createUuid();
    manifest.name = input.fileName();
    manifest.detail =
        QString::number(targetHeight) + QStringLiteral("p · ") + AIQualities::label(quality);
    manifest.created = QDateTime::currentDateTimeUtc();
    manifest.source = input.toLocalFile();
    manifest.sourceDuration = m_srcDuration;
    manifest.destination = *dest;
    manifest.replaceDestination = mode == OutputFile::Mode::Replace;
    manifest.options.targetHeight = targetHeight;
    manifest.options.codec = codec;
    manifest.options.quality = quality;
    const double pixels =
        JobSpeed::outputPixels(m_srcW, m_srcH, m_srcDuration, m_srcFps, targetHeight);
    const UpscaleJob job = VideoJob::make(manifest, pixels, jobHooks(manifest));

    // The job joins the queue one main-thread turn later; the screen is cleared at once.
    QMetaObject::invokeMethod(
        &JobQueue::shared(), [job] { JobQueue::shared().enqueue({job}); }, Qt::QueuedConnection);
    clearSelection();
}

VideoJob::Hooks Upscaler::jobHooks(const JobManifest& manifest)
{
    QPointer<Upscaler> self(this);
    VideoJob::Hooks hooks;
    hooks.finished = [self, manifest](const UpscaleJob::Result& result, const QString& kept) {
        if (!self)
            return;
        // A failed save lists the kept file, so the history row offers "Show in Folder".
        const QString location = result.succeeded() ? result.location : kept;
        self->jobFinished(manifest.name, manifest.options.targetHeight, manifest.options.quality,
                          manifest.sourceDuration, location, result.error);
    };
    hooks.left = [self] {
        if (self)
            self->jobRemoved();
    };
    hooks.resumed = [self] {
        if (!self)
            return;
        ++self->m_outstanding;
        self->assign(self->m_isRunning, true, &Upscaler::isRunningChanged);
    };
    return hooks;
}

UpscaleJob Upscaler::interruptedJob(const QString& folder, const JobJournal::Decoded& record)
{
    JobManifest none;
    return VideoJob::interrupted(folder, record, jobHooks(record.manifest ? *record.manifest : none));
}

void Upscaler::countDown()
{
    --m_outstanding;
    if (m_outstanding <= 0) {
        m_outstanding = 0;
        assign(m_isRunning, false, &Upscaler::isRunningChanged);
    }
}

void Upscaler::jobRemoved()
{
    // A waiting job taken out of the queue: no history entry and no notification.
    countDown();
}

void Upscaler::jobFinished(const QString& name, qint64 targetHeight, AIQuality quality,
                           double duration, const QString& location,
                           const std::optional<EngineError>& failure)
{
    countDown();
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.name = name;
    entry.date = QDateTime::currentDateTimeUtc();
    entry.targetHeight = targetHeight;
    entry.quality = quality;
    entry.durationSec = duration;
    if (failure && failure->isCancellation()) {
        // The user's own stop: said plainly, not as a failure, and without a notification.
        assign(m_noticeText, QStringLiteral("Stopped"), &Upscaler::noticeTextChanged);
        return;
    }
    if (failure) {
        assign(m_errorText, failure->message(), &Upscaler::errorTextChanged);
        entry.success = false;
        entry.error = failure->message();
        if (!location.isEmpty())
            entry.outputURL = QUrl::fromLocalFile(location);
        m_history.add(entry);
        Notifier::upscaleFinished(name, false);
        return;
    }
    const QUrl output = QUrl::fromLocalFile(location);
    assign(m_outputURL, output, &Upscaler::outputURLChanged);
    entry.success = true;
    entry.outputURL = output;
    m_history.add(entry);
    Notifier::upscaleFinished(name, true);
    refreshEstimate();
}

void Upscaler::clearSelection()
{
    ++m_loadGeneration;
    assign(m_inputURL, QUrl(), &Upscaler::inputURLChanged);
    setPlayable(false);
    assign(m_fileName, QString(), &Upscaler::fileNameChanged);
    assign(m_sourceInfo, QString(), &Upscaler::sourceInfoChanged);
    assign(m_srcW, qint64(0), &Upscaler::srcWChanged);
    assign(m_srcH, qint64(0), &Upscaler::srcHChanged);
    assign(m_srcDuration, 0.0, &Upscaler::srcDurationChanged);
    assign(m_recommendationText, QString(), &Upscaler::recommendationTextChanged);
    assign(m_errorText, QString(), &Upscaler::errorTextChanged);
    m_srcFps = 0;
    assign(m_loadProblem, QString(), &Upscaler::loadProblemChanged);
    assign(m_noticeText, QString(), &Upscaler::noticeTextChanged);
    refreshEstimate();
}

void Upscaler::setErrorText(const QString& message)
{
    Q_ASSERT(onMainThread(this));
    assign(m_errorText, message, &Upscaler::errorTextChanged);
}

void Upscaler::setNoticeText(const QString& text)
{
    Q_ASSERT(onMainThread(this));
    assign(m_noticeText, text, &Upscaler::noticeTextChanged);
}

void Upscaler::setHistory(const QList<HistoryEntry>& entries)
{
    m_history.assign(entries);
}

void Upscaler::deleteHistory(const QSet<QUuid>& ids, bool deleteFiles)
{
    m_history.remove(ids, deleteFiles, outputFile);
}

void Upscaler::clearHistory(bool deleteFiles)
{
    m_history.remove(std::nullopt, deleteFiles, outputFile);
}

void Upscaler::reloadHistory()
{
    m_history.read();
}

QString Upscaler::historyPath()
{
    return VideoHistory::path();
}

QByteArray Upscaler::encodeHistory(const QList<HistoryEntry>& entries)
{
    return VideoHistory::encode(entries);
}

std::optional<QList<Upscaler::HistoryEntry>> Upscaler::decodeHistory(const QByteArray& json)
{
    return VideoHistory::decode(json);
}
