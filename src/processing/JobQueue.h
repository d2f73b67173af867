#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QObject>
#include <QThread>
#include <QUuid>

#include "processing/UpscaleJob.h"

class StopToken;

// The one serial queue through which all upscaling work runs, one job at a time, on a dedicated
// worker thread ("korvane.jobqueue").
//
// Threading: the queue lives on the main thread and every public operation is called there. A
// job's `run` executes on the worker thread; its progress reports and its completion are posted
// back to the main thread in the order they were made, so every report is applied before the
// completion, and a report for a job that has left the list changes nothing. `onComplete` runs on
// the main thread before the job is removed and before the next job starts. Each run has its own
// stop token (see StopToken). The destructor stops the running job keeping its finished work, as
// when the user chooses to resume later, then quits and joins the worker.
class JobQueue final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(JobQueue)
    Q_PROPERTY(QList<UpscaleJob> jobs READ jobs NOTIFY jobsChanged)
    Q_PROPERTY(bool reordering READ reordering WRITE setReordering NOTIFY reorderingChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

public:
    // The application's queue: the one the application installed, or else one created on first
    // use (the command line and tests).
    static JobQueue& shared();
    // Makes queue the shared one (nullptr undoes it); the caller keeps ownership.
    static void install(JobQueue* queue);

    explicit JobQueue(QObject* parent = nullptr);
    ~JobQueue() override;

    // The running job (always first when there is one) and the waiting jobs, in execution order.
    const QList<UpscaleJob>& jobs() const { return m_jobs; }
    // Reorder mode: while on, no new job starts. The running job is not interrupted.
    bool reordering() const { return m_reordering; }
    void setReordering(bool on);
    // True from the moment a job is handed to the worker until its completion has run.
    bool busy() const { return m_busy; }

    // The running job, if any.
    std::optional<UpscaleJob> active() const;
    // The waiting jobs, in list order.
    QList<UpscaleJob> pending() const;

    // Appends the jobs at the end, keeping their order, then tries to start the next one.
    void enqueue(const QList<UpscaleJob>& newJobs);
    // Starts the first waiting job unless a job is being run or reorder mode is on.
    void startNext();
    // Drops a waiting job and calls its `onRemoved`. The running job and unknown ids are ignored.
    void remove(const QUuid& id);
    // Moves a waiting job `by` places (-1 towards the front) by swapping it with the job there.
    // Never moves it in front of the running job or past either end.
    void bump(const QUuid& id, int by);

    // The Stop button: the running job stops and its work is thrown away. Waiting jobs go on.
    void stopActive();
    // True while a job runs or waits (interrupted jobs don't count).
    bool hasWork() const;
    // "Stop and resume later": the running job stops keeping its finished work and, when it is
    // resumable, stays listed as Interrupted; waiting resumable jobs become Interrupted, the
    // others are removed.
    void interruptAll();
    // Quitting without keeping anything: the running job stops and its work is thrown away,
    // waiting jobs are removed. Interrupted jobs are left as they are.
    void discardAll();
    // Lists jobs found unfinished (status Interrupted); they never start by themselves.
    void restore(const QList<UpscaleJob>& interrupted);
    // Queues an Interrupted job again (behind the waiting ones); ignored when it has a
    // resumeProblem.
    void resume(const QUuid& id);
    // Throws an Interrupted job away (its onDiscard removes what it kept).
    void discard(const QUuid& id);

Q_SIGNALS:
    void jobsChanged();
    void reorderingChanged(bool reordering);
    void busyChanged(bool busy);

private:
    void update(const QUuid& id, double progress, const QString& statusText, const QString& eta);
    void execute(const UpscaleJob& job, const std::shared_ptr<StopToken>& stop);
    void complete(const UpscaleJob& job, const UpscaleJob::Result& result, bool interrupted);
    void setBusy(bool busy);
    qsizetype indexOf(const QUuid& id) const;
    // Takes the job out of the list when it has this status (and tells the list changed).
    std::optional<UpscaleJob> take(const QUuid& id, UpscaleJob::Status status);

    QList<UpscaleJob> m_jobs;
    // The running job's stop token (it also knows whether the stop keeps the work).
    std::shared_ptr<StopToken> m_activeStop;
    bool m_reordering = false;
    bool m_busy = false;
    QThread m_worker;
    // Lives on the worker thread; posting a call to it runs that call there, in order.
    QObject* m_workerContext = nullptr;
};
