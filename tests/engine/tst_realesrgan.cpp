// Single-picture and folder runs of the Real-ESRGAN engine: the real engine for sizes, fakes for
// the exact failures the engine itself does not report.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtConcurrent/QtConcurrentRun>

#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

namespace {
QString runImageExpectingError(const QString& input, const QString& output, const QString& model,
                               int scale = 2)
{
    try {
        UpscaleCore::shared().runRealESRGANImage(input, output, model, scale,
                                                 QStringLiteral("png"));
    } catch (const EngineError& error) {
        return error.message();
    }
    return QStringLiteral("<no error>");
}

QString makePicture(const QString& name, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(40, 120, 200));
    for (int x = 0; x < size.width(); x += 4)
        picture.setPixelColor(x, size.height() / 2, Qt::yellow);
    const QString path = QDir::tempPath() + QLatin1Char('/') + name;
    picture.save(path);
    return path;
}
} // namespace

class TestRealEsrgan final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        KorvaneTest::installStagedTools();
    }

    void realEngineGivesTheScaledSize_data()
    {
        QTest::addColumn<QString>("quality");
        QTest::addColumn<QSize>("input");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("format");
        QTest::newRow("fast x2") << "fast" << QSize(32, 18) << 2 << "png";
        QTest::newRow("detailed x4 to jpg") << "detailed" << QSize(32, 18) << 4 << "jpg";
        QTest::newRow("max x4") << "max" << QSize(16, 16) << 4 << "png";
    }
    void realEngineGivesTheScaledSize()
    {
        QFETCH(QString, quality);
        QFETCH(QSize, input);
        QFETCH(int, scale);
        QFETCH(QString, format);
        // Names with spaces, quotes and non-ASCII letters must reach the engine intact.
        const QString in = makePicture(QStringLiteral("it's a pïcture %1.png").arg(quality), input);
        const QString out =
            QDir::tempPath() + QStringLiteral("/out put '%1'.").arg(quality) + format;
        UpscaleCore::shared().runRealESRGANImage(
            in, out, AIQualities::modelName(*AIQualities::fromRawValue(quality)), scale, format);
        const QImage result(out);
        QCOMPARE(result.size(), input * scale);
        // The picture format follows the requested format, not only the name.
        QImageReader reader(out);
        QCOMPARE(QString::fromLatin1(reader.format()), format == QLatin1String("jpg")
                                                           ? QStringLiteral("jpeg")
                                                           : format);
    }

    void missingModelFailsBeforeRunningAndLeavesNothing()
    {
        const QString in = makePicture(QStringLiteral("in.png"), QSize(8, 8));
        const QString out = QDir::tempPath() + QStringLiteral("/never.png");
        QFile::remove(UpscaleCore::realesrganModels() + QStringLiteral("/realesr-general-x4v3.bin"));
        const QString message =
            runImageExpectingError(in, out, QStringLiteral("realesr-general-x4v3"));
        QVERIFY2(message.contains(UpscaleCore::realesrganModels() +
                                  QStringLiteral("/realesr-general-x4v3.bin")),
                 qPrintable(message));
        QVERIFY(!QFile::exists(out));
        // The anime model is stored per model scale; the engine loads its x4 files.
        QFile::remove(UpscaleCore::realesrganModels() + QStringLiteral("/realesr-animevideov3-x4.param"));
        QVERIFY(runImageExpectingError(in, out, QStringLiteral("realesr-animevideov3"))
                    .contains(QStringLiteral("realesr-animevideov3-x4.param")));
    }

    void failuresUseTheEngineMessageAndRemoveTheOutput_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("message");
        // 250 characters of standard error: only the last 200 are kept.
        const QByteArray noise = QByteArray(50, 'a') + QByteArray(199, 'b') + 'Z';
        QTest::newRow("non-zero status")
            << QByteArray("echo partial > \"$4\"; printf '" + noise + "' >&2; exit 3")
            << QStringLiteral("Real-ESRGAN failed (code 3): ") + QString(199, QLatin1Char('b')) +
                   QLatin1Char('Z');
        QTest::newRow("status 0 without output")
            << QByteArray("echo 'decode image failed' >&2; exit 0")
            << QStringLiteral("Real-ESRGAN failed (code 0): decode image failed\n");
    }
    void failuresUseTheEngineMessageAndRemoveTheOutput()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, message);
        KorvaneTest::writeFakeTool(UpscaleCore::realesrganBinary(), script);
        const QString out = QDir::tempPath() + QStringLiteral("/partial.png");
        QCOMPARE(runImageExpectingError(QStringLiteral("/nowhere/in.png"), out,
                                        QStringLiteral("realesrgan-x4plus")),
                 message);
        QVERIFY(!QFile::exists(out));
    }

    void stopDuringARunIsCancelledAndLeavesNoOutput()
    {
        const QString started = QDir::tempPath() + QStringLiteral("/engine-started");
        KorvaneTest::writeFakeTool(UpscaleCore::realesrganBinary(),
                                   "echo half > \"$4\"; touch '" + started.toUtf8() +
                                       "'; while :; do sleep 0.05; done");
        const QString out = QDir::tempPath() + QStringLiteral("/stopped.png");
        auto stop = std::make_shared<StopToken>();
        auto run = QtConcurrent::run([out, stop] {
            const StopToken::Scope scope(stop);
            return runImageExpectingError(QStringLiteral("/nowhere/in.png"), out,
                                          QStringLiteral("realesrgan-x4plus"));
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 10000);
        stop->stop();
        QTRY_VERIFY_WITH_TIMEOUT(run.isFinished(), 10000);
        QCOMPARE(run.result(), QStringLiteral("Cancelled"));
        QVERIFY(!QFile::exists(out));
    }

    void folderRunWithMissingFramesFails()
    {
        const QDir temp(QDir::tempPath());
        QVERIFY(temp.mkpath(QStringLiteral("frames/in")) && temp.mkpath(QStringLiteral("frames/out")));
        for (const char* name : {"frame_00000001.png", "frame_00000002.png"})
            makePicture(QStringLiteral("frames/in/") + QLatin1String(name), QSize(4, 4));
        // Writes only the first frame, then claims success as the engine does.
        KorvaneTest::writeFakeTool(UpscaleCore::realesrganBinary(),
                                   "cp \"$2/frame_00000001.png\" \"$4/\"; echo 'failed' >&2");
        ModelChoice choice{QStringLiteral("realesrgan-x4plus"), 4, 0};
        try {
            UpscaleCore::shared().runRealESRGANFolder(temp.filePath(QStringLiteral("frames/in")),
                                                      temp.filePath(QStringLiteral("frames/out")),
                                                      choice);
            QFAIL("a folder run with missing frames must fail");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(), QStringLiteral("Real-ESRGAN failed (code 0): failed\n"));
        }
    }
};

KORVANE_TEST_MAIN(TestRealEsrgan)
#include "tst_realesrgan.moc"
