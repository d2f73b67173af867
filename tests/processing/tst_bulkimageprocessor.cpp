#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSignalSpy>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>

#include "engine/UpscaleCore.h"
#include "processing/BulkImageProcessor.h"
#include "processing/JobQueue.h"
#include "support/TestSupport.h"

namespace {
constexpr int runMs = 240000;

// A tiny test-pattern picture made with the real ffmpeg; its format follows the extension.
void makeImage(const QString& path, const QSize& size)
{
    const QString source = QStringLiteral("testsrc=size=") + QString::number(size.width()) +
                           QLatin1Char('x') + QString::number(size.height());
    QCOMPARE(KorvaneTest::runFFmpeg({QStringLiteral("-y"), QStringLiteral("-f"),
                                     QStringLiteral("lavfi"), QStringLiteral("-i"), source,
                                     QStringLiteral("-frames:v"), QStringLiteral("1"), path}),
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
} // namespace

class BulkImageProcessorTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void addDropsDuplicates();
    void startQueuesOneJobPerItemAndRemovalStopsIt();
    void writesEachImageWithTheEngine_data();
    void writesEachImageWithTheEngine();
    void stopAndFailureEndOnlyTheirItem();
    void oneBaseNameGivesDistinctOutputs();
    void aFailedSaveKeepsTheImage();

private:
    QTemporaryDir m_root;
    QString m_realEngine; // the engine the staged tools link to
};

void BulkImageProcessorTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    KorvaneTest::installStagedTools();
    QVERIFY(UpscaleCore::toolsInstalled());
    m_realEngine = QFileInfo(UpscaleCore::realesrganBinary()).symLinkTarget();
}

void BulkImageProcessorTest::addDropsDuplicates()
{
    BulkImageProcessor bulk;
    QSignalSpy changed(&bulk, &BulkImageProcessor::itemsChanged);
    bulk.add(urls(QStringLiteral("/pictures"), {QStringLiteral("x.png"), QStringLiteral("x.png")}));
    QCOMPARE(bulk.items().size(), 1);
    const QUuid id = bulk.items().at(0).id;
    bulk.add(urls(QStringLiteral("/pictures"), {QStringLiteral("y.jpg"), QStringLiteral("x.png")}));
    QCOMPARE(bulk.items().size(), 2);
    QCOMPARE(bulk.items().at(0).id, id);
    QCOMPARE(bulk.items().at(1).url.fileName(), QStringLiteral("y.jpg"));
    QCOMPARE(bulk.items().at(1).status, QStringLiteral("Queued"));
    bulk.add(urls(QStringLiteral("/pictures"), {QStringLiteral("y.jpg")}));
    QCOMPARE(changed.count(), 2);
}

void BulkImageProcessorTest::startQueuesOneJobPerItemAndRemovalStopsIt()
{
    // Reorder mode keeps the queued jobs waiting, so nothing runs here.
    JobQueue& queue = JobQueue::shared();
    queue.setReordering(true);
    const QUrl folder = QUrl::fromLocalFile(m_root.path());

    BulkImageProcessor bulk;
    QSignalSpy running(&bulk, &BulkImageProcessor::isRunningChanged);
    bulk.start(folder);
    QVERIFY(queue.jobs().isEmpty());
    QCOMPARE(running.count(), 0);

    bulk.add(urls(m_root.path(), {QStringLiteral("a.png"), QStringLiteral("b.jpg")}));
    bulk.start(folder);
    QVERIFY(bulk.isRunning());
    QCOMPARE(bulk.outstanding(), 2);
    QCOMPARE(queue.jobs().size(), 2);
    QStringList names;
    for (const UpscaleJob& job : queue.jobs()) {
        names.append(job.name);
        QCOMPARE(job.icon, QStringLiteral("photo"));
        QCOMPARE(job.detail, QStringLiteral("4× · Detailed"));
        QCOMPARE(job.statusText, QStringLiteral("Queued"));
    }
    QCOMPARE(names, (QStringList{QStringLiteral("a.png"), QStringLiteral("b.jpg")}));

    // Settings changed during a run and a second start leave the queued jobs as they are.
    bulk.setScale(2);
    bulk.start(folder);
    QCOMPARE(queue.jobs().size(), 2);
    QCOMPARE(queue.jobs().at(1).detail, QStringLiteral("4× · Detailed"));
    bulk.removeItem(bulk.items().at(0).id);
    QCOMPARE(bulk.items().size(), 2);

    // Removing a waiting job from the queue ends its item as stopped and counts it down.
    queue.remove(queue.jobs().at(1).id);
    QCOMPARE(bulk.items().at(1).status, QStringLiteral("Stopped"));
    QVERIFY(!bulk.items().at(1).failed);
    QVERIFY(bulk.isRunning());
    queue.remove(queue.jobs().at(0).id);
    QCOMPARE(bulk.items().at(0).status, QStringLiteral("Stopped"));
    QCOMPARE(bulk.outstanding(), 0);
    QVERIFY(!bulk.isRunning());
    QCOMPARE(running.count(), 2);

    queue.setReordering(false);
}

void BulkImageProcessorTest::writesEachImageWithTheEngine_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QByteArray>("imageFormat");

    // The folder already holds a_upscaled.png, so a.jpg is given the next free name.
    QTest::newRow("png beside an earlier output")
        << QStringLiteral("png") << 4
        << QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.png")}
        << QList<QSize>{QSize(16, 16), QSize(24, 20)}
        << QStringList{QStringLiteral("a_upscaled_1.png"), QStringLiteral("b_upscaled.png")}
        << QByteArray("png");
    QTest::newRow("jpg at twice the size")
        << QStringLiteral("jpg") << 2
        << QStringList{QStringLiteral("c.png"), QStringLiteral("d.jpg")}
        << QList<QSize>{QSize(32, 32), QSize(20, 16)}
        << QStringList{QStringLiteral("c_upscaled.jpg"), QStringLiteral("d_upscaled.jpg")}
        << QByteArray("jpeg");
}

void BulkImageProcessorTest::writesEachImageWithTheEngine()
{
    QFETCH(QString, format);
    QFETCH(int, scale);
    QFETCH(QStringList, sources);
    QFETCH(QList<QSize>, sizes);
    QFETCH(QStringList, outputs);
    QFETCH(QByteArray, imageFormat);

    const QString in = m_root.filePath(QStringLiteral("in-") + format);
    const QString out = m_root.filePath(QStringLiteral("out-") + format);
    QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
    for (qsizetype i = 0; i < sources.size(); ++i)
        makeImage(QDir(in).filePath(sources.at(i)), sizes.at(i));
    const QString earlier = QDir(out).filePath(QStringLiteral("a_upscaled.png"));
    writeText(earlier, "An earlier output.\n");

    BulkImageProcessor bulk;
    bulk.setQuality(AIQuality::Fast);
    bulk.setScale(scale);
    bulk.setFormat(format);
    bulk.add(urls(in, sources));
    QStringList seen;
    connect(&bulk, &BulkImageProcessor::itemsChanged, this, [&] {
        for (const BulkImageItem& item : bulk.items())
            seen.append(item.status);
    });
    bulk.start(QUrl::fromLocalFile(out));
    QTRY_VERIFY_WITH_TIMEOUT(!bulk.isRunning(), runMs);

    QVERIFY(seen.contains(QStringLiteral("Upscaling…")));
    QCOMPARE(bulk.completedCount(), 2);
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const BulkImageItem& item = bulk.items().at(i);
        const QString output = QDir(out).filePath(outputs.at(i));
        QCOMPARE(item.status, QStringLiteral("Done"));
        QVERIFY(!item.failed);
        QCOMPARE(item.outputURL, QUrl::fromLocalFile(output));
        QImageReader reader(output);
        QCOMPARE(reader.format(), imageFormat);
        QCOMPARE(reader.size(), sizes.at(i) * scale);
    }
    QCOMPARE(contents(earlier), QByteArray("An earlier output.\n"));
}

void BulkImageProcessorTest::stopAndFailureEndOnlyTheirItem()
{
    // The engine in front of the real one holds "slow" pictures until it is stopped and says
    // when it got there; every other picture goes to the real engine.
    const QString engine = UpscaleCore::realesrganBinary();
    const QString& realEngine = m_realEngine;
    QVERIFY(QFileInfo(realEngine).isExecutable());
    const QString marker = m_root.filePath(QStringLiteral("slow-started"));
    KorvaneTest::writeFakeTool(engine, "for a; do case \"$a\" in *slow*) touch '" +
                                           QFile::encodeName(marker) +
                                           "'; exec sleep 60;; esac; done\nexec '" +
                                           QFile::encodeName(realEngine) + "' \"$@\"");

    const QString in = m_root.filePath(QStringLiteral("stop-in"));
    const QString out = m_root.filePath(QStringLiteral("stop-out"));
    QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
    makeImage(QDir(in).filePath(QStringLiteral("slow.png")), QSize(16, 16));
    writeText(QDir(in).filePath(QStringLiteral("broken.png")), "Not a picture.\n");
    makeImage(QDir(in).filePath(QStringLiteral("fine.png")), QSize(16, 16));

    BulkImageProcessor bulk;
    bulk.setQuality(AIQuality::Fast);
    bulk.add(urls(in, {QStringLiteral("slow.png"), QStringLiteral("broken.png"),
                       QStringLiteral("fine.png")}));
    QStringList statusesAtEnd;
    QSignalSpy running(&bulk, &BulkImageProcessor::isRunningChanged);
    connect(&bulk, &BulkImageProcessor::isRunningChanged, this, [&](bool isRunning) {
        if (!isRunning) {
            for (const BulkImageItem& item : bulk.items())
                statusesAtEnd.append(item.status);
        }
    });

    bulk.start(QUrl::fromLocalFile(out));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), runMs);
    // The row's status is posted from the job's thread and may arrive just after the engine starts.
    QTRY_COMPARE(bulk.items().at(0).status, QStringLiteral("Upscaling…"));
    JobQueue::shared().stopActive();
    QTRY_VERIFY_WITH_TIMEOUT(!bulk.isRunning(), runMs);
    KorvaneTest::installStagedTools();

    QCOMPARE(running.count(), 2);
    QCOMPARE(statusesAtEnd, (QStringList{QStringLiteral("Stopped"), QStringLiteral("Failed"),
                                         QStringLiteral("Done")}));
    const QList<BulkImageItem> items = bulk.items();
    QVERIFY(!items.at(0).failed);
    QVERIFY(items.at(1).failed);
    QVERIFY(!items.at(2).failed);
    QCOMPARE(items.at(2).outputURL,
             QUrl::fromLocalFile(QDir(out).filePath(QStringLiteral("fine_upscaled.png"))));
    QCOMPARE(QDir(out).entryList(QDir::Files), {QStringLiteral("fine_upscaled.png")});
}

void BulkImageProcessorTest::oneBaseNameGivesDistinctOutputs()
{
    // a.png and a.jpg share a base name, a link to a missing file holds the first output name,
    // and the third picture with that base name fails after the others have finished.
    const QString in = m_root.filePath(QStringLiteral("same-in"));
    const QString out = m_root.filePath(QStringLiteral("same-out"));
    QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
    makeImage(QDir(in).filePath(QStringLiteral("a.png")), QSize(16, 12));
    makeImage(QDir(in).filePath(QStringLiteral("a.jpg")), QSize(20, 10));
    writeText(QDir(in).filePath(QStringLiteral("a.webp")), "Not a picture.\n");
    const QString linkTarget = QDir(out).filePath(QStringLiteral("elsewhere.png"));
    QVERIFY(QFile::link(linkTarget, QDir(out).filePath(QStringLiteral("a_upscaled.png"))));

    BulkImageProcessor bulk;
    bulk.setQuality(AIQuality::Fast);
    bulk.setScale(2);
    bulk.setFormat(QStringLiteral("png"));
    bulk.add(
        urls(in, {QStringLiteral("a.png"), QStringLiteral("a.jpg"), QStringLiteral("a.webp")}));
    bulk.start(QUrl::fromLocalFile(out));
    QTRY_VERIFY_WITH_TIMEOUT(!bulk.isRunning(), runMs);

    const QList<BulkImageItem> items = bulk.items();
    QCOMPARE(items.at(0).status, QStringLiteral("Done"));
    QCOMPARE(items.at(1).status, QStringLiteral("Done"));
    QCOMPARE(items.at(2).status, QStringLiteral("Failed"));
    const QString first = QDir(out).filePath(QStringLiteral("a_upscaled_1.png"));
    const QString second = QDir(out).filePath(QStringLiteral("a_upscaled_2.png"));
    QCOMPARE(items.at(0).outputURL, QUrl::fromLocalFile(first));
    QCOMPARE(items.at(1).outputURL, QUrl::fromLocalFile(second));
    // The failure of the last item removed nothing the others wrote.
    QCOMPARE(QImageReader(first).size(), QSize(32, 24));
    QCOMPARE(QImageReader(second).size(), QSize(40, 20));
    QVERIFY(QFileInfo(QDir(out).filePath(QStringLiteral("a_upscaled.png"))).isSymLink());
    QVERIFY(!QFileInfo::exists(linkTarget));
    QCOMPARE(QDir(out).entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{QStringLiteral("a_upscaled.png"), QStringLiteral("a_upscaled_1.png"),
                          QStringLiteral("a_upscaled_2.png")}));
}

void BulkImageProcessorTest::aFailedSaveKeepsTheImage()
{
    // The folder exists when the job takes its name and is gone (a removed drive) when the
    // picture is ready: the picture is kept, the row says where and offers to show it, and the
    // next start's sweep leaves it alone.
    const QString in = m_root.filePath(QStringLiteral("gone-in"));
    const QString out = m_root.filePath(QStringLiteral("gone-out"));
    QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
    makeImage(QDir(in).filePath(QStringLiteral("p.png")), QSize(16, 12));
    // The engine waits for the drive to go before it starts.
    const QString go = m_root.filePath(QStringLiteral("drive-gone"));
    KorvaneTest::writeFakeTool(UpscaleCore::realesrganBinary(),
                               "while [ ! -e '" + QFile::encodeName(go) +
                                   "' ]; do sleep 0.05; done\nexec '" +
                                   QFile::encodeName(m_realEngine) + "' \"$@\"");

    BulkImageProcessor bulk;
    bulk.setQuality(AIQuality::Fast);
    bulk.setScale(2);
    bulk.add(urls(in, {QStringLiteral("p.png")}));
    bulk.start(QUrl::fromLocalFile(out));
    // The job's name is taken (its empty placeholder appears) before the AI runs.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QDir(out).filePath(QStringLiteral("p_upscaled.png"))),
                             runMs);
    QVERIFY(QDir(out).removeRecursively());
    QVERIFY(KorvaneTest::writeFile(go, ""));
    QTRY_VERIFY_WITH_TIMEOUT(!bulk.isRunning(), runMs);

    const BulkImageItem item = bulk.items().first();
    QVERIFY(item.failed);
    QVERIFY(item.outputURL.isEmpty());
    const QString kept = item.keptURL.toLocalFile();
    QVERIFY2(item.status.startsWith(QStringLiteral("The upscaled image could not be saved as ") +
                                    QDir(out).filePath(QStringLiteral("p_upscaled.png"))),
             qPrintable(item.status));
    QVERIFY2(item.status.contains(kept), qPrintable(item.status));
    QCOMPARE(QImageReader(kept).size(), QSize(32, 24));
    UpscaleCore::removeTempEntries(UpscaleCore::staleTempEntries());
    QVERIFY(QFileInfo::exists(kept));
    QVERIFY(QFile::remove(kept));
    UpscaleCore::removeTempEntries(UpscaleCore::staleTempEntries());
}

KORVANE_TEST_MAIN(BulkImageProcessorTest)
#include "tst_bulkimageprocessor.moc"
