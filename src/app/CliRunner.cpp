#include "app/CliRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMimeDatabase>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include "app/CliOutput.h"
#include "engine/Bootstrap.h"
#include "engine/ToolHealth.h"
#include "engine/UpscaleCore.h"
#include "processing/AppSettings.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "processing/OutputNaming.h"
#include "processing/SaveDialog.h"
#include "processing/Upscaler.h"

namespace {
// The models ask where to save each result; the command line has decided that already.
class PresetDestination final : public SaveDialog {
public:
    std::optional<QString> chooseSaveLocation(const Request&) override
    {
        return destination.isEmpty() ? std::nullopt : std::optional<QString>(destination);
    }
    QString destination;
};

PresetDestination& presetDestination()
{
    static PresetDestination dialog;
    return dialog;
}

bool isImageFile(const QString& path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.name().startsWith(QLatin1String("image/"));
}

// Installs the tools as the window's first run does. Several commands started at once (GNU
// parallel, job arrays on a shared home folder) take turns, so none runs a half-extracted tool.
void installTools()
{
    const QString folder = UpscaleCore::toolsFolder();
    QDir().mkpath(folder);
    QLockFile lock(folder + QStringLiteral("/install.lock"));
    lock.setStaleLockTime(10 * 60 * 1000);
    lock.lock();
    Bootstrap::installToolsIfNeeded();
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

// How a job ended, as its model recorded it.
struct Outcome {
    std::optional<QString> output;
    QString error;
};

QString outputOf(const Upscaler::HistoryEntry& entry)
{
    return entry.outputURL.toLocalFile();
}

QString outputOf(const ImageUpscaler::HistoryEntry& entry)
{
    return entry.savedPath.value_or(QString());
}

// The model records a job's result as its newest history entry (removed again when forget is
// set); a stopped job records none and leaves its reason in the model's error text.
template <typename Model> Outcome outcomeOf(Model& model, const QUuid& newestBefore, bool forget)
{
    const auto& history = model.history();
    if (history.isEmpty() || history.constFirst().id == newestBefore)
        return {std::nullopt,
                model.errorText().isEmpty() ? QStringLiteral("Stopped") : model.errorText()};
    const auto entry = history.constFirst();
    if (forget)
        model.deleteHistory({entry.id}, false);
    if (entry.success)
        return {outputOf(entry), {}};
    return {std::nullopt, entry.error.value_or(QStringLiteral("The upscale failed."))};
}
} // namespace

CliRunner::CliRunner(CommandLine::UpscaleRequest request, bool terminal, QObject* parent)
    : QObject(parent), m_request(std::move(request)),
      m_output(std::make_unique<CliOutput>(m_request.json, terminal))
{
    m_stopRepeat.setInterval(250);
    connect(&m_stopRepeat, &QTimer::timeout, this, [] { JobQueue::shared().stopActive(); });
}

CliRunner::~CliRunner()
{
    if (SaveDialog::current() == &presetDestination())
        SaveDialog::setCurrent(nullptr);
    AppSettings::overrideAskWhereToSave(std::nullopt);
}

void CliRunner::start()
{
    AppSettings::registerDefaults();
    // With --output or --output-dir, the destination is chosen here and handed to the models as
    // the save dialog's answer; otherwise the models name the result as in the window.
    const bool chosen = !m_request.output.isEmpty() || !m_request.outputDir.isEmpty();
    AppSettings::overrideAskWhereToSave(chosen);
    SaveDialog::setCurrent(&presetDestination());

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
    // Even with the tools in place, the installation lock is taken once: another command may be
    // in the middle of installing them.
    if (!Bootstrap::toolsInstalled())
        m_output->note(QStringLiteral("Installing ffmpeg and the Real-ESRGAN engine into ") +
                       UpscaleCore::toolsFolder() + QStringLiteral("…"));
    QPointer<CliRunner> self(this);
    (void)QtConcurrent::run([self] {
        installTools();
        const QStringList problems = ToolHealth::check();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, problems] {
                if (self)
                    self->toolsReady(problems);
            },
            Qt::QueuedConnection);
    });
}

void CliRunner::toolsReady(const QStringList& problems)
{
    if (m_stopStatus) {
        finish();
        return;
    }
    // A program that cannot start would fail every input; no work is begun.
    if (!problems.isEmpty()) {
        for (const QString& problem : problems)
            m_output->note(QStringLiteral("korvane: ") + problem);
        finishWhenHistorySaved(CommandLine::exitFailed);
        return;
    }
    m_video = new Upscaler(this);
    m_image = new ImageUpscaler(this);
    // The reading's result is applied field by field; the video is queued once all are in.
    connect(m_video, &Upscaler::sourceInfoChanged, this, [this] {
        if (m_waitingForMeta && m_video->sourceInfo() != QStringLiteral("Reading…")) {
            m_waitingForMeta = false;
            QMetaObject::invokeMethod(this, &CliRunner::queueVideo, Qt::QueuedConnection);
        }
    });
    connect(&JobQueue::shared(), &JobQueue::jobsChanged, this, &CliRunner::onJobsChanged);
    next();
}

void CliRunner::next()
{
    if (m_stopStatus || ++m_index >= m_request.inputs.size()) {
        finish();
        return;
    }
    const QString& file = m_request.inputs.at(m_index);
    const QString problem = unreadable(file);
    if (!problem.isEmpty()) {
        fail(file, problem);
        next();
        return;
    }
    const QString path = QFileInfo(file).absoluteFilePath();
    m_kind = isImageFile(path) ? Kind::Image : Kind::Video;
    const std::optional<QString> outputFormat = CommandLine::imageFormatOf(m_request.output);
    if (!m_request.output.isEmpty() && outputFormat.has_value() != (m_kind == Kind::Image)) {
        fail(file, m_kind == Kind::Image
                       ? QStringLiteral("This is a picture; --output must end in .png or .jpg.")
                       : QStringLiteral("This is a video; --output must end in .mp4."));
        next();
        return;
    }
    const QString destination = destinationFor(path, m_kind);
    if (!m_request.output.isEmpty() && QFileInfo::exists(destination)) {
        fail(file, QStringLiteral("%1 already exists; remove it or choose another --output.")
                       .arg(destination));
        next();
        return;
    }
    presetDestination().destination = destination;

    const QUrl url = QUrl::fromLocalFile(path);
    if (m_kind == Kind::Video) {
        // The size and length are read first: the length goes into the history, and the
        // recommendation supplies the settings the command line leaves open.
        m_waitingForMeta = true;
        m_video->load(url);
        return;
    }
    m_image->load(url);
    m_image->setQuality(m_request.quality.value_or(AIQuality::Detailed));
    m_image->setScale(m_request.scale.value_or(4));
    m_image->setFormat(m_request.format.value_or(outputFormat.value_or(QStringLiteral("png"))));
    m_image->setMatchFileSize(false);
    m_image->setAdvanced(false);
    m_historyBefore = m_image->history().isEmpty() ? QUuid() : m_image->history().constFirst().id;
    m_waitingForJob = true;
    m_image->run();
    checkQueued(m_image->isRunning(), m_image->errorText());
}

void CliRunner::queueVideo()
{
    if (m_stopStatus) {
        m_video->clearSelection();
        finish();
        return;
    }
    const QUrl url = m_video->inputURL();
    m_historyBefore = m_video->history().isEmpty() ? QUuid() : m_video->history().constFirst().id;
    m_waitingForJob = true;
    m_video->upscale(url, m_request.targetHeight.value_or(m_video->targetHeight()),
                     m_request.codec.value_or(m_video->codec()),
                     m_request.quality.value_or(m_video->quality()));
    checkQueued(m_video->isRunning(), !m_video->loadProblem().isEmpty() ? m_video->loadProblem()
                                                                        : m_video->errorText());
}

void CliRunner::checkQueued(bool queued, const QString& reason)
{
    // A model that declined the job (a file it can't read, nothing to upscale, a destination it
    // can't write) would leave nothing to wait for; its own words say why.
    if (queued)
        return;
    m_waitingForJob = false;
    fail(m_request.inputs.at(m_index),
         reason.isEmpty() ? QStringLiteral("This file could not be queued.") : reason);
    next();
}

QString CliRunner::destinationFor(const QString& input, Kind kind) const
{
    if (!m_request.output.isEmpty())
        return QFileInfo(m_request.output).absoluteFilePath();
    if (m_request.outputDir.isEmpty())
        return {};
    const QFileInfo source(input);
    const QString folder = QFileInfo(m_request.outputDir).absoluteFilePath();
    const QString extension = kind == Kind::Video
                                  ? QStringLiteral("mp4")
                                  : m_request.format.value_or(QStringLiteral("png"));
    return OutputNaming::firstFreeUpscaledPath(folder, OutputNaming::baseName(source.fileName()),
                                               extension);
}

void CliRunner::onJobsChanged()
{
    const QList<UpscaleJob>& jobs = JobQueue::shared().jobs();
    if (m_waitingForJob) {
        // Only this command's jobs use this process's queue, one at a time.
        if (jobs.isEmpty())
            return;
        m_waitingForJob = false;
        m_jobId = jobs.constFirst().id;
        if (m_stopStatus)
            stop(*m_stopStatus);
    }
    if (m_jobId.isNull())
        return;
    for (const UpscaleJob& job : jobs) {
        if (job.id != m_jobId)
            continue;
        if (job.status == UpscaleJob::Status::Running)
            m_output->progress(m_request.inputs.at(m_index), job.progress, job.statusText, job.eta);
        return;
    }
    jobEnded();
}

void CliRunner::jobEnded()
{
    m_jobId = QUuid();
    m_stopRepeat.stop();
    const Outcome outcome = m_kind == Kind::Video
                                ? outcomeOf(*m_video, m_historyBefore, m_request.noHistory)
                                : outcomeOf(*m_image, m_historyBefore, m_request.noHistory);
    const QString& file = m_request.inputs.at(m_index);
    if (outcome.output)
        succeed(file, *outcome.output);
    else
        fail(file, outcome.error);
    next();
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

void CliRunner::stop(int exitStatus)
{
    if (!m_stopStatus)
        m_stopStatus = exitStatus;
    if (m_jobId.isNull())
        return; // between jobs: next() or the installation's end finishes
    const QList<UpscaleJob> waiting = JobQueue::shared().pending();
    for (const UpscaleJob& job : waiting) {
        if (job.id == m_jobId) {
            JobQueue::shared().remove(m_jobId);
            return;
        }
    }
    JobQueue::shared().stopActive();
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
    // A result recorded before its history file was read is saved once the read is over.
    const auto check = [this, exitStatus] {
        const bool pending =
            (m_video && !m_video->historyLoaded()) || (m_image && !m_image->historyLoaded());
        if (pending || m_reported)
            return;
        m_reported = true;
        Q_EMIT finished(exitStatus);
    };
    if (m_video)
        connect(m_video, &Upscaler::historyLoadedChanged, this, check);
    if (m_image)
        connect(m_image, &ImageUpscaler::historyLoadedChanged, this, check);
    QMetaObject::invokeMethod(this, check, Qt::QueuedConnection);
}
