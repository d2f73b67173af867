#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "engine/UpscaleCore.h"
#include "processing/BatchProcessor.h"
#include "processing/JobQueue.h"
#include "support/TestSupport.h"

namespace {
constexpr int runMs = 240000;

QStringList finalStatuses()
{
    return {QStringLiteral("Done"), QStringLiteral("Failed"), QStringLiteral("Stopped")};
}

// A tiny test-pattern clip made with the real ffmpeg.
void makeClip(const QString& path, const QString& duration)
{
    QCOMPARE(
        KorvaneTest::runFFmpeg({QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                QStringLiteral("-i"), QStringLiteral("testsrc=size=64x36:rate=5"),
                                QStringLiteral("-t"), duration, QStringLiteral("-pix_fmt"),
                                QStringLiteral("yuv420p"), path}),
        0);
}

void writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QUrl> urls(const QString& folder, const QStringList& names)
{
    QList<QUrl> list;
    for (const QString& name : names)
        list.append(QUrl::fromLocalFile(QDir(folder).filePath(name)));
    return list;
}

QStringList fileNames(const QList<BatchItem>& items)
{
    QStringList names;
    for (const BatchItem& item : items)
        names.append(item.url.fileName());
    return names;
}

UpscaleOptions tinyOptions()
{
    UpscaleOptions options;
    options.targetHeight = 144;
    options.codec = Codecs::h264;
    options.quality = AIQuality::Fast;
    return options;
}
} // namespace

class BatchProcessorTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void addDropsDuplicates_data();
    void addDropsDuplicates();
    void startQueuesOneJobPerItemAndRemovalStopsIt();
    void runsEveryItemThroughTheEngine();
    void stopAndFailureEndOnlyTheirItem();
    void neverWritesOverASourceOfTheBatch();
    void aMissingFolderFailsEveryItemAtOnce();

private:
    QTemporaryDir m_root;
};

void BatchProcessorTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    KorvaneTest::installStagedTools();
    QVERIFY(UpscaleCore::toolsInstalled());
}

void BatchProcessorTest::addDropsDuplicates_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("expected");

    using L = QStringList;
    QTest::newRow("same file twice")
        << L{} << L{QStringLiteral("x.mp4"), QStringLiteral("x.mp4")} << L{QStringLiteral("x.mp4")};
    QTest::newRow("onto a list that holds one of them")
        << L{QStringLiteral("b.mp4")}
        << L{QStringLiteral("a.mp4"), QStringLiteral("b.mp4"), QStringLiteral("a.mp4")}
        << L{QStringLiteral("b.mp4"), QStringLiteral("a.mp4")};
    QTest::newRow("new files keep their order")
        << L{QStringLiteral("a.mp4")} << L{QStringLiteral("c.mp4"), QStringLiteral("b.mp4")}
        << L{QStringLiteral("a.mp4"), QStringLiteral("c.mp4"), QStringLiteral("b.mp4")};
}

void BatchProcessorTest::addDropsDuplicates()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, added);
    QFETCH(QStringList, expected);

    BatchProcessor batch;
    const QString folder = QStringLiteral("/videos");
    batch.add(urls(folder, listed));
    const QList<BatchItem> before = batch.items();
    batch.add(urls(folder, added));

    QCOMPARE(fileNames(batch.items()), expected);
    // Items already listed keep their identity; new ones start fresh.
    QCOMPARE(batch.items().mid(0, before.size()), before);
    for (const BatchItem& item : batch.items()) {
        QCOMPARE(item.status, QStringLiteral("Queued"));
        QCOMPARE(item.progress, 0.0);
        QVERIFY(item.outputURL.isEmpty());
        QVERIFY(!item.failed);
    }
}

void BatchProcessorTest::startQueuesOneJobPerItemAndRemovalStopsIt()
{
    // Reorder mode keeps the queued jobs waiting, so nothing runs here.
    JobQueue& queue = JobQueue::shared();
    queue.setReordering(true);
    const QUrl folder = QUrl::fromLocalFile(m_root.path());

    BatchProcessor batch;
    QSignalSpy running(&batch, &BatchProcessor::isRunningChanged);
    batch.start(folder);
    QVERIFY(queue.jobs().isEmpty());
    QCOMPARE(running.count(), 0);

    batch.setOptions(tinyOptions());
    batch.add(urls(m_root.path(), {QStringLiteral("a.mp4"), QStringLiteral("b.mov")}));
    batch.start(folder);
    QVERIFY(batch.isRunning());
    QCOMPARE(batch.outstanding(), 2);
    QCOMPARE(queue.jobs().size(), 2);
    QStringList names;
    for (const UpscaleJob& job : queue.jobs()) {
        names.append(job.name);
        QCOMPARE(job.icon, QStringLiteral("film"));
        QCOMPARE(job.detail, QStringLiteral("144p · Fast"));
        QCOMPARE(job.status, UpscaleJob::Status::Queued);
        QCOMPARE(job.statusText, QStringLiteral("Queued"));
    }
    QCOMPARE(names, (QStringList{QStringLiteral("a.mp4"), QStringLiteral("b.mov")}));

    // A second start while running queues nothing; an added file waits for the next start, and
    // the list cannot be emptied under a running batch.
    batch.start(folder);
    batch.add(urls(m_root.path(), {QStringLiteral("c.mp4")}));
    batch.clear();
    QCOMPARE(queue.jobs().size(), 2);
    QCOMPARE(batch.items().size(), 3);

    // Removing a waiting job from the queue ends its item as stopped and counts it down.
    queue.remove(queue.jobs().at(0).id);
    QCOMPARE(batch.items().at(0).status, QStringLiteral("Stopped"));
    QVERIFY(!batch.items().at(0).failed);
    QCOMPARE(batch.outstanding(), 1);
    QVERIFY(batch.isRunning());
    queue.remove(queue.jobs().at(0).id);
    QCOMPARE(batch.items().at(1).status, QStringLiteral("Stopped"));
    QCOMPARE(batch.outstanding(), 0);
    QVERIFY(!batch.isRunning());
    QCOMPARE(running.count(), 2);
    QCOMPARE(batch.items().at(2).status, QStringLiteral("Queued"));

    queue.setReordering(false);
    batch.clear();
    QVERIFY(batch.items().isEmpty());
}

void BatchProcessorTest::runsEveryItemThroughTheEngine()
{
    // Two sources with one base name, a user's file of the first output name and a link to a
    // missing file at the next: each video gets its own free name and nothing is replaced.
    const QString sources = m_root.filePath(QStringLiteral("run-sources"));
    const QString out = m_root.filePath(QStringLiteral("run-out"));
    QVERIFY(QDir().mkpath(sources) && QDir().mkpath(out));
    const QString users = QDir(out).filePath(QStringLiteral("clip_144p.mp4"));
    writeText(users, "The user's own file.\n");
    const QString linkTarget = QDir(out).filePath(QStringLiteral("elsewhere.mp4"));
    QVERIFY(QFile::link(linkTarget, QDir(out).filePath(QStringLiteral("clip_144p_1.mp4"))));
    makeClip(QDir(sources).filePath(QStringLiteral("clip.mp4")), QStringLiteral("1"));
    makeClip(QDir(sources).filePath(QStringLiteral("clip.mov")), QStringLiteral("0.6"));

    BatchProcessor batch;
    batch.setOptions(tinyOptions());
    batch.add(urls(sources, {QStringLiteral("clip.mp4"), QStringLiteral("clip.mov")}));
    // What the list and the now bar showed while the jobs ran.
    QStringList itemPhases;
    QStringList jobPhases;
    connect(&batch, &BatchProcessor::itemsChanged, this, [&] {
        for (const BatchItem& item : batch.items()) {
            if (item.status != QStringLiteral("Queued") && !finalStatuses().contains(item.status))
                itemPhases.append(item.status);
        }
    });
    QMetaObject::Connection jobWatch =
        connect(&JobQueue::shared(), &JobQueue::jobsChanged, this, [&] {
            if (const std::optional<UpscaleJob> job = JobQueue::shared().active())
                jobPhases.append(job->statusText);
        });

    batch.start(QUrl::fromLocalFile(out));
    QVERIFY(batch.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!batch.isRunning(), runMs);
    disconnect(jobWatch);

    const QStringList outputs{QStringLiteral("clip_144p_2.mp4"), QStringLiteral("clip_144p_3.mp4")};
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        const BatchItem& item = batch.items().at(i);
        QCOMPARE(item.status, QStringLiteral("Done"));
        QCOMPARE(item.progress, 1.0);
        QVERIFY(!item.failed);
        QCOMPARE(item.outputURL, QUrl::fromLocalFile(QDir(out).filePath(outputs.at(i))));
    }
    const QString expected = QDir(out).filePath(outputs.at(1));
    QCOMPARE(batch.completedCount(), 2);
    QVERIFY(!itemPhases.isEmpty());
    for (const QString& phase : std::as_const(itemPhases))
        QVERIFY2(jobPhases.contains(phase), qPrintable(phase));

    const UpscaleCore::Meta meta = UpscaleCore::loadMeta(expected);
    QCOMPARE(meta.height, 144);
    QVERIFY2(meta.duration < 0.9, qPrintable(QString::number(meta.duration)));
    QCOMPARE(UpscaleCore::loadMeta(QDir(out).filePath(outputs.at(0))).height, 144);
    QCOMPARE(contents(users), QByteArray("The user's own file.\n"));
    QVERIFY(!QFileInfo::exists(linkTarget));
    QCOMPARE(QDir(out).entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{QStringLiteral("clip_144p.mp4"), QStringLiteral("clip_144p_1.mp4"),
                          QStringLiteral("clip_144p_2.mp4"), QStringLiteral("clip_144p_3.mp4")}));
    // The pipeline's temporary results were moved out, not left behind.
    QVERIFY(QDir::temp().entryList({QStringLiteral("ai-*")}).isEmpty());

    // A new start resets every item, finished ones included.
    JobQueue::shared().setReordering(true);
    batch.start(QUrl::fromLocalFile(out));
    QCOMPARE(batch.completedCount(), 0);
    for (const BatchItem& item : batch.items()) {
        QCOMPARE(item.status, QStringLiteral("Queued"));
        QCOMPARE(item.progress, 0.0);
        QVERIFY(!item.failed);
    }
    while (!JobQueue::shared().jobs().isEmpty())
        JobQueue::shared().remove(JobQueue::shared().jobs().constFirst().id);
    QVERIFY(!batch.isRunning());
    JobQueue::shared().setReordering(false);
}

void BatchProcessorTest::stopAndFailureEndOnlyTheirItem()
{
    const QString sources = m_root.filePath(QStringLiteral("stop-sources"));
    const QString out = m_root.filePath(QStringLiteral("stop-out"));
    QVERIFY(QDir().mkpath(sources) && QDir().mkpath(out));
    makeClip(QDir(sources).filePath(QStringLiteral("long.mp4")), QStringLiteral("12"));
    writeText(QDir(sources).filePath(QStringLiteral("broken.mp4")), "Not a video.\n");
    makeClip(QDir(sources).filePath(QStringLiteral("short.mp4")), QStringLiteral("1"));

    BatchProcessor batch;
    batch.setOptions(tinyOptions());
    batch.add(urls(sources, {QStringLiteral("long.mp4"), QStringLiteral("broken.mp4"),
                             QStringLiteral("short.mp4")}));
    // The item statuses at the moment the batch stopped running.
    QStringList statusesAtEnd;
    QSignalSpy running(&batch, &BatchProcessor::isRunningChanged);
    connect(&batch, &BatchProcessor::isRunningChanged, this, [&](bool isRunning) {
        if (!isRunning) {
            for (const BatchItem& item : batch.items())
                statusesAtEnd.append(item.status);
        }
    });

    batch.start(QUrl::fromLocalFile(out));
    // Once the engine reports on the first video, the user stops it.
    QTRY_VERIFY_WITH_TIMEOUT(batch.items().at(0).status != QStringLiteral("Queued"), runMs);
    JobQueue::shared().stopActive();
    QTRY_VERIFY_WITH_TIMEOUT(!batch.isRunning(), runMs);

    QCOMPARE(running.count(), 2);
    QCOMPARE(statusesAtEnd, (QStringList{QStringLiteral("Stopped"), QStringLiteral("Failed"),
                                         QStringLiteral("Done")}));
    const QList<BatchItem> items = batch.items();
    QVERIFY(!items.at(0).failed);
    QVERIFY(items.at(0).outputURL.isEmpty());
    QVERIFY(items.at(1).failed);
    QVERIFY(items.at(1).outputURL.isEmpty());
    QVERIFY(!items.at(2).failed);
    QCOMPARE(items.at(2).progress, 1.0);
    QCOMPARE(items.at(2).outputURL,
             QUrl::fromLocalFile(QDir(out).filePath(QStringLiteral("short_144p.mp4"))));
    QCOMPARE(batch.completedCount(), 1);
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), {QStringLiteral("short_144p.mp4")});
}

void BatchProcessorTest::neverWritesOverASourceOfTheBatch()
{
    // a.mp4 would be written to a_144p.mp4, which is itself one of the listed videos (and not a
    // video at all): a.mp4 takes the next free name and the listed file stays as it was.
    const QString folder = m_root.filePath(QStringLiteral("same-folder"));
    QVERIFY(QDir().mkpath(folder));
    makeClip(QDir(folder).filePath(QStringLiteral("a.mp4")), QStringLiteral("1"));
    const QString other = QDir(folder).filePath(QStringLiteral("a_144p.mp4"));
    writeText(other, "The user's own file.\n");

    BatchProcessor batch;
    batch.setOptions(tinyOptions());
    batch.add(urls(folder, {QStringLiteral("a.mp4"), QStringLiteral("a_144p.mp4")}));
    batch.start(QUrl::fromLocalFile(folder));
    QTRY_VERIFY_WITH_TIMEOUT(!batch.isRunning(), runMs);

    QCOMPARE(batch.items().at(0).status, QStringLiteral("Done"));
    QCOMPARE(batch.items().at(0).outputURL,
             QUrl::fromLocalFile(QDir(folder).filePath(QStringLiteral("a_144p_1.mp4"))));
    QCOMPARE(batch.items().at(1).status, QStringLiteral("Failed"));
    QCOMPARE(contents(other), QByteArray("The user's own file.\n"));
    QCOMPARE(batch.completedCount(), 1);
}

void BatchProcessorTest::aMissingFolderFailsEveryItemAtOnce()
{
    const QString missing = m_root.filePath(QStringLiteral("no-such-folder"));
    BatchProcessor batch;
    batch.setOptions(tinyOptions());
    batch.add(urls(m_root.path(), {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}));
    batch.start(QUrl::fromLocalFile(missing));
    QVERIFY(!batch.isRunning());
    QVERIFY(JobQueue::shared().jobs().isEmpty());
    for (const BatchItem& item : batch.items()) {
        QVERIFY(item.failed);
        QVERIFY2(item.status.startsWith(QStringLiteral("The folder ") + missing +
                                        QStringLiteral(" does not exist.")),
                 qPrintable(item.status));
    }
}

KORVANE_TEST_MAIN(BatchProcessorTest)
#include "tst_batchprocessor.moc"
