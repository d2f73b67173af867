#include "app/CliRunner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include "app/CliOutput.h"
#include "engine/Bootstrap.h"
#include "engine/EngineLog.h"
#include "engine/ToolHealth.h"
#include "engine/UpscaleCore.h"
#include "engine/VideoCheck.h"
#include "engine/WorkFolder.h"
#include "processing/HistoryStore.h"
#include "processing/ImageHistory.h"
#include "processing/ImageJob.h"
#include "processing/JobQueue.h"
#include "processing/JobSpeed.h"
#include "processing/OutputFile.h"
#include "processing/OutputNaming.h"
#include "processing/VideoHistory.h"
#include "processing/VideoJob.h"

namespace {

bool isImageFile(const QString& path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.name().startsWith(QLatin1String("image/"));
}

// A failure text for an input that cannot be worked on at all, or an empty text.
QString unreadable(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("No such file.");
    if (!info.isFile())
        return QStringLiteral("Not a file.");
    if (!info.isReadable())
        return QStringLiteral("The file cannot be read (permission denied).");
    return {};
}

// Runs work on a worker and then done with its value on the main thread, while receiver exists.
template <typename T>
void inBackground(QObject* receiver, std::function<T()> work, std::function<void(T)> done)
{
    QPointer<QObject> guard(receiver);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)] {
        T value = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, value = std::move(value)] {
                if (guard)
                    done(value);
            },
            Qt::QueuedConnection);
    });
}

} // namespace

CliRunner::CliRunner(CommandLine::UpscaleRequest request, bool terminal, JobQueue& queue,
                     HistoryStore& histories, QObject* parent)
    : QObject(parent), m_request(std::move(request)),
      m_output(std::make_unique<CliOutput>(m_request.json, terminal)), m_queue(queue),
      m_histories(histories)
{
    m_stopRepeat.setInterval(250);
    connect(&m_stopRepeat, &QTimer::timeout, this, [this] { m_queue.stopActive(); });
    connect(&m_queue, &JobQueue::jobsChanged, this, &CliRunner::onJobsChanged);
}

CliRunner::~CliRunner() = default;

void CliRunner::start()
{
    const QString outputFolder =
        !m_request.outputDir.isEmpty()
            ? m_request.outputDir
            : (m_request.output.isEmpty() ? QString() : QFileInfo(m_request.output).absolutePath());
    if (!outputFolder.isEmpty() && !QDir().mkpath(outputFolder)) {
        m_output->note(
            QStringLiteral("korvane: the output folder \"%1\" cannot be made.").arg(outputFolder));
        finishWhenHistorySaved(CommandLine::exitFailed);
        return;
    }
    // Even with the tools in place, the installation is asked for once: another command may be
    // in the middle of installing them, and this one then waits for it.
    if (!Bootstrap::toolsInstalled())
        m_output->note(QStringLiteral("Installing ffmpeg and the Real-ESRGAN engine into ") +
                       UpscaleCore::toolsFolder() + QStringLiteral("…"));
    // Then each installed program is started once: one that cannot start would fail every
    // input, so no work is begun.
    inBackground<QStringList>(
        this,
        [] {
            if (const std::optional<QString> failed = Bootstrap::installToolsIfNeeded())
                return QStringList{*failed};
            return ToolHealth::check();
        },
        [this](const QStringList& problems) { toolsReady(problems); });
}

void CliRunner::toolsReady(const QStringList& problems)
{
    if (!problems.isEmpty()) {
        for (const QString& problem : problems)
            m_output->note(QStringLiteral("korvane: ") + problem);
        finishWhenHistorySaved(CommandLine::exitFailed);
        return;
    }
    next();
}

void CliRunner::next()
{
    if (m_stopStatus || ++m_index >= m_request.inputs.size()) {
        finish();
        return;
    }
    const QString& file = currentFile();
    const QString problem = unreadable(file);
    if (!problem.isEmpty()) {
        fail(file, problem);
        next();
        return;
    }
    const QString path = QFileInfo(file).absoluteFilePath();
    const Kind kind = isImageFile(path) ? Kind::Image : Kind::Video;
    const std::optional<QString> outputFormat = CommandLine::imageFormatOf(m_request.output);
    if (!m_request.output.isEmpty() && outputFormat.has_value() != (kind == Kind::Image)) {
        fail(file, kind == Kind::Image
                       ? QStringLiteral("This is a picture; --output must end in .png or .jpg.")
                       : QStringLiteral("This is a video; --output must end in .mp4."));
        next();
        return;
    }
    const QString destination = destinationFor(path, kind);
    if (!m_request.output.isEmpty() && OutputNaming::isTaken(destination)) {
        fail(file, QStringLiteral("%1 already exists; remove it or choose another --output.")
                       .arg(destination));
        next();
        return;
    }
    if (kind == Kind::Image)
        queueImage(path, destination);
    else
        readVideo(path, destination);
}

void CliRunner::queueImage(const QString& path, const QString& destination)
{
    ImageJob::Settings settings;
    settings.input = path;
    settings.destination = destination;
    settings.mode = m_request.output.isEmpty() ? OutputFile::Mode::KeepExisting
                                               : OutputFile::Mode::Exclusive;
    settings.quality = m_request.quality.value_or(AIQuality::Detailed);
    settings.scale = m_request.scale.value_or(4);
    settings.format = m_request.format.value_or(
        CommandLine::imageFormatOf(m_request.output).value_or(QStringLiteral("png")));
    if (const auto problem = OutputFile::destinationProblem(destination, {path}, 0,
                                                            QStringLiteral("image"))) {
        fail(currentFile(), *problem);
        next();
        return;
    }
    const QString name = QFileInfo(path).fileName();
    const int scale = settings.scale;
    QPointer<CliRunner> self(this);
    const UpscaleJob job = ImageJob::make(
        settings, name,
        QString::number(scale) + QStringLiteral("× · ") + AIQualities::label(settings.quality),
        [self, name, scale](const UpscaleJob::Result& result, const ImageJob::Outcome& outcome) {
            if (!self)
                return;
            if (!result.cancelled() && !self->m_request.noHistory) {
                ImageHistory::Entry entry;
                entry.id = QUuid::createUuid();
                entry.name = name;
                entry.date = QDateTime::currentDateTimeUtc();
                entry.scale = scale;
                entry.success = result.succeeded();
                if (result.succeeded())
                    entry.savedPath = result.location;
                else if (!outcome.keptPath.isEmpty())
                    entry.savedPath = outcome.keptPath;
                if (!result.succeeded())
                    entry.error = result.error->message();
                ++self->m_historyWrites;
                ImageHistory::record(self->m_histories, entry, self,
                                     [self] { self->historyWritten(); });
            }
            self->jobEnded(result);
        },
        [self] {
            if (self)
                self->jobEnded(UpscaleJob::Result::failure(EngineError::cancelled()));
        });
    enqueue(job);
}

void CliRunner::readVideo(const QString& path, const QString& destination)
{
    // The size and length are read first: the length goes into the history, and the
    // recommendation supplies the settings the command line leaves open.
    inBackground<VideoReading>(
        this,
        [path] {
            VideoReading reading;
            const VideoCheck::Outcome outcome = VideoCheck::inspect(path);
            if (outcome.meta) {
                reading.meta = outcome.meta;
                reading.recommendation = SystemAdvisor::recommend(outcome.meta->displayWidth(),
                                                                  outcome.meta->displayHeight());
            } else {
                reading.problem = VideoCheck::message(outcome.problem, QFileInfo(path).fileName());
                EngineLog::line(QStringLiteral("Korvane: ") + path +
                                QStringLiteral(" was not loaded as a video: ") + outcome.detail);
            }
            return reading;
        },
        [this, path, destination](const VideoReading& reading) {
            queueVideo(path, destination, reading);
        });
}

void CliRunner::queueVideo(const QString& path, const QString& destination,
                           const VideoReading& reading)
{
    if (m_stopStatus) {
        finish();
        return;
    }
    if (!reading.meta) {
        fail(currentFile(), reading.problem);
        next();
        return;
    }
    const VideoMeta& meta = *reading.meta;
    JobManifest manifest;
    manifest.id = QUuid::createUuid();
    manifest.name = QFileInfo(path).fileName();
    manifest.created = QDateTime::currentDateTimeUtc();
    manifest.source = path;
    manifest.sourceDuration = meta.duration;
    manifest.destination = destination;
    manifest.exclusiveDestination = !m_request.output.isEmpty();
    manifest.options.targetHeight =
        m_request.targetHeight.value_or(reading.recommendation.targetHeight);
    manifest.options.codec = m_request.codec.value_or(Codecs::hevc);
    manifest.options.quality = m_request.quality.value_or(reading.recommendation.quality);
    manifest.detail = QString::number(manifest.options.targetHeight) + QStringLiteral("p · ") +
                      AIQualities::label(manifest.options.quality);
    // Checked now rather than after hours of work.
    if (const auto problem = OutputFile::destinationProblem(
            destination, {path}, VideoJob::estimatedOutputBytes(meta, manifest.options),
            QStringLiteral("video"))) {
        fail(currentFile(), *problem);
        next();
        return;
    }
    const double pixels =
        JobSpeed::outputPixels(meta.displayWidth(), meta.displayHeight(), meta.duration, meta.fps,
                               manifest.options.targetHeight);

    // The same command run again after it was killed continues where that run stopped.
    const bool noResume = m_request.noResume;
    inBackground<QList<VideoJob::Unfinished>>(
        this, [manifest] { return VideoJob::findUnfinished(manifest); },
        [this, manifest, pixels, noResume](const QList<VideoJob::Unfinished>& found) {
            for (const VideoJob::Unfinished& earlier : found) {
                if (noResume || !earlier.problem.isEmpty()) {
                    if (!noResume)
                        m_output->note(QStringLiteral("korvane: ") + currentFile() +
                                       QStringLiteral(": starting over. ") + earlier.problem);
                    VideoJob::removeWork(earlier.folder);
                    continue;
                }
                // The earlier run's record holds its id, plan and finished segments.
                JobManifest resumed = earlier.manifest;
                resumed.failure.clear();
                runVideo(resumed, pixels, VideoJob::resumingText(earlier.manifest));
                return;
            }
            runVideo(manifest, pixels, QString());
        });
}

void CliRunner::runVideo(JobManifest manifest, double pixels, const QString& resumedFrom)
{
    if (m_stopStatus) {
        finish();
        return;
    }
    if (!resumedFrom.isEmpty())
        m_output->progress(currentFile(), 0, resumedFrom, QString());
    QPointer<CliRunner> self(this);
    VideoJob::Hooks hooks;
    hooks.finished = [self, manifest](const UpscaleJob::Result& result, const QString& kept) {
        if (!self)
            return;
        if (!result.cancelled() && !self->m_request.noHistory) {
            VideoHistory::Entry entry;
            entry.id = QUuid::createUuid();
            entry.name = manifest.name;
            entry.date = QDateTime::currentDateTimeUtc();
            entry.targetHeight = manifest.options.targetHeight;
            entry.quality = manifest.options.quality;
            entry.durationSec = manifest.sourceDuration;
            entry.success = result.succeeded();
            // A failed save lists the kept file, so the window's history offers it.
            const QString location = result.succeeded() ? result.location : kept;
            if (!location.isEmpty())
                entry.outputURL = QUrl::fromLocalFile(location);
            if (!result.succeeded())
                entry.error = result.error->message();
            ++self->m_historyWrites;
            VideoHistory::record(self->m_histories, entry, self,
                                 [self] { self->historyWritten(); });
        }
        self->jobEnded(result);
    };
    hooks.left = [self] {
        if (self)
            self->jobEnded(UpscaleJob::Result::failure(EngineError::cancelled()));
    };
    enqueue(VideoJob::make(manifest, pixels, hooks));
}

void CliRunner::enqueue(const UpscaleJob& job)
{
    m_jobId = job.id;
    m_queue.enqueue({job});
    if (m_stopStatus)
        stop(*m_stopStatus);
}

void CliRunner::onJobsChanged()
{
    if (m_jobId.isNull())
        return;
    for (const UpscaleJob& job : m_queue.jobs()) {
        if (job.id == m_jobId && job.status == UpscaleJob::Status::Running)
            m_output->progress(currentFile(), job.progress, job.statusText, job.eta);
    }
}

void CliRunner::jobEnded(const UpscaleJob::Result& result)
{
    m_jobId = QUuid();
    m_stopRepeat.stop();
    if (result.succeeded())
        succeed(currentFile(), result.location);
    else
        fail(currentFile(),
             result.cancelled() ? QStringLiteral("Stopped") : result.error->message());
    // After the completion has run: the queue takes the job off its list first.
    QMetaObject::invokeMethod(this, &CliRunner::next, Qt::QueuedConnection);
}

void CliRunner::fail(const QString& file, const QString& message)
{
    ++m_failures;
    m_output->failed(file, message);
}

void CliRunner::succeed(const QString& file, const QString& output)
{
    ++m_successes;
    m_output->succeeded(file, output);
}

QString CliRunner::destinationFor(const QString& input, Kind kind) const
{
    if (!m_request.output.isEmpty())
        return QFileInfo(m_request.output).absoluteFilePath();
    const QFileInfo source(input);
    const QString folder = m_request.outputDir.isEmpty()
                               ? source.absolutePath()
                               : QFileInfo(m_request.outputDir).absoluteFilePath();
    const QString extension = kind == Kind::Video
                                  ? QStringLiteral("mp4")
                                  : m_request.format.value_or(QStringLiteral("png"));
    // Only a first guess: the job takes the name for itself before it starts, and moves on to
    // the next number when another run got there first.
    return OutputNaming::firstFreeUpscaledPath(folder, OutputNaming::baseName(source.fileName()),
                                               extension);
}

void CliRunner::stop(int exitStatus)
{
    if (!m_stopStatus)
        m_stopStatus = exitStatus;
    if (m_jobId.isNull())
        return; // between jobs: next() or the step in progress finishes
    for (const UpscaleJob& job : m_queue.pending()) {
        if (job.id == m_jobId) {
            m_queue.remove(m_jobId);
            return;
        }
    }
    m_queue.stopActive();
    m_stopRepeat.start();
}

void CliRunner::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_request.inputs.size() > 1 && !m_request.json && !m_stopStatus)
        m_output->note(QStringLiteral("%1 of %2 files upscaled.")
                           .arg(m_successes)
                           .arg(m_request.inputs.size()));
    int status = m_failures > 0 ? CommandLine::exitFailed : CommandLine::exitSuccess;
    if (m_stopStatus)
        status = *m_stopStatus;
    finishWhenHistorySaved(status);
}

void CliRunner::finishWhenHistorySaved(int exitStatus)
{
    m_exitStatus = exitStatus;
    QMetaObject::invokeMethod(this, &CliRunner::finishIfWritten, Qt::QueuedConnection);
}

void CliRunner::historyWritten()
{
    --m_historyWrites;
    finishIfWritten();
}

void CliRunner::finishIfWritten()
{
    // The command ends once the entries it recorded are written.
    if (!m_exitStatus || m_historyWrites > 0 || m_reported)
        return;
    m_reported = true;
    Q_EMIT finished(*m_exitStatus);
}
