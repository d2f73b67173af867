// The engine core: qualities, texts, model choice, ffmpeg runs, stops and the temp sweep.
#include <cmath>
#include <limits>
#include <thread>

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>

#include "engine/JobJournal.h"
#include "engine/SystemFacts.h"
#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "support/TestSupport.h"

namespace {
constexpr quint64 GiB = 1ULL << 30;

QString runFFmpegExpectingError(const QStringList& arguments)
{
    try {
        UpscaleCore::shared().runFFmpegSimple(arguments);
    } catch (const EngineError& error) {
        return error.message();
    }
    return QStringLiteral("<no error>");
}

// Makes a file look as if it was last changed days ago.
void ageFile(const QString& path, int days)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-days),
                             QFileDevice::FileModificationTime));
}

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}
} // namespace

class TestUpscaleCore final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        SystemFacts::setPhysicalMemoryOverride(std::nullopt);
    }

    void qualityValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("model");
        QTest::newRow("fast") << "fast" << "Fast" << "realesr-animevideov3";
        QTest::newRow("detailed") << "detailed" << "Detailed" << "realesr-general-x4v3";
        QTest::newRow("max") << "max" << "Max" << "realesrgan-x4plus";
    }
    void qualityValues()
    {
        QFETCH(QString, raw);
        QFETCH(QString, label);
        QFETCH(QString, model);
        const auto quality = AIQualities::fromRawValue(raw);
        QVERIFY(quality.has_value());
        QCOMPARE(AIQualities::rawValue(*quality), raw);
        QCOMPARE(AIQualities::label(*quality), label);
        QCOMPARE(AIQualities::modelName(*quality), model);
    }

    void qualityDecodingRejectsUnknownText()
    {
        for (const char* text : {"Fast", "", "ultra", "max "})
            QVERIFY2(!AIQualities::fromRawValue(QLatin1String(text)).has_value(), text);
    }

    void errorForm()
    {
        const EngineError error = UpscaleCore::err(QStringLiteral("Something broke"));
        QCOMPARE(error.domain(), QStringLiteral("UpscaleCore"));
        QCOMPARE(error.code(), 1);
        QCOMPARE(error.message(), QStringLiteral("Something broke"));
        QVERIFY(!error.isCancellation());
        // A stop is told by the error's kind, never by its words: a file named after the word is
        // still a failure.
        QVERIFY(!UpscaleCore::err(QStringLiteral("“Cancelled.mp4” is empty.")).isCancellation());
        QVERIFY(EngineError::cancelled().isCancellation());
    }

    void fmt_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0s";
        QTest::newRow("truncated") << 59.9 << "59s";
        QTest::newRow("42") << 42.0 << "42s";
        QTest::newRow("one minute") << 60.0 << "1m 0s";
        QTest::newRow("185") << 185.0 << "3m 5s";
        QTest::newRow("3725") << 3725.0 << "62m 5s";
        QTest::newRow("no hours") << 7500.0 << "125m 0s";
        QTest::newRow("negative") << -1.0 << "Calculating ETA…";
        QTest::newRow("nan") << std::nan("") << "Calculating ETA…";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity()
                                  << "Calculating ETA…";
    }
    void fmt()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(UpscaleCore::fmt(seconds), text);
    }

    void aiModel_data()
    {
        QTest::addColumn<QString>("quality");
        QTest::addColumn<qint64>("target");
        QTest::addColumn<qint64>("source");
        QTest::addColumn<quint64>("memory");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("tile");
        const QString fast = QStringLiteral("realesr-animevideov3");
        QTest::newRow("fast 1080->2160") << "fast" << 2160LL << 1080LL << 8 * GiB << fast << 2 << 256;
        QTest::newRow("fast 720->2160") << "fast" << 2160LL << 720LL << 8 * GiB << fast << 3 << 256;
        QTest::newRow("fast 480->2160 capped") << "fast" << 2160LL << 480LL << 8 * GiB << fast << 4 << 256;
        QTest::newRow("fast source 0") << "fast" << 2160LL << 0LL << 8 * GiB << fast << 4 << 256;
        QTest::newRow("fast source 1") << "fast" << 2160LL << 1LL << 8 * GiB << fast << 4 << 256;
        QTest::newRow("fast raised to 2") << "fast" << 1080LL << 1000LL << 16 * GiB << fast << 2 << 512;
        QTest::newRow("detailed") << "detailed" << 2160LL << 1080LL << 16 * GiB
                                  << "realesr-general-x4v3" << 4 << 512;
        QTest::newRow("max, large memory") << "max" << 1080LL << 1000LL << 18 * GiB
                                           << "realesrgan-x4plus" << 4 << 0;
        QTest::newRow("just over 9 GiB") << "max" << 1080LL << 360LL << 9 * GiB + 1
                                         << "realesrgan-x4plus" << 4 << 512;
        QTest::newRow("just over 17 GiB") << "detailed" << 1080LL << 360LL << 17 * GiB + 1
                                          << "realesr-general-x4v3" << 4 << 0;
    }
    void aiModel()
    {
        QFETCH(QString, quality);
        QFETCH(qint64, target);
        QFETCH(qint64, source);
        QFETCH(quint64, memory);
        QFETCH(QString, model);
        QFETCH(int, scale);
        QFETCH(int, tile);
        SystemFacts::setPhysicalMemoryOverride(memory);
        const ModelChoice choice =
            UpscaleCore::aiModel(*AIQualities::fromRawValue(quality), target, source);
        QCOMPARE(choice.model, model);
        QCOMPARE(choice.scale, scale);
        QCOMPARE(choice.tile, tile);
    }

    void downsized_data()
    {
        QTest::addColumn<QSize>("input");
        QTest::addColumn<int>("maxDim");
        QTest::addColumn<QSize>("output");
        QTest::newRow("landscape shrunk") << QSize(4000, 3000) << 2200 << QSize(2200, 1650);
        QTest::newRow("portrait shrunk") << QSize(1000, 3000) << 300 << QSize(100, 300);
        QTest::newRow("already small") << QSize(2000, 1000) << 2200 << QSize(2000, 1000);
        QTest::newRow("exactly the limit") << QSize(2200, 10) << 2200 << QSize(2200, 10);
        QTest::newRow("truncated, not rounded") << QSize(300, 199) << 100 << QSize(100, 66);
    }
    void downsized()
    {
        QFETCH(QSize, input);
        QFETCH(int, maxDim);
        QFETCH(QSize, output);
        QImage picture(input, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QCOMPARE(UpscaleCore::downsized(picture, maxDim).size(), output);
        QVERIFY(UpscaleCore::downsized(QImage(), 10).isNull());
    }

    void ffmpegRealSuccessAndFailure()
    {
        KorvaneTest::installStagedTools();
        const QString out = QDir::tempPath() + QStringLiteral("/frame one.png");
        UpscaleCore::shared().runFFmpegSimple(
            {QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"), QStringLiteral("testsrc=size=32x18"),
             QStringLiteral("-frames:v"), QStringLiteral("1"), out});
        QCOMPARE(QImage(out).size(), QSize(32, 18));

        const QString message = runFFmpegExpectingError(
            {QStringLiteral("-y"), QStringLiteral("-i"),
             QDir::tempPath() + QStringLiteral("/missing.mp4"), out});
        QVERIFY2(message.startsWith(QStringLiteral("FFmpeg failed: ")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("No such file or directory")),
                 qPrintable(message));
    }

    void ffmpegFailureMessages_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty stderr") << QByteArray("exit 1") << "FFmpeg failed: code 1";
        QTest::newRow("last non-empty line")
            << QByteArray("printf 'first\\nsecond\\n\\n' >&2; exit 1") << "FFmpeg failed: second";
        QTest::newRow("status kept") << QByteArray("exit 183") << "FFmpeg failed: code 183";
        QTest::newRow("killed by a signal")
            << QByteArray("kill -KILL $$") << "FFmpeg failed: code 137";
        QTest::newRow("invalid UTF-8 replaced")
            << QByteArray("printf 'bad \\377 byte\\n' >&2; exit 2")
            << QStringLiteral("FFmpeg failed: bad \uFFFD byte");
    }
    void ffmpegFailureMessages()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, message);
        KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(), script);
        QCOMPARE(runFFmpegExpectingError({QStringLiteral("-version")}), message);
    }

    void argumentsReachTheProgramIntact()
    {
        const QString record = QDir::tempPath() + QStringLiteral("/args.txt");
        KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(),
                                   "printf '%s\\n' \"$@\" > '" + record.toUtf8() + "'");
        const QStringList tricky{QStringLiteral("my clip.mp4"), QStringLiteral("it's \"quoted\""),
                                 QStringLiteral("Ünïcødé 映像.mov"), QStringLiteral("-leading"),
                                 QStringLiteral("$HOME;`id`|*")};
        UpscaleCore::shared().runFFmpegSimple(tricky);
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList received =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(received, QStringList({QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                                        QStringLiteral("error")}) +
                               tricky);
    }

    void programThatCannotStartNamesItself()
    {
        QFile::remove(UpscaleCore::ffmpeg());
        const QString message = runFFmpegExpectingError({QStringLiteral("-version")});
        QVERIFY2(message.contains(QStringLiteral("ffmpeg")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("No such file or directory")),
                 qPrintable(message));
    }

    void largeStandardErrorDoesNotBlock()
    {
        // Far more than a pipe buffer holds; the run must still finish.
        KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(),
                                   "i=0; while [ $i -lt 4000 ]; do echo \"line $i of noise "
                                   "padding padding padding\" >&2; i=$((i+1)); done; exit 1");
        QCOMPARE(runFFmpegExpectingError({}),
                 QStringLiteral("FFmpeg failed: line 3999 of noise padding padding padding"));
    }

    void stopDuringARunIsCancelledEvenWithStatusZero()
    {
        // The fake ignores the request's usual meaning and exits 0 when asked to stop.
        const QString started = QDir::tempPath() + QStringLiteral("/started");
        KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(),
                                   "trap 'exit 0' TERM; touch '" + started.toUtf8() +
                                       "'; while :; do sleep 0.05; done");
        auto stop = std::make_shared<StopToken>();
        auto run = QtConcurrent::run([stop] {
            const StopToken::Scope scope(stop);
            return runFFmpegExpectingError({});
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 10000);
        stop->stop();
        QTRY_VERIFY_WITH_TIMEOUT(run.isFinished(), 10000);
        QCOMPARE(run.result(), QStringLiteral("Cancelled"));
    }

    void sweepClearsOnlyWhatEndedWorkLeftInTheWorkFolder()
    {
        // The user's own files in the shared temporary folder, named like work of old.
        const QDir temp(QDir::tempPath());
        touch(temp.filePath(QStringLiteral("img-backup")));
        QVERIFY(temp.mkpath(QStringLiteral("ai-mine")));

        const QDir work(WorkFolder::root());
        struct stat mode {};
        QCOMPARE(::stat(QFile::encodeName(work.path()).constData(), &mode), 0);
        QCOMPARE(mode.st_mode & 0777, 0700u);
        // A loose file is stale after a day; a fresh one may be another run's result.
        touch(work.filePath(QStringLiteral("ai-1234.mp4")));
        ageFile(work.filePath(QStringLiteral("ai-1234.mp4")), 2);
        touch(work.filePath(QStringLiteral("ai-FRESH.mp4")));
        QVERIFY(work.mkpath(QStringLiteral("prev-ABC/in")));
        touch(work.filePath(QStringLiteral("prev-ABC/in/frame_00000001.png")));
        // A result that could not be saved stays with its marker.
        touch(work.filePath(QStringLiteral("ai-KEPT.mp4")));
        touch(work.filePath(QStringLiteral("ai-KEPT.mp4.kept")));
        // A stale link is removed without touching what it points to.
        const QString precious = KorvaneTest::isolatedRoot() + QStringLiteral("/precious");
        QVERIFY(QDir().mkpath(precious));
        QVERIFY(QFile::link(precious, work.filePath(QStringLiteral("prev-link"))));
        // Another run's folder stays while it is in use, and so does its content.
        const WorkFolder busy(QStringLiteral("img-"));
        touch(busy.filePath(QStringLiteral("picture.png")));
        QCOMPARE(::stat(QFile::encodeName(busy.path()).constData(), &mode), 0);
        QCOMPARE(mode.st_mode & 0777, 0700u);

        // Interrupted jobs: kept while resumable, removed once old or without their source.
        const QString source = KorvaneTest::isolatedRoot() + QStringLiteral("/clip.mp4");
        touch(source);
        const auto job = [&](const QString& name, const QString& input) {
            JobManifest manifest;
            manifest.id = QUuid::createUuid();
            manifest.source = input;
            manifest.destination = input + QStringLiteral(".out.mp4");
            QVERIFY(work.mkpath(name));
            QVERIFY(JobJournal::write(work.filePath(name), manifest));
        };
        job(QStringLiteral("resumable"), source);
        job(QStringLiteral("source gone"), source + QStringLiteral(".gone"));
        job(QStringLiteral("old"), source);
        ageFile(work.filePath(QStringLiteral("old/job.json")), 15);
        // A damaged record stays to be discarded by the user.
        QVERIFY(work.mkpath(QStringLiteral("damaged")));
        QVERIFY(KorvaneTest::writeFile(work.filePath(QStringLiteral("damaged/job.json")), "{\"ver"));

        UpscaleCore::shared().cleanStaleTemp();

        QStringList left = work.entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                          QDir::NoDotAndDotDot);
        left.sort();
        QCOMPARE(left, QStringList({QStringLiteral("ai-FRESH.mp4"), QStringLiteral("ai-KEPT.mp4"),
                                    QStringLiteral("ai-KEPT.mp4.kept"),
                                    QStringLiteral("damaged"), QFileInfo(busy.path()).fileName(),
                                    QStringLiteral("resumable")}));
        QVERIFY(QFile::exists(busy.filePath(QStringLiteral("picture.png"))));
        QVERIFY(QFileInfo(precious).isDir());
        QVERIFY(QFile::exists(temp.filePath(QStringLiteral("img-backup"))));
        QVERIFY(temp.exists(QStringLiteral("ai-mine")));
        QCOMPARE(UpscaleCore::idleJobFolders().size(), 2);
    }

    void sweepWithUnusableCacheFolderDoesNothing()
    {
        const QByteArray saved = qgetenv("XDG_CACHE_HOME");
        // A cache "folder" that is a plain file (permissions do not stop root).
        const QString notAFolder = KorvaneTest::isolatedRoot() + QStringLiteral("/not-a-folder");
        touch(notAFolder);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(notAFolder));
        UpscaleCore::shared().cleanStaleTemp();
        qputenv("XDG_CACHE_HOME", saved);
        QVERIFY(QFileInfo(notAFolder).isFile());
    }

    void freeDiskBytesSeam()
    {
        QVERIFY(UpscaleCore::shared().freeDiskBytes().value_or(-1) > 0);
        UpscaleCore::shared().setFreeDiskBytesProvider([] { return std::optional<qint64>(42); });
        QCOMPARE(UpscaleCore::shared().freeDiskBytes(), std::optional<qint64>(42));
        UpscaleCore::shared().setFreeDiskBytesProvider([] { return std::optional<qint64>(); });
        QVERIFY(!UpscaleCore::shared().freeDiskBytes().has_value());
        UpscaleCore::shared().setFreeDiskBytesProvider({});
        QVERIFY(UpscaleCore::shared().freeDiskBytes().value_or(-1) > 0);
    }

    void toolPathsFollowTheDataFolder()
    {
        const QString base = KorvaneTest::isolatedRoot() + QStringLiteral("/data/Korvane");
        QCOMPARE(UpscaleCore::ffmpeg(), base + QStringLiteral("/ffmpeg"));
        QCOMPARE(UpscaleCore::realesrganBinary(),
                 base + QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan"));
        QCOMPARE(UpscaleCore::realesrganModels(), base + QStringLiteral("/realesrgan/models"));
    }
};

KORVANE_TEST_MAIN(TestUpscaleCore)
#include "tst_upscalecore.moc"
