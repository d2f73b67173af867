// Resumable video jobs: stopped to be resumed later or killed part-way, listed as interrupted,
// resumed from the first unfinished segment; records that can't be resumed; stops that stay
// with their own operation.
#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "engine/JobJournal.h"
#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "processing/JobQueue.h"
#include "processing/VideoJob.h"
#include "support/TestSupport.h"

namespace {

constexpr int waitMs = 120000;

QString clipPath()
{
    return KorvaneTest::isolatedRoot() + QStringLiteral("/in put/clip “3 s”.mp4");
}

QString counterPath()
{
    return KorvaneTest::isolatedRoot() + QStringLiteral("/engine runs");
}

// How often the AI engine was started since the counter was last cleared.
int engineRuns()
{
    return int(KorvaneTest::readFile(counterPath()).count('\n'));
}

JobManifest request(const QString& output)
{
    JobManifest manifest;
    manifest.id = QUuid::createUuid();
    manifest.name = QFileInfo(clipPath()).fileName();
    manifest.detail = QStringLiteral("72p · Fast");
    manifest.created = QDateTime::currentDateTimeUtc();
    manifest.source = clipPath();
    manifest.sourceDuration = 3;
    manifest.destination = KorvaneTest::isolatedRoot() + QStringLiteral("/in put/") + output;
    manifest.options.targetHeight = 72;
    manifest.options.codec = Codecs::h264;
    manifest.options.quality = AIQuality::Fast;
    return manifest;
}

// The facts that make two results the same video.
struct Facts {
    qint64 frames = 0;
    double video = 0;
    double sound = 0;
    qint64 height = 0;
};

Facts factsOf(const QString& path)
{
    const VideoMeta meta = VideoMeta::load(path);
    return Facts{meta.frameCount, meta.videoDuration,
                 meta.audioTracks.isEmpty() ? -1 : meta.audioTracks.first().duration,
                 meta.displayShortSide()};
}

// A queue's finished jobs, as their hooks report them.
struct Outcomes {
    QList<UpscaleJob::Result> results;
    VideoJob::Hooks hooks()
    {
        VideoJob::Hooks made;
        made.finished = [this](const UpscaleJob::Result& result, const QString&) {
            results.append(result);
        };
        return made;
    }
};

std::optional<UpscaleJob> jobIn(const JobQueue& queue, const QUuid& id)
{
    for (const UpscaleJob& job : queue.jobs()) {
        if (job.id == id)
            return job;
    }
    return std::nullopt;
}

} // namespace

class ResumeTest final : public QObject {
    Q_OBJECT

private:
    Facts m_reference;

    // Resumes the job recorded in folder through a fresh queue, as after a restart, and checks
    // that only the two missing segments are made and the result matches an uninterrupted run.
    void resumeAsAfterARestart(const QString& folder, const JobManifest& manifest)
    {
        const JobJournal::Decoded record = JobJournal::inspect(folder);
        QVERIFY(record.manifest);
        QCOMPARE(record.manifest->segments.size(), 1);
        // A killed run's lock goes once its last program, which dies with it, has ended.
        QTRY_VERIFY_WITH_TIMEOUT(UpscaleCore::idleJobFolders().contains(folder), 10000);

        Outcomes outcomes;
        JobQueue queue;
        const UpscaleJob listed = VideoJob::interrupted(folder, record, outcomes.hooks());
        QCOMPARE(listed.status, UpscaleJob::Status::Interrupted);
        QCOMPARE(listed.statusText, QStringLiteral("1 of 3 segments"));
        QCOMPARE(listed.resumeProblem, QString());
        queue.restore({listed});
        QVERIFY(!queue.hasWork());

        QFile::remove(counterPath());
        double firstReport = -1;
        connect(&queue, &JobQueue::jobsChanged, &queue, [&] {
            const std::optional<UpscaleJob> job = jobIn(queue, manifest.id);
            if (job && job->status == UpscaleJob::Status::Running && firstReport < 0 &&
                job->statusText.startsWith(QLatin1String("Preparing")))
                firstReport = job->progress;
        });
        queue.resume(manifest.id);
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.results.size(), 1, waitMs);
        const UpscaleJob::Result& done = outcomes.results.first();
        QVERIFY2(done.succeeded(), qPrintable(done.error ? done.error->message() : QString()));
        // Progress starts from the work already done.
        QVERIFY2(firstReport >= 0.33, qPrintable(QString::number(firstReport)));
        QCOMPARE(engineRuns(), 2);
        const Facts resumed = factsOf(outcomes.results.first().location);
        QCOMPARE(resumed.frames, m_reference.frames);
        QVERIFY(qAbs(resumed.video - m_reference.video) < 0.01);
        QVERIFY(qAbs(resumed.sound - m_reference.sound) < 0.03);
        QCOMPARE(resumed.height, qint64(72));
        QTRY_VERIFY(!QFileInfo::exists(folder));
    }

private Q_SLOTS:
    void initTestCase()
    {
        KorvaneTest::installStagedTools();
        // Counts every start of the engine, then runs the real one.
        const QString engine = UpscaleCore::realesrganBinary();
        const QString real = QFileInfo(engine).symLinkTarget();
        QVERIFY(!real.isEmpty());
        KorvaneTest::writeFakeTool(engine, "echo run >> '" + counterPath().toUtf8() +
                                               "'\nexec '" + real.toUtf8() + "' \"$@\"");
        QVERIFY(QDir().mkpath(QFileInfo(clipPath()).absolutePath()));
        QCOMPARE(KorvaneTest::runFFmpeg(
                     {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc=size=32x18:rate=2"), QStringLiteral("-f"),
                      QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("sine=frequency=440"), QStringLiteral("-t"),
                      QStringLiteral("3"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                      QStringLiteral("-c:a"), QStringLiteral("aac"), clipPath()}),
                 0);
        // One-second segments: three of them.
        qputenv("KORVANE_SEGMENT_SECONDS", "1");
        UpscaleCore::shared().setFreeDiskBytesProvider(
            [] { return std::optional<qint64>(1LL << 40); });

        const StopToken::Scope operation(std::make_shared<StopToken>());
        const QString reference =
            UpscaleCore::shared().runAI(clipPath(), request(QString()).options, {});
        m_reference = factsOf(reference);
        QFile::remove(reference);
        QCOMPARE(engineRuns(), 3);
        QCOMPARE(m_reference.frames, qint64(6));
    }

    void stoppedToResumeLaterThroughTheQueue()
    {
        const JobManifest manifest = request(QStringLiteral("later.mp4"));
        const QString folder = VideoJob::folderOf(manifest.id);
        Outcomes outcomes;
        {
            JobQueue queue;
            bool interrupted = false;
            connect(&queue, &JobQueue::jobsChanged, &queue, [&] {
                const std::optional<UpscaleJob> job = jobIn(queue, manifest.id);
                if (!interrupted && job &&
                    job->statusText.startsWith(QLatin1String("Preparing segment 2/3"))) {
                    interrupted = true;
                    queue.interruptAll();
                }
            });
            queue.enqueue({VideoJob::make(manifest, 0, outcomes.hooks())});
            QTRY_COMPARE_WITH_TIMEOUT(outcomes.results.size(), 1, waitMs);
            QVERIFY(outcomes.results.first().cancelled());
            // Kept in the list with what it had done, and off the running work.
            const std::optional<UpscaleJob> kept = jobIn(queue, manifest.id);
            QVERIFY(kept);
            QCOMPARE(kept->status, UpscaleJob::Status::Interrupted);
            QCOMPARE(kept->statusText, QStringLiteral("1 of 3 segments"));
            QVERIFY(!queue.hasWork());
        }
        // Nothing of the stopped segment stays beside the finished one.
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/in")));
        QCOMPARE(QDir(folder + QStringLiteral("/segments")).entryList(QDir::Files).size(), 1);
        resumeAsAfterARestart(folder, manifest);
    }

    void killedPartWayResumes()
    {
        JobManifest manifest = request(QStringLiteral("killed.mp4"));
        JobJournal::recordSource(manifest);
        const QString folder = VideoJob::folderOf(manifest.id);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(JobJournal::write(folder, manifest));

        QProcess runner;
        runner.start(QStringLiteral(KORVANE_RESUME_RUNNER), {folder});
        QVERIFY(runner.waitForStarted());
        // Killed as soon as the first segment is recorded as finished.
        QTRY_VERIFY_WITH_TIMEOUT(
            JobJournal::read(folder).manifest &&
                JobJournal::read(folder).manifest->segments.size() == 1,
            waitMs);
        runner.kill();
        QVERIFY(runner.waitForFinished());
        QCOMPARE(runner.exitStatus(), QProcess::CrashExit);
        resumeAsAfterARestart(folder, manifest);
    }

    void waitingJobIsKeptForTheNextStart()
    {
        const JobManifest manifest = request(QStringLiteral("waiting.mp4"));
        const QString folder = VideoJob::folderOf(manifest.id);
        Outcomes outcomes;
        {
            JobQueue queue;
            // Reorder mode holds the job in the waiting list.
            queue.setReordering(true);
            queue.enqueue({VideoJob::make(manifest, 0, outcomes.hooks())});
            queue.interruptAll();
            QCOMPARE(queue.jobs().first().status, UpscaleJob::Status::Interrupted);
        }
        VideoJob::waitForWrites();
        QVERIFY(UpscaleCore::idleJobFolders().contains(folder));
        const UpscaleJob listed =
            VideoJob::interrupted(folder, JobJournal::inspect(folder), outcomes.hooks());
        QCOMPARE(listed.statusText, QStringLiteral("Not started"));
        QCOMPARE(listed.resumeProblem, QString());
        QCOMPARE(listed.name, manifest.name);
        QVERIFY(outcomes.results.isEmpty());
        WorkFolder::removeFolder(folder);
    }

    void recordsThatCannotBeResumed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        JobManifest whole = request(QStringLiteral("x.mp4"));
        const QByteArray json = JobJournal::encode(whole);
        QTest::newRow("truncated") << json.left(json.size() / 2)
                                   << QStringLiteral("Its record is damaged, so it can't be "
                                                     "resumed.");
        QTest::newRow("empty") << QByteArray()
                               << QStringLiteral("Its record is damaged, so it can't be "
                                                 "resumed.");
        whole.version = JobManifest::kVersion + 1;
        QTest::newRow("newer") << JobJournal::encode(whole)
                               << QStringLiteral("It was stopped by a newer version of Korvane, "
                                                 "so this version can't resume it.");
        QByteArray escaping = json;
        escaping.replace("\"segments\": [\n    ]", "\"segments\": [{\"file\": \"../../x\", "
                                                    "\"frames\": 1, \"duration\": 1}]");
        QTest::newRow("segment outside its folder")
            << escaping << QStringLiteral("Its record is damaged, so it can't be resumed.");
    }

    void recordsThatCannotBeResumed()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString folder = WorkFolder::root() + QStringLiteral("/") +
                               QUuid::createUuid().toString(QUuid::WithoutBraces);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(KorvaneTest::writeFile(folder + QStringLiteral("/job.json"), content));

        const JobJournal::Decoded record = JobJournal::read(folder);
        QVERIFY(!record.manifest);
        QCOMPARE(record.problem, reason);
        Outcomes outcomes;
        JobQueue queue;
        queue.restore({VideoJob::interrupted(folder, record, outcomes.hooks())});
        const UpscaleJob listed = queue.jobs().first();
        QCOMPARE(listed.resumeProblem, reason);
        // Only Discard: a resume is refused, a discard removes the folder.
        queue.resume(listed.id);
        QCOMPARE(queue.jobs().first().status, UpscaleJob::Status::Interrupted);
        queue.discard(listed.id);
        QVERIFY(queue.jobs().isEmpty());
        QTRY_VERIFY(!QFileInfo::exists(folder));
    }

    void changedSourceIsNotResumed()
    {
        const QString copy = KorvaneTest::isolatedRoot() + QStringLiteral("/in put/changed.mp4");
        QVERIFY(QFile::copy(clipPath(), copy));
        JobManifest manifest = request(QStringLiteral("changed out.mp4"));
        manifest.source = copy;
        JobJournal::recordSource(manifest);
        QCOMPARE(JobJournal::sourceProblem(manifest), QString());
        QFile grown(copy);
        QVERIFY(grown.open(QIODevice::Append));
        grown.write("more");
        grown.close();
        QCOMPARE(JobJournal::sourceProblem(manifest),
                 QStringLiteral("“changed.mp4” has changed since this upscale stopped, so it "
                                "can't be resumed."));

        // A round trip keeps every field the resume relies on.
        const JobJournal::Decoded back = JobJournal::decode(JobJournal::encode(manifest));
        QVERIFY(back.manifest);
        QCOMPARE(back.manifest->sourceSize, manifest.sourceSize);
        QCOMPARE(back.manifest->sourceModified, manifest.sourceModified);
        QCOMPARE(back.manifest->destination, manifest.destination);
        QCOMPARE(back.manifest->options.targetHeight, qint64(72));

        const QString folder = VideoJob::folderOf(manifest.id);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(JobJournal::write(folder, manifest));
        Outcomes outcomes;
        const UpscaleJob listed =
            VideoJob::interrupted(folder, JobJournal::inspect(folder), outcomes.hooks());
        QVERIFY(listed.resumeProblem.contains(QStringLiteral("has changed")));
        QCOMPARE(listed.statusText, listed.resumeProblem);
        QFile::remove(copy);
        QVERIFY(JobJournal::sourceProblem(manifest).contains(QStringLiteral("no longer there")));
        WorkFolder::removeFolder(folder);
    }

    void stopsStayWithTheirOperation()
    {
        UpscaleOptions options = request(QString()).options;
        JobQueue queue;
        // A job whose program runs until it is stopped.
        UpscaleJob job;
        job.name = QStringLiteral("long");
        std::optional<UpscaleJob::Result> jobResult;
        job.run = [](const UpscaleJob::ProgressReporter& report) {
            report(0.1, QStringLiteral("Working"), QString());
            UpscaleCore::shared().runTool(QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
            if (UpscaleCore::isCancelled())
                throw EngineError::cancelled();
            return QString();
        };
        job.onComplete = [&jobResult](const UpscaleJob::Result& result) { jobResult = result; };
        queue.enqueue({job});
        QTRY_VERIFY(queue.active() && queue.active()->statusText == QStringLiteral("Working"));

        // A preview beside the job goes on when the job is stopped.
        std::optional<UpscaleCore::PreviewResult> preview;
        UpscaleCore::shared().previewImages(
            clipPath(), options, this,
            [&preview](const UpscaleCore::PreviewResult& result) { preview = result; });
        queue.stopActive();
        QTRY_VERIFY_WITH_TIMEOUT(jobResult.has_value(), 10000);
        QVERIFY(jobResult->cancelled());
        QTRY_VERIFY_WITH_TIMEOUT(preview.has_value(), waitMs);
        QVERIFY2(!preview->error, qPrintable(preview->error ? preview->error->message() : QString()));
        QCOMPARE(preview->images.upscaled.height(), 72);

        // The stop doesn't leak into the next preview either.
        preview.reset();
        UpscaleCore::shared().previewImages(
            clipPath(), options, this,
            [&preview](const UpscaleCore::PreviewResult& result) { preview = result; });
        QTRY_VERIFY_WITH_TIMEOUT(preview.has_value(), waitMs);
        QVERIFY(!preview->error);
    }
};

KORVANE_TEST_MAIN(ResumeTest)
#include "tst_resume.moc"
