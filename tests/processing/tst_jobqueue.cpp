#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include <QMap>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "engine/UpscaleCore.h"
#include "processing/JobQueue.h"
#include "support/TestSupport.h"

namespace {
constexpr int waitMs = 20000;

// Holds a job's work on the worker until the test opens it.
struct Gate {
    QSemaphore semaphore;
    void open() { semaphore.release(1000); }
    // Bounded so a failing test cannot hang the run.
    void pass() { semaphore.tryAcquire(1, 30000); }
};

// What the main thread saw: completions and removals in the order they happened.
struct Recorder {
    QStringList events;
    QMap<QString, UpscaleJob::Result> results;
};

// What the worker saw: which job ran, on which thread, and how many ran at once.
struct WorkerLog {
    std::mutex mutex;
    QStringList started;
    QList<QThread*> threads;
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};

    void enter(const QString& name)
    {
        const int now = ++running;
        int seen = mostAtOnce.load();
        while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
        }
        std::lock_guard lock(mutex);
        started.append(name);
        threads.append(QThread::currentThread());
    }
    void leave() { --running; }
};

UpscaleJob makeJob(const QString& name, Recorder* recorder, UpscaleJob::Work work)
{
    UpscaleJob job;
    job.name = name;
    job.icon = QStringLiteral("film");
    job.detail = QStringLiteral("4K · Detailed");
    job.run = std::move(work);
    job.onComplete = [recorder, name](const UpscaleJob::Result& result) {
        recorder->events.append(QStringLiteral("done:") + name);
        recorder->results.insert(name, result);
    };
    job.onRemoved = [recorder, name] {
        recorder->events.append(QStringLiteral("removed:") + name);
    };
    return job;
}

// A job that sleeps briefly on the worker and reports twice.
UpscaleJob sleepingJob(const QString& name, Recorder* recorder, WorkerLog* log = nullptr)
{
    return makeJob(name, recorder, [name, log](const UpscaleJob::ProgressReporter& report) {
        if (log)
            log->enter(name);
        report(0.5, QStringLiteral("Enhancing frames"), QStringLiteral("1s"));
        QThread::msleep(15);
        report(1.0, QStringLiteral("Finishing"), QString());
        if (log)
            log->leave();
        return QString();
    });
}

// A job that stays running until its gate opens.
UpscaleJob gatedJob(const QString& name, Recorder* recorder, const std::shared_ptr<Gate>& gate)
{
    return makeJob(name, recorder, [gate](const UpscaleJob::ProgressReporter&) {
        gate->pass();
        return QString();
    });
}

QStringList names(const QList<UpscaleJob>& jobs)
{
    QStringList list;
    for (const UpscaleJob& job : jobs)
        list.append(job.name);
    return list;
}

QStringList doneEvents(const QStringList& names)
{
    QStringList events;
    for (const QString& name : names)
        events.append(QStringLiteral("done:") + name);
    return events;
}

// Runs one more turn through the queue's own event stream: once this returns, every call posted
// to the queue before it has been applied.
void drainPostedCalls(JobQueue& queue)
{
    bool reached = false;
    QMetaObject::invokeMethod(
        &queue, [&reached] { reached = true; }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(reached, waitMs);
}
} // namespace

class TestJobQueue final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void jobsRunOneAtATimeInOrderOfAppending();
    void reportsAreAppliedBeforeCompletion();
    void resultReachesCompletion_data();
    void resultReachesCompletion();
    void removeDropsOnlyWaitingJobs();
    void bumpMovesWaitingJobs_data();
    void bumpMovesWaitingJobs();
    void reorderModeHoldsTheNextStart();
    void lateReportChangesNothing();
    void destroyingWhileBusyStopsTheEngineAndJoins();
};

void TestJobQueue::jobsRunOneAtATimeInOrderOfAppending()
{
    Recorder recorder;
    WorkerLog log;
    JobQueue& queue = JobQueue::shared();
    QCOMPARE(&queue, &JobQueue::shared());
    QSignalSpy busySpy(&queue, &JobQueue::busyChanged);

    // Producer one queues a batch at once; producer two queues one job a main-thread turn later,
    // the way the single-file models do, and another one right away.
    queue.enqueue({sleepingJob(QStringLiteral("a1"), &recorder, &log),
                   sleepingJob(QStringLiteral("a2"), &recorder, &log)});
    QCOMPARE(queue.jobs().first().status, UpscaleJob::Status::Running);
    QCOMPARE(queue.jobs().first().statusText, QStringLiteral("Starting…"));
    QVERIFY(queue.busy());
    QMetaObject::invokeMethod(
        &queue, [&] { queue.enqueue({sleepingJob(QStringLiteral("b2"), &recorder, &log)}); },
        Qt::QueuedConnection);
    queue.enqueue({sleepingJob(QStringLiteral("b1"), &recorder, &log)});
    QCOMPARE(names(queue.pending()), (QStringList{QStringLiteral("a2"), QStringLiteral("b1")}));
    QCOMPARE(queue.active()->name, QStringLiteral("a1"));

    const QStringList order{QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("b1"),
                            QStringLiteral("b2")};
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, doneEvents(order), waitMs);
    {
        std::lock_guard lock(log.mutex);
        QCOMPARE(log.started, order);
        QCOMPARE(log.mostAtOnce.load(), 1);
        // Every job ran on the same dedicated thread, never on the main thread.
        for (QThread* thread : std::as_const(log.threads)) {
            QCOMPARE(thread, log.threads.first());
            QVERIFY(thread != QThread::currentThread());
        }
        QCOMPARE(log.threads.first()->objectName(), QStringLiteral("korvane.jobqueue"));
    }

    // The state after the last job.
    QVERIFY(queue.jobs().isEmpty());
    QVERIFY(!queue.active().has_value());
    QVERIFY(queue.pending().isEmpty());
    QVERIFY(!queue.busy());
    QVERIFY(busySpy.size() >= 2);
    QCOMPARE(busySpy.first().first().toBool(), true);
    QCOMPARE(busySpy.last().first().toBool(), false);
}

void TestJobQueue::reportsAreAppliedBeforeCompletion()
{
    Recorder recorder;
    JobQueue queue;
    constexpr int reports = 200;
    UpscaleJob job = makeJob(QStringLiteral("clip.mov"), &recorder,
                             [](const UpscaleJob::ProgressReporter& report) {
                                 for (int i = 1; i <= reports; ++i)
                                     report(double(i) / reports, QStringLiteral("Frame %1").arg(i),
                                            QStringLiteral("%1s").arg(reports - i));
                                 return QStringLiteral("/videos/clip_upscaled.mp4");
                             });
    // What the job's record says at the moment its completion runs.
    std::optional<UpscaleJob> seenAtCompletion;
    auto complete = job.onComplete;
    job.onComplete = [&, complete](const UpscaleJob::Result& result) {
        seenAtCompletion = queue.active();
        complete(result);
    };
    QList<double> observed;
    connect(&queue, &JobQueue::jobsChanged, this, [&] {
        if (const auto running = queue.active())
            observed.append(running->progress);
    });
    queue.enqueue({job});

    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 1, waitMs);
    QVERIFY(seenAtCompletion.has_value());
    QCOMPARE(seenAtCompletion->id, job.id);
    QCOMPARE(seenAtCompletion->progress, 1.0);
    QCOMPARE(seenAtCompletion->statusText, QStringLiteral("Frame %1").arg(reports));
    QCOMPARE(seenAtCompletion->eta, QStringLiteral("0s"));
    // Reports were applied in the order they were made.
    QVERIFY(std::is_sorted(observed.cbegin(), observed.cend()));
    QCOMPARE(observed.last(), 1.0);
    QVERIFY(queue.jobs().isEmpty());
}

void TestJobQueue::resultReachesCompletion_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("message");

    QTest::newRow("success with no location") << 0 << true << false << QString() << QString();
    QTest::newRow("success with a location")
        << 1 << true << false << QStringLiteral("/videos/clip_upscaled.mp4") << QString();
    QTest::newRow("engine failure")
        << 2 << false << false << QString() << QStringLiteral("FFmpeg failed: no such stream");
    QTest::newRow("stopped by the user")
        << 3 << false << true << QString() << QStringLiteral("Cancelled");
    QTest::newRow("platform error keeps its own text")
        << 4 << false << false << QString() << QStringLiteral("No space left on device");
    QTest::newRow("unexpected throw is still a failure")
        << 5 << false << false << QString()
        << QStringLiteral("The upscale stopped because of an unexpected error.");
}

void TestJobQueue::resultReachesCompletion()
{
    QFETCH(int, outcome);
    QFETCH(bool, succeeded);
    QFETCH(bool, cancelled);
    QFETCH(QString, location);
    QFETCH(QString, message);

    Recorder recorder;
    JobQueue queue;
    queue.enqueue({makeJob(QStringLiteral("job"), &recorder,
                           [outcome](const UpscaleJob::ProgressReporter&) -> QString {
                               switch (outcome) {
                               case 1:
                                   return QStringLiteral("/videos/clip_upscaled.mp4");
                               case 2:
                                   throw UpscaleCore::err(
                                       QStringLiteral("FFmpeg failed: no such stream"));
                               case 3:
                                   throw EngineError::cancelled();
                               case 4:
                                   throw std::runtime_error("No space left on device");
                               case 5:
                                   throw 42;
                               default:
                                   return QString();
                               }
                           }),
                   sleepingJob(QStringLiteral("next"), &recorder)});

    // A failure is not retried and the queue goes on with the next job.
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events,
                              doneEvents({QStringLiteral("job"), QStringLiteral("next")}), waitMs);
    const UpscaleJob::Result result = recorder.results.value(QStringLiteral("job"));
    QCOMPARE(result.succeeded(), succeeded);
    QCOMPARE(result.cancelled(), cancelled);
    QCOMPARE(result.location, location);
    if (!succeeded)
        QCOMPARE(result.error->message(), message);
    QVERIFY(recorder.results.value(QStringLiteral("next")).succeeded());
}

void TestJobQueue::removeDropsOnlyWaitingJobs()
{
    Recorder recorder;
    JobQueue queue;
    const auto gate = std::make_shared<Gate>();
    const UpscaleJob running = gatedJob(QStringLiteral("a"), &recorder, gate);
    const UpscaleJob waiting = sleepingJob(QStringLiteral("b"), &recorder);
    queue.enqueue({running, waiting, sleepingJob(QStringLiteral("c"), &recorder)});

    queue.remove(running.id);
    queue.remove(QUuid::createUuid());
    QCOMPARE(names(queue.jobs()),
             (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    QVERIFY(recorder.events.isEmpty());

    queue.remove(waiting.id);
    QCOMPARE(names(queue.jobs()), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    QCOMPARE(recorder.events, QStringList{QStringLiteral("removed:b")});
    queue.remove(waiting.id);
    QCOMPARE(recorder.events.size(), 1);

    gate->open();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events,
                              (QStringList{QStringLiteral("removed:b"), QStringLiteral("done:a"),
                                           QStringLiteral("done:c")}),
                              waitMs);
    QVERIFY(!recorder.results.contains(QStringLiteral("b")));
    QVERIFY(!queue.busy());
}

void TestJobQueue::bumpMovesWaitingJobs_data()
{
    QTest::addColumn<bool>("withRunningJob");
    QTest::addColumn<QString>("bumped");
    QTest::addColumn<int>("by");
    QTest::addColumn<QStringList>("expected");

    const QString a = QStringLiteral("a"), b = QStringLiteral("b"), c = QStringLiteral("c");
    QTest::newRow("first waiting job never passes the running one")
        << true << b << -1 << QStringList{a, b, c};
    QTest::newRow("second waiting job moves up") << true << c << -1 << QStringList{a, c, b};
    QTest::newRow("waiting job moves back") << true << b << 1 << QStringList{a, c, b};
    QTest::newRow("past the end") << true << c << 1 << QStringList{a, b, c};
    QTest::newRow("the running job stays") << true << a << 1 << QStringList{a, b, c};
    QTest::newRow("unknown job") << true << QString() << -1 << QStringList{a, b, c};
    QTest::newRow("no running job: to the front") << false << b << -1 << QStringList{b, a, c};
    QTest::newRow("no running job: past the front") << false << a << -1 << QStringList{a, b, c};
    QTest::newRow("swaps with the target") << false << a << 2 << QStringList{c, b, a};
    QTest::newRow("no running job: past the end") << false << c << 1 << QStringList{a, b, c};
}

void TestJobQueue::bumpMovesWaitingJobs()
{
    QFETCH(bool, withRunningJob);
    QFETCH(QString, bumped);
    QFETCH(int, by);
    QFETCH(QStringList, expected);

    Recorder recorder;
    JobQueue queue;
    const auto gate = std::make_shared<Gate>();
    // Without a running job the queue is held in reorder mode, as after the current job finished.
    queue.setReordering(!withRunningJob);
    const QList<UpscaleJob> jobs{gatedJob(QStringLiteral("a"), &recorder, gate),
                                 sleepingJob(QStringLiteral("b"), &recorder),
                                 sleepingJob(QStringLiteral("c"), &recorder)};
    queue.enqueue(jobs);
    QCOMPARE(queue.active().has_value(), withRunningJob);

    QUuid id = QUuid::createUuid();
    for (const UpscaleJob& job : jobs) {
        if (job.name == bumped)
            id = job.id;
    }
    queue.bump(id, by);
    QCOMPARE(names(queue.jobs()), expected);

    // The new order is the order of execution.
    gate->open();
    queue.setReordering(false);
    queue.startNext();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, doneEvents(expected), waitMs);
}

void TestJobQueue::reorderModeHoldsTheNextStart()
{
    Recorder recorder;
    JobQueue queue;
    QSignalSpy reorderingSpy(&queue, &JobQueue::reorderingChanged);

    // Switched on while idle: an enqueued job waits.
    queue.setReordering(true);
    QCOMPARE(reorderingSpy.size(), 1);
    queue.enqueue({sleepingJob(QStringLiteral("a"), &recorder)});
    QCOMPARE(queue.jobs().first().status, UpscaleJob::Status::Queued);
    QVERIFY(!queue.busy());
    // Leaving the mode is switching it off and then asking for the next start.
    queue.setReordering(false);
    QCOMPARE(queue.jobs().first().status, UpscaleJob::Status::Queued);
    queue.startNext();
    QCOMPARE(queue.jobs().first().status, UpscaleJob::Status::Running);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{QStringLiteral("done:a")}, waitMs);

    // Switched on while a job runs: that job finishes, then the queue waits.
    const auto gate = std::make_shared<Gate>();
    queue.enqueue({gatedJob(QStringLiteral("b"), &recorder, gate),
                   sleepingJob(QStringLiteral("c"), &recorder)});
    queue.setReordering(true);
    gate->open();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 2, waitMs);
    QCOMPARE(recorder.events.last(), QStringLiteral("done:b"));
    QCOMPARE(names(queue.jobs()), QStringList{QStringLiteral("c")});
    QCOMPARE(queue.jobs().first().status, UpscaleJob::Status::Queued);
    QVERIFY(!queue.busy());
    QVERIFY(!queue.active().has_value());

    queue.setReordering(false);
    queue.startNext();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 3, waitMs);
    QCOMPARE(recorder.events.last(), QStringLiteral("done:c"));
}

void TestJobQueue::lateReportChangesNothing()
{
    Recorder recorder;
    JobQueue queue;
    // The first job keeps its reporter and returns; the second stays running.
    auto kept = std::make_shared<UpscaleJob::ProgressReporter>();
    const auto gate = std::make_shared<Gate>();
    queue.enqueue({makeJob(QStringLiteral("a"), &recorder,
                           [kept](const UpscaleJob::ProgressReporter& report) {
                               *kept = report;
                               return QString();
                           }),
                   gatedJob(QStringLiteral("b"), &recorder, gate)});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{QStringLiteral("done:a")}, waitMs);
    QVERIFY(*kept);

    QSignalSpy changed(&queue, &JobQueue::jobsChanged);
    std::thread([kept] { (*kept)(0.9, QStringLiteral("Late"), QStringLiteral("5s")); }).join();
    drainPostedCalls(queue);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(names(queue.jobs()), QStringList{QStringLiteral("b")});
    QCOMPARE(queue.jobs().first().progress, 0.0);
    QCOMPARE(queue.jobs().first().statusText, QStringLiteral("Starting…"));

    gate->open();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 2, waitMs);
    (*kept)(1.0, QStringLiteral("Later"), QString());
    drainPostedCalls(queue);
    QVERIFY(queue.jobs().isEmpty());
}

void TestJobQueue::destroyingWhileBusyStopsTheEngineAndJoins()
{
    Recorder recorder;
    std::atomic<bool> started{false};
    std::atomic<bool> sawStop{false};
    {
        JobQueue queue;
        queue.enqueue({makeJob(QStringLiteral("a"), &recorder,
                               [&](const UpscaleJob::ProgressReporter&) -> QString {
                                   started = true;
                                   while (!UpscaleCore::shared().isCancelled())
                                       QThread::msleep(5);
                                   sawStop = true;
                                   throw EngineError::cancelled();
                               })});
        QTRY_VERIFY_WITH_TIMEOUT(started.load(), waitMs);
    }
    // The destructor returned, so the worker has ended; the completion was never delivered.
    QVERIFY(sawStop.load());
    QCoreApplication::processEvents();
    QVERIFY(recorder.events.isEmpty());
}

KORVANE_TEST_MAIN(TestJobQueue)
#include "tst_jobqueue.moc"
