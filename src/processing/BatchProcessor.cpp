#include "processing/BatchProcessor.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include "engine/UpscaleCore.h"
#include "processing/JobQueue.h"
#include "processing/MissingTools.h"
#include "processing/OutputFile.h"
#include "processing/OutputNaming.h"

namespace {

bool onMainThread(const QObject* object)
{
    return QThread::currentThread() == object->thread();
}

} // namespace

BatchProcessor::BatchProcessor(QObject* parent) : QObject(parent) {}

void BatchProcessor::setOptions(const UpscaleOptions& options)
{
    Q_ASSERT(onMainThread(this));
    if (options.targetHeight == m_options.targetHeight && options.codec == m_options.codec &&
        options.quality == m_options.quality)
        return;
    m_options = options;
    Q_EMIT optionsChanged();
}

int BatchProcessor::completedCount() const
{
    int count = 0;
    for (const BatchItem& item : m_items) {
        if (!item.outputURL.isEmpty())
            ++count;
    }
    return count;
}

void BatchProcessor::add(const QList<QUrl>& urls)
{
    Q_ASSERT(onMainThread(this));
    bool added = false;
    for (const QUrl& url : urls) {
        const bool listed = std::any_of(m_items.cbegin(), m_items.cend(),
                                        [&url](const BatchItem& item) { return item.url == url; });
        if (listed)
            continue;
        BatchItem item;
        item.url = url;
        m_items.append(item);
        added = true;
    }
    if (added)
        Q_EMIT itemsChanged();
}

void BatchProcessor::clear()
{
    Q_ASSERT(onMainThread(this));
    if (m_running || m_items.isEmpty())
        return;
    m_items.clear();
    Q_EMIT itemsChanged();
}

void BatchProcessor::removeItem(const QUuid& id)
{
    Q_ASSERT(onMainThread(this));
    const qsizetype index = indexOf(id);
    if (m_running || index < 0)
        return;
    m_items.removeAt(index);
    Q_EMIT itemsChanged();
}

void BatchProcessor::start(const QUrl& folder)
{
    Q_ASSERT(onMainThread(this));
    if (m_running || m_items.isEmpty())
        return;
    const UpscaleOptions options = m_options;
    const QDir destinationFolder(folder.toLocalFile());
    // The folder is checked before any work: a problem ends every item at once, with its reason.
    if (const auto problem =
            OutputFile::folderProblem(destinationFolder.path(), QStringLiteral("videos"))) {
        OutputFile::failEvery(m_items, *problem);
        Q_EMIT itemsChanged();
        return;
    }
    setRunning(true);
    m_outstanding = int(m_items.size());

    for (BatchItem& item : m_items) {
        item.status = QStringLiteral("Queued");
        item.progress = 0.0;
        item.outputURL.clear();
        item.keptURL.clear();
        item.failed = false;
    }
    Q_EMIT itemsChanged();

    QList<UpscaleJob> jobs;
    jobs.reserve(m_items.size());
    for (const BatchItem& item : std::as_const(m_items))
        jobs.append(jobFor(item, destinationFolder, options));
    JobQueue::shared().enqueue(jobs);
}

UpscaleJob BatchProcessor::jobFor(const BatchItem& item, const QDir& folder,
                                  const UpscaleOptions& options)
{
    const QUuid itemId = item.id;
    const QString input = item.url.toLocalFile();
    const QString fileName = QFileInfo(input).fileName();
    const QString height = QString::number(options.targetHeight);
    // Each name is taken for this run: an existing file, a source of the batch or another item's
    // output is never replaced ("clip_2160p.mp4", then "clip_2160p_1.mp4").
    const QString destination = OutputNaming::reserveFirstFree(
        folder.absolutePath(),
        OutputNaming::baseName(fileName) + QLatin1Char('_') + height + QLatin1Char('p'),
        QStringLiteral("mp4"));

    // Shared rather than copied into each action: the guard is only read on the main thread.
    const auto self = std::make_shared<const QPointer<BatchProcessor>>(this);
    UpscaleJob job;
    job.name = fileName;
    job.icon = QStringLiteral("film");
    job.detail = height + QStringLiteral("p · ") + AIQualities::label(options.quality);
    const auto kept = std::make_shared<QString>(); // written by the work, read by the completion
    job.run = [self, itemId, input, destination, options,
               kept](const UpscaleJob::ProgressReporter& report) -> QString {
        UpscaleCore& core = UpscaleCore::shared();
        if (!QFileInfo::exists(UpscaleCore::ffmpeg()))
            throw UpscaleCore::err(MissingTools::ffmpegMessage());
        if (!QFileInfo::exists(UpscaleCore::realesrganBinary()))
            throw UpscaleCore::err(MissingTools::realesrganMessage());
        OutputFile::HeldName name(OutputFile::reserve(destination, OutputFile::Mode::KeepExisting,
                                                      QStringLiteral("video")));
        const QString result = core.runAI(
            input, options,
            [&report, self, itemId](double fraction, const QString& status, const QString& eta) {
                report(fraction, status, eta);
                // Posted to the application object, which outlives the processor; the guard is
                // read on the main thread.
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [self, itemId, fraction, status, eta] {
                        if (*self)
                            (*self)->updateItem(itemId, status, fraction, eta);
                    },
                    Qt::QueuedConnection);
            });
        const OutputFile::Placement placed =
            OutputFile::place(result, name.reservation(), QStringLiteral("video"));
        name.settle();
        if (placed.error) {
            *kept = placed.keptPath;
            throw *placed.error;
        }
        return placed.path;
    };
    job.onComplete = [self, itemId, destination, kept](const UpscaleJob::Result& result) {
        OutputNaming::release(destination);
        if (*self)
            (*self)->complete(itemId, result, *kept);
    };
    // A waiting job taken off the queue never runs: its video counts as stopped.
    job.onRemoved = [self, itemId, destination] {
        OutputNaming::release(destination);
        if (*self)
            (*self)->complete(itemId, UpscaleJob::Result::failure(EngineError::cancelled()));
    };
    return job;
}

void BatchProcessor::complete(const QUuid& id, const UpscaleJob::Result& result,
                              const QString& kept)
{
    if (result.succeeded())
        finishItem(id, QStringLiteral("Done"), false, QUrl::fromLocalFile(result.location));
    else if (result.cancelled())
        finishItem(id, QStringLiteral("Stopped"), false, {});
    else if (result.error->domain() == QLatin1String("OutputFile"))
        finishItem(id, result.error->message(), true, {}, kept); // says where the result is
    else
        finishItem(id, QStringLiteral("Failed"), true, {});
    --m_outstanding;
    if (m_outstanding <= 0)
        setRunning(false);
}

void BatchProcessor::updateItem(const QUuid& id, const QString& status, double progress,
                                const QString& eta)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    BatchItem& item = m_items[index];
    item.status = status;
    item.progress = progress;
    item.eta = eta;
    Q_EMIT itemsChanged();
}

void BatchProcessor::finishItem(const QUuid& id, const QString& status, bool failed,
                                const QUrl& output, const QString& kept)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    BatchItem& item = m_items[index];
    item.status = status;
    item.failed = failed;
    item.keptURL = kept.isEmpty() ? QUrl() : QUrl::fromLocalFile(kept);
    if (!output.isEmpty()) {
        item.progress = 1.0;
        item.outputURL = output;
    }
    Q_EMIT itemsChanged();
}

void BatchProcessor::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    Q_EMIT isRunningChanged(running);
}

qsizetype BatchProcessor::indexOf(const QUuid& id) const
{
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).id == id)
            return i;
    }
    return -1;
}
