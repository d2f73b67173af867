// The recommendation sentence from a video's size and the machine's facts.
#include <QDir>
#include <QFile>

#include "engine/SystemAdvisor.h"
#include "engine/SystemFacts.h"
#include "support/TestSupport.h"

namespace {
constexpr quint64 GiB = 1ULL << 30;

QString writeCpuInfo(const QByteArray& contents)
{
    const QString path = QDir::tempPath() + QStringLiteral("/cpuinfo");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
    return path;
}
} // namespace

class TestSystemAdvisor final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        SystemFacts::setCpuInfoPath({});
        SystemFacts::setPhysicalMemoryOverride(std::nullopt);
    }

    void recommend_data()
    {
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<QString>("message");
        QTest::newRow("landscape") << 1920LL << 1080LL
                                   << QStringLiteral("Recommended: Detailed at 4K for this "
                                                     "1920×1080 landscape clip on Apple M2 (16 "
                                                     "GB). (Max = sharper but slower.)");
        QTest::newRow("portrait") << 1080LL << 1920LL
                                  << QStringLiteral("Recommended: Detailed at 4K for this "
                                                    "1080×1920 portrait clip on Apple M2 (16 GB). "
                                                    "(Max = sharper but slower.)");
        QTest::newRow("square is landscape")
            << 720LL << 720LL
            << QStringLiteral("Recommended: Detailed at 4K for this 720×720 landscape clip on "
                              "Apple M2 (16 GB). (Max = sharper but slower.)");
        QTest::newRow("already 4K") << 3840LL << 2160LL
                                    << QStringLiteral("This video is already 4K (3840×2160) — "
                                                      "upscaling isn't needed.");
        QTest::newRow("portrait 4K by height")
            << 2160LL << 3840LL
            << QStringLiteral("This video is already 4K (2160×3840) — upscaling isn't needed.");
        QTest::newRow("unknown size") << 0LL << 0LL << QString();
        QTest::newRow("unknown height") << 1920LL << 0LL << QString();
    }
    void recommend()
    {
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(QString, message);
        SystemFacts::setCpuInfoPath(writeCpuInfo("processor\t: 0\nvendor_id\t: X\n"
                                                 "model name\t: Apple M2\nflags\t: fpu\n\n"
                                                 "processor\t: 1\nmodel name\t: Other\n"));
        SystemFacts::setPhysicalMemoryOverride(16 * GiB);
        const UpscaleRecommendation recommendation = SystemAdvisor::recommend(width, height);
        QCOMPARE(recommendation.message, message);
        QCOMPARE(recommendation.targetHeight, qint64(2160));
        QCOMPARE(recommendation.quality, AIQuality::Detailed);
    }

    void chipFallsBackWhenTheSystemDoesNotSay_data()
    {
        QTest::addColumn<QByteArray>("cpuinfo");
        QTest::newRow("no model name line") << QByteArray("processor\t: 0\nflags\t: fpu\n");
        QTest::newRow("empty model name") << QByteArray("model name\t:   \n");
        QTest::newRow("unreadable") << QByteArray();
    }
    void chipFallsBackWhenTheSystemDoesNotSay()
    {
        QFETCH(QByteArray, cpuinfo);
        SystemFacts::setCpuInfoPath(cpuinfo.isNull()
                                        ? QDir::tempPath() + QStringLiteral("/missing")
                                        : writeCpuInfo(cpuinfo));
        QCOMPARE(SystemAdvisor::chip(), QStringLiteral("your computer"));
        SystemFacts::setPhysicalMemoryOverride(8 * GiB);
        QVERIFY(SystemAdvisor::recommend(1280, 720).message.contains(
            QStringLiteral(" clip on your computer (8 GB).")));
    }

    void realMachineHasABrandAndMemory()
    {
        QVERIFY(!SystemAdvisor::chip().isEmpty());
        QVERIFY(SystemAdvisor::ramInt() >= 1);
    }

    void ramIntRounding_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<qint64>("gib");
        QTest::newRow("exact") << 16 * GiB << 16LL;
        QTest::newRow("just under a half") << 15 * GiB + GiB / 2 - 1 << 15LL;
        QTest::newRow("half rounds up") << 15 * GiB + GiB / 2 << 16LL;
        QTest::newRow("7.8 GiB") << quint64(7.8 * double(GiB)) << 8LL;
    }
    void ramIntRounding()
    {
        QFETCH(quint64, bytes);
        QFETCH(qint64, gib);
        SystemFacts::setPhysicalMemoryOverride(bytes);
        QCOMPARE(SystemAdvisor::ramInt(), gib);
    }
};

KORVANE_TEST_MAIN(TestSystemAdvisor)
#include "tst_systemadvisor.moc"
