// Output names next to the source, with numbers when a name is taken.
#include <QDir>
#include <QFile>

#include "processing/OutputNaming.h"
#include "support/TestSupport.h"

class TestOutputNaming final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void baseName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("base");
        QTest::newRow("one extension") << "clip.mov" << "clip";
        QTest::newRow("last extension only") << "archive.tar.mp4" << "archive.tar";
        QTest::newRow("no extension") << "clip" << "clip";
        QTest::newRow("hidden file") << ".hidden" << ".hidden";
        QTest::newRow("folder part dropped") << "/home/me/my clip.MP4" << "my clip";
    }
    void baseName()
    {
        QFETCH(QString, name);
        QFETCH(QString, base);
        QCOMPARE(OutputNaming::baseName(name), base);
    }

    void firstFreeName_data()
    {
        QTest::addColumn<QString>("existing"); // names separated by "|"
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free") << "" << "mp4" << "clip_upscaled.mp4";
        QTest::newRow("taken twice") << "clip_upscaled.mp4|clip_upscaled_1.mp4"
                                     << "mp4" << "clip_upscaled_2.mp4";
        QTest::newRow("gap is reused") << "clip_upscaled.png|clip_upscaled_2.png"
                                       << "png" << "clip_upscaled_1.png";
        QTest::newRow("other extension free") << "clip_upscaled.png" << "jpg"
                                              << "clip_upscaled.jpg";
        QTest::newRow("a folder takes the name") << "clip_upscaled.mp4/" << "mp4"
                                                 << "clip_upscaled_1.mp4";
        // A link whose target is missing is taken too: writing there would create the target.
        QTest::newRow("a dangling link takes the name") << "clip_upscaled.mp4@" << "mp4"
                                                        << "clip_upscaled_1.mp4";
    }
    void firstFreeName()
    {
        QFETCH(QString, existing);
        QFETCH(QString, extension);
        QFETCH(QString, expected);
        const QString folder = QDir::tempPath() + QLatin1Char('/') + QLatin1String(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        for (const QString& name : existing.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
            if (name.endsWith(QLatin1Char('/'))) {
                QVERIFY(QDir(folder).mkpath(name));
            } else if (name.endsWith(QLatin1Char('@'))) {
                QVERIFY(QFile::link(folder + QStringLiteral("/nowhere"),
                                    folder + QLatin1Char('/') + name.chopped(1)));
            } else {
                QFile file(folder + QLatin1Char('/') + name);
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
        }
        QCOMPARE(OutputNaming::firstFreeUpscaledPath(folder, QStringLiteral("clip"), extension),
                 folder + QLatin1Char('/') + expected);
    }

    void reservedNamesAreSkippedUntilReleased()
    {
        const QString folder = QDir::tempPath() + QStringLiteral("/reserved");
        QVERIFY(QDir().mkpath(folder));
        const auto next = [&folder] {
            return OutputNaming::firstFreeUpscaledPath(folder, QStringLiteral("clip"),
                                                       QStringLiteral("mp4"));
        };
        const QString first = next();
        OutputNaming::reserve(first);
        const QString second = next();
        QCOMPARE(second, folder + QStringLiteral("/clip_upscaled_1.mp4"));
        OutputNaming::reserve(second);
        // The first job ends: its name is free again (its file was never written here).
        OutputNaming::release(first);
        QCOMPARE(next(), first);
        OutputNaming::release(second);
        QCOMPARE(next(), first);

        // Finding and reserving in one step: back-to-back calls get distinct names.
        const QString a = OutputNaming::reserveFirstFree(folder, QStringLiteral("clip_2160p"),
                                                         QStringLiteral("mp4"));
        const QString b = OutputNaming::reserveFirstFree(folder, QStringLiteral("clip_2160p"),
                                                         QStringLiteral("mp4"));
        QCOMPARE(a, folder + QStringLiteral("/clip_2160p.mp4"));
        QCOMPARE(b, folder + QStringLiteral("/clip_2160p_1.mp4"));
        OutputNaming::release(a);
        OutputNaming::release(b);
    }
};

KORVANE_TEST_MAIN(TestOutputNaming)
#include "tst_outputnaming.moc"
