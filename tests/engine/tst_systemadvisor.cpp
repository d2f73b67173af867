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

Q_DECLARE_METATYPE(SystemFacts::AiDevice)

class TestSystemAdvisor final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        SystemFacts::setCpuInfoPath({});
        SystemFacts::setPhysicalMemoryOverride(std::nullopt);
        SystemFacts::setAiDeviceOverride(std::nullopt);
    }

    void recommend_data()
    {
        using SystemFacts::AiDevice;
        QTest::addColumn<AiDevice>("device");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<qint64>("targetHeight");
        QTest::addColumn<AIQuality>("quality");
        QTest::addColumn<QString>("message");
        const auto gpu = [](const char* name, qint64 w, qint64 h, const QString& message) {
            QTest::newRow(name) << AiDevice::Gpu << w << h << 2160LL << AIQuality::Detailed
                                << message;
        };
        gpu("landscape", 1920, 1080,
            QStringLiteral("Recommended: Detailed at 4K for this 1920×1080 landscape clip on "
                           "Apple M2 (16 GB). (Max = sharper but slower.)"));
        gpu("portrait", 1080, 1920,
            QStringLiteral("Recommended: Detailed at 4K for this 1080×1920 portrait clip on Apple "
                           "M2 (16 GB). (Max = sharper but slower.)"));
        gpu("square is landscape", 720, 720,
            QStringLiteral("Recommended: Detailed at 4K for this 720×720 landscape clip on Apple "
                           "M2 (16 GB). (Max = sharper but slower.)"));
        gpu("already 4K", 3840, 2160,
            QStringLiteral("This video is already 4K (3840×2160) — upscaling isn't needed."));
        gpu("portrait 4K by height", 2160, 3840,
            QStringLiteral("This video is already 4K (2160×3840) — upscaling isn't needed."));
        gpu("unknown size", 0, 0, QString());
        gpu("unknown height", 1920, 0, QString());

        // Without a GPU: Fast, and 1080p unless the source already has 1080 lines.
        QTest::newRow("processor, 720p")
            << AiDevice::Processor << 1280LL << 720LL << 1080LL << AIQuality::Fast
            << QStringLiteral("Recommended: Fast at 1080p for this 1280×720 landscape clip. No GPU "
                              "was found, so the AI runs on Apple M2 (16 GB), which is much "
                              "slower. (Detailed and Max take several times longer.)");
        QTest::newRow("processor, portrait 1080 wide")
            << AiDevice::Processor << 1080LL << 1920LL << 2160LL << AIQuality::Fast
            << QStringLiteral("Recommended: Fast at 4K for this 1080×1920 portrait clip. No GPU "
                              "was found, so the AI runs on Apple M2 (16 GB), which is much "
                              "slower. (Detailed and Max take several times longer.)");
        QTest::newRow("processor, already 4K")
            << AiDevice::Processor << 3840LL << 2160LL << 2160LL << AIQuality::Fast
            << QStringLiteral("This video is already 4K (3840×2160) — upscaling isn't needed.");
        QTest::newRow("processor, unknown size")
            << AiDevice::Processor << 0LL << 0LL << 1080LL << AIQuality::Fast << QString();
    }
    void recommend()
    {
        QFETCH(SystemFacts::AiDevice, device);
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(qint64, targetHeight);
        QFETCH(AIQuality, quality);
        QFETCH(QString, message);
        SystemFacts::setCpuInfoPath(writeCpuInfo("processor\t: 0\nvendor_id\t: X\n"
                                                 "model name\t: Apple M2\nflags\t: fpu\n\n"
                                                 "processor\t: 1\nmodel name\t: Other\n"));
        SystemFacts::setPhysicalMemoryOverride(16 * GiB);
        // Through the machine's fact, as the video model asks.
        SystemFacts::setAiDeviceOverride(device);
        const UpscaleRecommendation recommendation = SystemAdvisor::recommend(width, height);
        QCOMPARE(recommendation.message, message);
        QCOMPARE(recommendation.targetHeight, targetHeight);
        QCOMPARE(recommendation.quality, quality);
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
        QVERIFY(SystemAdvisor::recommend(1280, 720, SystemFacts::AiDevice::Gpu)
                    .message.contains(QStringLiteral(" clip on your computer (8 GB).")));
    }

    void realMachineHasABrandMemoryAndAiDevice()
    {
        QVERIFY(!SystemAdvisor::chip().isEmpty());
        QVERIFY(SystemAdvisor::ramInt() >= 1);
        // The Vulkan probe answers (this machine may or may not have a GPU), and keeps its answer.
        const SystemFacts::AiDevice device = SystemFacts::aiDevice();
        QCOMPARE(SystemFacts::aiDevice(), device);
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
