#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QUuid>

#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "support/TestSupport.h"

namespace {

QString clipPath()
{
    return KorvaneTest::isolatedRoot() + QStringLiteral("/clips 'ü'/first frame.mp4");
}

QStringList previewFolders()
{
    return QDir(WorkFolder::root())
        .entryList({QStringLiteral("prev-*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
}

UpscaleOptions fastTo(qint64 height)
{
    UpscaleOptions options;
    options.targetHeight = height;
    options.quality = AIQuality::Fast;
    return options;
}

} // namespace

class PreviewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void missingTools();
    void twoPreviewsRunOneAfterTheOther();
    void failuresLeaveNothing_data();
    void failuresLeaveNothing();
    void stopDuringAIPass();

private:
    // Runs one preview through the asynchronous form and waits for its outcome.
    UpscaleCore::PreviewResult preview(const UpscaleOptions& options);
};

void PreviewTest::initTestCase()
{
    QDir().mkpath(QFileInfo(clipPath()).absolutePath());
    QCOMPARE(
        KorvaneTest::runFFmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("testsrc=size=32x18:rate=5"), QStringLiteral("-t"),
                                QStringLiteral("1"), QStringLiteral("-pix_fmt"),
                                QStringLiteral("yuv420p"), clipPath()}),
        0);
}

void PreviewTest::init()
{
    QDir(UpscaleCore::toolsFolder()).removeRecursively();
}

UpscaleCore::PreviewResult PreviewTest::preview(const UpscaleOptions& options)
{
    std::optional<UpscaleCore::PreviewResult> outcome;
    UpscaleCore::shared().previewImages(
        clipPath(), options, this,
        [&outcome](const UpscaleCore::PreviewResult& result) { outcome = result; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 120000); }();
    return outcome.value_or(UpscaleCore::PreviewResult{});
}

void PreviewTest::missingTools()
{
    try {
        UpscaleCore::shared().previewFrame(clipPath(), fastTo(72));
        QFAIL("a preview ran without its tools");
    } catch (const EngineError& error) {
        QCOMPARE(error.message(), QStringLiteral("Engine is not installed."));
    }

    QThread* deliveredOn = nullptr;
    std::optional<UpscaleCore::PreviewResult> outcome;
    UpscaleCore::shared().previewImages(clipPath(), fastTo(72), this,
                                        [&](const UpscaleCore::PreviewResult& result) {
                                            deliveredOn = QThread::currentThread();
                                            outcome = result;
                                        });
    QTRY_VERIFY(outcome.has_value());
    QCOMPARE(deliveredOn, qApp->thread());
    QVERIFY(outcome->error.has_value());
    QCOMPARE(outcome->error->message(), QStringLiteral("Engine is not installed."));
    QVERIFY(outcome->images.source.isNull());
    QCOMPARE(previewFolders(), QStringList());
}

void PreviewTest::twoPreviewsRunOneAfterTheOther()
{
    KorvaneTest::installStagedTools();
    QList<int> finished;
    QList<UpscaleCore::PreviewResult> results(2);
    UpscaleCore& core = UpscaleCore::shared();
    core.previewImages(clipPath(), fastTo(72), this, [&](const UpscaleCore::PreviewResult& result) {
        finished.append(0);
        results[0] = result;
    });
    core.previewImages(clipPath(), fastTo(36), this, [&](const UpscaleCore::PreviewResult& result) {
        finished.append(1);
        results[1] = result;
    });

    // Watch the temporary folder while they run: never two preview folders at once.
    QSet<QString> seen;
    QElapsedTimer clock;
    clock.start();
    while (finished.size() < 2 && clock.elapsed() < 120000) {
        const QStringList now = previewFolders();
        QVERIFY2(now.size() <= 1, qPrintable(now.join(QLatin1Char(' '))));
        for (const QString& name : now)
            seen.insert(name);
        QTest::qWait(5);
    }
    QCOMPARE(finished, (QList<int>{0, 1}));
    QCOMPARE(seen.size(), 2);
    for (const QString& name : std::as_const(seen))
        QVERIFY(QUuid::fromString(name.mid(5)).toString(QUuid::WithoutBraces).toUpper() ==
                name.mid(5));
    QCOMPARE(previewFolders(), QStringList());

    for (const UpscaleCore::PreviewResult& result : std::as_const(results)) {
        QVERIFY2(!result.error, result.error ? qPrintable(result.error->message()) : "");
        QCOMPARE(result.images.source.size(), QSize(32, 18));
    }
    // The preview shows the model's scale: 4 for 72 lines from 18, 2 for 36.
    QCOMPARE(results[0].images.upscaled.size(), QSize(128, 72));
    QCOMPARE(results[1].images.upscaled.size(), QSize(64, 36));
}

void PreviewTest::failuresLeaveNothing_data()
{
    QTest::addColumn<bool>("fakeEngine"); // else a fake ffmpeg
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("message");

    QTest::newRow("ffmpeg fails") << false
                                  << QByteArray("echo 'frame 1' >&2\n"
                                                "echo 'Invalid argument' >&2\nexit 1")
                                  << QStringLiteral("FFmpeg failed: Invalid argument");
    QTest::newRow("first frame unreadable")
        << false << QByteArray("for last; do :; done\necho garbage > \"$last\"")
        << QStringLiteral("Could not read preview frame.");
    QTest::newRow("engine fails")
        << true << QByteArray("echo 'vkCreateInstance failed' >&2\nexit 255")
        << QStringLiteral("Real-ESRGAN failed (code 255): vkCreateInstance failed\n");
    // Arguments: -i in -o out …
    QTest::newRow("upscaled frame unreadable")
        << true << QByteArray("echo garbage > \"$4/frame_00000001.png\"")
        << QStringLiteral("Could not read upscaled preview frame.");
}

void PreviewTest::failuresLeaveNothing()
{
    QFETCH(bool, fakeEngine);
    QFETCH(QByteArray, script);
    KorvaneTest::installStagedTools();
    KorvaneTest::writeFakeTool(fakeEngine ? UpscaleCore::realesrganBinary() : UpscaleCore::ffmpeg(),
                               script);

    const UpscaleCore::PreviewResult result = preview(fastTo(72));
    QVERIFY(result.error.has_value());
    QTEST(result.error->message(), "message");
    QCOMPARE(previewFolders(), QStringList());
}

void PreviewTest::stopDuringAIPass()
{
    KorvaneTest::installStagedTools();
    const QString started = KorvaneTest::isolatedRoot() + QStringLiteral("/engine-started");
    KorvaneTest::writeFakeTool(UpscaleCore::realesrganBinary(),
                               "touch '" + started.toUtf8() + "'\nexec sleep 60");
    std::optional<UpscaleCore::PreviewResult> outcome;
    const auto stop = UpscaleCore::shared().previewImages(
        clipPath(), fastTo(72), this,
        [&outcome](const UpscaleCore::PreviewResult& result) { outcome = result; });
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 30000);
    stop->stop();
    QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 10000);
    QVERIFY(outcome->error.has_value());
    QCOMPARE(outcome->error->message(), QStringLiteral("Cancelled"));
    QCOMPARE(previewFolders(), QStringList());
}

KORVANE_TEST_MAIN(PreviewTest)
#include "tst_preview.moc"
