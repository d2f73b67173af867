#include "processing/JobQueue.h"

#include <exception>

#include "engine/UpscaleCore.h"

namespace {
bool onMainThread(const QObject* queue)
{
    return QThread::currentThread() == queue->thread();
}

// Turns whatever a job's work threw into the error its completion receives.
EngineError errorFromException(std::exception_ptr thrown)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const EngineError& error) {
        return error;
    } catch (const std::exception& error) {
        const QString text = QString::fromLocal8Bit(error.what()).trimmed();
        if (!text.isEmpty())
            return EngineError(QStringLiteral("JobQueue"), 1, text);
    } catch (...) {
    }
    return EngineError(QStringLiteral("JobQueue"), 1,
                       QStringLiteral("The upscale stopped because of an unexpected error."));
}
} // namespace

JobQueue& JobQueue::shared()
{
    static JobQueue instance;
    return instance;
}

JobQueue::JobQueue(QObject* parent) : QObject(parent)
{
    m_worker.setObjectName(QStringLiteral("korvane.jobqueue"));
    m_workerContext = new QObject;
    m_workerContext->moveToThread(&m_worker);
    m_worker.start();
}

JobQueue::~JobQueue()
{
    // A running job would otherwise keep the application alive until its work ends; the engine's
    // stop makes it fail promptly with "Cancelled", and its completion is never delivered.
    if (m_busy)
        UpscaleCore::shared().cancel();
    m_worker.quit();
    m_worker.wait();
    delete m_workerContext;
}

void JobQueue::setReordering(bool on)
{
    Q_ASSERT(onMainThread(this));
    if (m_reordering == on)
        return;
    m_reordering = on;
    Q_EMIT reorderingChanged(on);
}

std::optional<UpscaleJob> JobQueue::active() const
{
    for (const UpscaleJob& job : m_jobs) {
        if (job.status == UpscaleJob::Status::Running)
            return job;
    }
    return std::nullopt;
}

QList<UpscaleJob> JobQueue::pending() const
{
    QList<UpscaleJob> waiting;
    for (const UpscaleJob& job : m_jobs) {
        if (job.status == UpscaleJob::Status::Queued)
            waiting.append(job);
    }
    return waiting;
}

void JobQueue::enqueue(const QList<UpscaleJob>& newJobs)
{
    Q_ASSERT(onMainThread(this));
    if (newJobs.isEmpty())
        return;
    m_jobs.append(newJobs);
    Q_EMIT jobsChanged();
    startNext();
}

void JobQueue::startNext()
{
    Q_ASSERT(onMainThread(this));
    if (m_busy || m_reordering)
        return;
    for (UpscaleJob& job : m_jobs) {
        if (job.status != UpscaleJob::Status::Queued)
            continue;
        setBusy(true);
        job.status = UpscaleJob::Status::Running;
        job.statusText = QStringLiteral("Starting…");
        const UpscaleJob copy = job;
        Q_EMIT jobsChanged();
        QMetaObject::invokeMethod(
            m_workerContext, [this, copy] { execute(copy); }, Qt::QueuedConnection);
        return;
    }
}

void JobQueue::remove(const QUuid& id)
{
    Q_ASSERT(onMainThread(this));
    const qsizetype index = indexOf(id);
    if (index < 0 || m_jobs.at(index).status != UpscaleJob::Status::Queued)
        return;
    const UpscaleJob removed = m_jobs.takeAt(index);
    Q_EMIT jobsChanged();
    if (removed.onRemoved)
        removed.onRemoved();
}

void JobQueue::bump(const QUuid& id, int by)
{
    Q_ASSERT(onMainThread(this));
    const qsizetype index = indexOf(id);
    if (index < 0 || m_jobs.at(index).status != UpscaleJob::Status::Queued)
        return;
    qsizetype running = 0;
    for (const UpscaleJob& job : m_jobs) {
        if (job.status == UpscaleJob::Status::Running)
            ++running;
    }
    const qsizetype target = index + by;
    if (target < running || target >= m_jobs.size())
        return;
    if (target == index)
        return;
    m_jobs.swapItemsAt(index, target);
    Q_EMIT jobsChanged();
}

void JobQueue::update(const QUuid& id, double progress, const QString& statusText,
                      const QString& eta)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    UpscaleJob& job = m_jobs[index];
    job.progress = progress;
    job.statusText = statusText;
    job.eta = eta;
    Q_EMIT jobsChanged();
}

void JobQueue::execute(const UpscaleJob& job)
{
    // Worker thread. Reports and the completion are posted to the same receiver from here (or
    // from threads the work waits for), so they reach the main thread in the order made.
    const QUuid id = job.id;
    const UpscaleJob::ProgressReporter report = [this, id](double progress,
                                                           const QString& statusText,
                                                           const QString& eta) {
        QMetaObject::invokeMethod(
            this, [this, id, progress, statusText, eta] { update(id, progress, statusText, eta); },
            Qt::QueuedConnection);
    };

    UpscaleJob::Result result;
    try {
        if (!job.run)
            throw EngineError(QStringLiteral("JobQueue"), 1,
                              QStringLiteral("This job has no work to do."));
        result = UpscaleJob::Result::success(job.run(report));
    } catch (...) {
        result = UpscaleJob::Result::failure(errorFromException(std::current_exception()));
    }

    QMetaObject::invokeMethod(
        this, [this, job, result] { complete(job, result); }, Qt::QueuedConnection);
}

void JobQueue::complete(const UpscaleJob& job, const UpscaleJob::Result& result)
{
    if (job.onComplete)
        job.onComplete(result);
    m_jobs.removeIf([&job](const UpscaleJob& entry) { return entry.id == job.id; });
    Q_EMIT jobsChanged();
    setBusy(false);
    startNext();
}

void JobQueue::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

qsizetype JobQueue::indexOf(const QUuid& id) const
{
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        if (m_jobs.at(i).id == id)
            return i;
    }
    return -1;
}
