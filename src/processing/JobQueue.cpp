#include "processing/JobQueue.h"

#include <exception>

#include "engine/StopToken.h"
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

// The queue the application installed; see install().
JobQueue* g_installed = nullptr;
} // namespace

JobQueue& JobQueue::shared()
{
    if (g_installed)
        return *g_installed;
    static JobQueue instance;
    return instance;
}

void JobQueue::install(JobQueue* queue)
{
    g_installed = queue;
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
    // A running job would otherwise keep the application alive until its work ends; the stop
    // makes it end promptly, keeping its finished work for the next start, and its completion is
    // never delivered.
    if (m_busy && m_activeStop)
        m_activeStop->stop(StopToken::Mode::KeepWork);
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
        m_activeStop = std::make_shared<StopToken>();
        Q_EMIT jobsChanged();
        QMetaObject::invokeMethod(
            m_workerContext, [this, copy, stop = m_activeStop] { execute(copy, stop); },
            Qt::QueuedConnection);
        return;
    }
}

void JobQueue::remove(const QUuid& id)
{
    Q_ASSERT(onMainThread(this));
    const std::optional<UpscaleJob> removed = take(id, UpscaleJob::Status::Queued);
    if (removed && removed->onRemoved)
        removed->onRemoved();
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
    if (target < running || target >= m_jobs.size() ||
        m_jobs.at(target).status != UpscaleJob::Status::Queued)
        return;
    if (target == index)
        return;
    m_jobs.swapItemsAt(index, target);
    Q_EMIT jobsChanged();
}

void JobQueue::stopActive()
{
    Q_ASSERT(onMainThread(this));
    if (m_busy && m_activeStop)
        m_activeStop->stop(StopToken::Mode::Discard);
}

bool JobQueue::hasWork() const
{
    for (const UpscaleJob& job : m_jobs) {
        if (job.status == UpscaleJob::Status::Queued || job.status == UpscaleJob::Status::Running)
            return true;
    }
    return false;
}

void JobQueue::interruptAll()
{
    Q_ASSERT(onMainThread(this));
    QList<UpscaleJob> dropped;
    QList<UpscaleJob> setAside;
    for (qsizetype i = m_jobs.size() - 1; i >= 0; --i) {
        UpscaleJob& job = m_jobs[i];
        if (job.status != UpscaleJob::Status::Queued)
            continue;
        if (job.resumable) {
            job.status = UpscaleJob::Status::Interrupted;
            job.statusText = QStringLiteral("Not started");
            setAside.append(job);
        } else {
            dropped.prepend(m_jobs.takeAt(i));
        }
    }
    if (m_busy && m_activeStop)
        m_activeStop->stop(StopToken::Mode::KeepWork);
    Q_EMIT jobsChanged();
    for (const UpscaleJob& job : std::as_const(setAside)) {
        if (job.onSetAside)
            job.onSetAside();
    }
    for (const UpscaleJob& job : std::as_const(dropped)) {
        if (job.onRemoved)
            job.onRemoved();
    }
}

void JobQueue::discardAll()
{
    Q_ASSERT(onMainThread(this));
    stopActive();
    QList<UpscaleJob> dropped;
    m_jobs.removeIf([&dropped](const UpscaleJob& job) {
        if (job.status != UpscaleJob::Status::Queued)
            return false;
        dropped.append(job);
        return true;
    });
    Q_EMIT jobsChanged();
    for (const UpscaleJob& job : std::as_const(dropped)) {
        if (job.onRemoved)
            job.onRemoved();
    }
}

void JobQueue::restore(const QList<UpscaleJob>& interrupted)
{
    Q_ASSERT(onMainThread(this));
    if (interrupted.isEmpty())
        return;
    for (UpscaleJob job : interrupted) {
        job.status = UpscaleJob::Status::Interrupted;
        m_jobs.append(job);
    }
    Q_EMIT jobsChanged();
}

void JobQueue::resume(const QUuid& id)
{
    Q_ASSERT(onMainThread(this));
    const qsizetype index = indexOf(id);
    if (index < 0 || m_jobs.at(index).status != UpscaleJob::Status::Interrupted ||
        !m_jobs.at(index).resumeProblem.isEmpty())
        return;
    UpscaleJob job = m_jobs.takeAt(index);
    job.status = UpscaleJob::Status::Queued;
    job.statusText = QStringLiteral("Queued");
    job.eta.clear();
    // Behind the running and waiting jobs, in front of the other interrupted ones.
    qsizetype at = 0;
    while (at < m_jobs.size() && m_jobs.at(at).status != UpscaleJob::Status::Interrupted)
        ++at;
    m_jobs.insert(at, job);
    Q_EMIT jobsChanged();
    if (job.onResume)
        job.onResume();
    startNext();
}

void JobQueue::discard(const QUuid& id)
{
    Q_ASSERT(onMainThread(this));
    const std::optional<UpscaleJob> removed = take(id, UpscaleJob::Status::Interrupted);
    if (removed && removed->onDiscard)
        removed->onDiscard();
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

void JobQueue::execute(const UpscaleJob& job, const std::shared_ptr<StopToken>& stop)
{
    const StopToken::Scope scope(stop);
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

    // Kept for later: stopped to be resumed, or failed after finishing work it kept.
    const bool keptWork = result.cancelled() ? stop->keepsWork() : result.error && result.error->workKept();
    const bool interrupted = job.resumable && keptWork;
    QMetaObject::invokeMethod(
        this, [this, job, result, interrupted] { complete(job, result, interrupted); },
        Qt::QueuedConnection);
}

void JobQueue::complete(const UpscaleJob& job, const UpscaleJob::Result& result,
                        bool interrupted)
{
    m_activeStop.reset();
    if (job.onComplete)
        job.onComplete(result);
    const qsizetype index = indexOf(job.id);
    if (interrupted && index >= 0) {
        // Kept for later: listed after the waiting jobs with what it had done.
        UpscaleJob kept = m_jobs.takeAt(index);
        kept.status = UpscaleJob::Status::Interrupted;
        kept.eta.clear();
        // A failure is listed with its reason, so the user knows what to deal with first.
        if (!result.succeeded() && !result.cancelled())
            kept.statusText = result.error->message();
        m_jobs.append(kept);
    } else if (index >= 0) {
        m_jobs.removeAt(index);
    }
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

std::optional<UpscaleJob> JobQueue::take(const QUuid& id, UpscaleJob::Status status)
{
    const qsizetype index = indexOf(id);
    if (index < 0 || m_jobs.at(index).status != status)
        return std::nullopt;
    const UpscaleJob taken = m_jobs.takeAt(index);
    Q_EMIT jobsChanged();
    return taken;
}

qsizetype JobQueue::indexOf(const QUuid& id) const
{
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        if (m_jobs.at(i).id == id)
            return i;
    }
    return -1;
}
