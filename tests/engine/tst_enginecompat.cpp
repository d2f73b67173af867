// The engine's choice of the software-Vulkan compatibility layer, and what it does to the pictures
// of the real engine on this machine's Vulkan device.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>

#include "engine/EngineCompat.h"
#include "engine/EngineLog.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

namespace {
constexpr int kNoDevice = -1;
constexpr int kPatch = 8;

const QList<QColor>& patchColours()
{
    static const QList<QColor> colours{
        QColor(0, 0, 0),   QColor(255, 255, 255), QColor(128, 128, 128), QColor(255, 0, 0),
        QColor(0, 255, 0), QColor(0, 0, 255),     QColor(128, 0, 0)};
    return colours;
}
} // namespace

class TestEngineCompat final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The layer comes from the build's resources folder; the choice is automatic.
        qputenv("KORVANE_RESOURCES", KORVANE_TEST_RESOURCES_DIR);
        qunsetenv("KORVANE_ENGINE_FP32");
        KorvaneTest::installStagedTools();
    }

    void decision_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("useLayer");
        QTest::newRow("cpu, automatic") << int(VK_PHYSICAL_DEVICE_TYPE_CPU) << "" << true;
        QTest::newRow("discrete gpu, automatic")
            << int(VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU) << "" << false;
        QTest::newRow("integrated gpu, automatic")
            << int(VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU) << "" << false;
        QTest::newRow("virtual gpu, automatic")
            << int(VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU) << "" << false;
        QTest::newRow("no device, automatic") << kNoDevice << "" << false;
        QTest::newRow("cpu, forced off") << int(VK_PHYSICAL_DEVICE_TYPE_CPU) << "0" << false;
        QTest::newRow("discrete gpu, forced on")
            << int(VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU) << "1" << true;
        QTest::newRow("no device, forced on") << kNoDevice << "1" << true;
        QTest::newRow("cpu, unknown value") << int(VK_PHYSICAL_DEVICE_TYPE_CPU) << "yes" << true;
        QTest::newRow("discrete gpu, unknown value")
            << int(VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU) << "true" << false;
    }
    void decision()
    {
        QFETCH(int, deviceType);
        QFETCH(QString, setting);
        QFETCH(bool, useLayer);
        const std::optional<VkPhysicalDeviceType> type =
            deviceType == kNoDevice ? std::nullopt
                                    : std::optional(static_cast<VkPhysicalDeviceType>(deviceType));
        QCOMPARE(EngineCompat::useFp32Layer(type, setting), useLayer);
    }

    // On this machine's CPU Vulkan device, flat colours come back as they went in (without the
    // layer, black comes back white and pure colours near white).
    void flatPatchesKeepTheirColours()
    {
        QStringList logLines;
        QMutex logMutex;
        EngineLog::setSink([&](const QString& line) {
            QMutexLocker lock(&logMutex);
            logLines << line;
        });

        const QList<QColor>& colours = patchColours();
        QImage picture(kPatch * int(colours.size()), kPatch, QImage::Format_RGB32);
        QPainter painter(&picture);
        for (int i = 0; i < colours.size(); ++i)
            painter.fillRect(i * kPatch, 0, kPatch, kPatch, colours.at(i));
        painter.end();
        const QString input = QDir::tempPath() + QStringLiteral("/patches.png");
        const QString output = QDir::tempPath() + QStringLiteral("/patches-x2.png");
        QVERIFY(picture.save(input));

        // Two runs on worker threads, as the job worker runs them: the choice is made once.
        for (int run = 0; run < 2; ++run) {
            QtConcurrent::run([&] {
                UpscaleCore::shared().runRealESRGANImage(input, output,
                                                         QStringLiteral("realesr-animevideov3"), 2,
                                                         QStringLiteral("png"));
            }).waitForFinished();
        }
        EngineLog::setSink({});

        const QImage result(output);
        QCOMPARE(result.size(), picture.size() * 2);
        constexpr int tolerance = 20;
        for (int i = 0; i < colours.size(); ++i) {
            const QColor expected = colours.at(i);
            const QColor actual = result.pixelColor((i * kPatch + kPatch / 2) * 2, kPatch);
            const bool close = qAbs(actual.red() - expected.red()) <= tolerance &&
                               qAbs(actual.green() - expected.green()) <= tolerance &&
                               qAbs(actual.blue() - expected.blue()) <= tolerance;
            QVERIFY2(close, qPrintable(QStringLiteral("patch %1: expected %2, got %3")
                                           .arg(i)
                                           .arg(expected.name(), actual.name())));
        }

        const QStringList choices = logLines.filter(QStringLiteral("compatibility layer"));
        QCOMPARE(choices.size(), 1);
        QVERIFY(choices.constFirst().startsWith(QStringLiteral("Korvane: ")));
        QVERIFY(choices.constFirst().contains(QStringLiteral("32-bit floats")));
    }
};

KORVANE_TEST_MAIN(TestEngineCompat)
#include "tst_enginecompat.moc"
