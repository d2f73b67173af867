#include <optional>

#include <QObject>
#include <QTest>

#include "engine/SegmentPlan.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

Q_DECLARE_METATYPE(VideoMeta)
Q_DECLARE_METATYPE(AIQuality)

namespace {

VideoMeta meta(qint64 width, qint64 height, double fps, double duration)
{
    VideoMeta facts;
    facts.width = width;
    facts.height = height;
    facts.fps = fps;
    facts.duration = duration;
    return facts;
}

} // namespace

class SegmentPlanTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void plan_data();
    void plan();
};

void SegmentPlanTest::plan_data()
{
    QTest::addColumn<VideoMeta>("source");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<AIQuality>("quality");
    QTest::addColumn<qint64>("freeBytes"); // -1: unknown
    QTest::addColumn<int>("scale");
    QTest::addColumn<qint64>("frameHeight");
    QTest::addColumn<qint64>("outputWidth");
    QTest::addColumn<qint64>("bitRate");
    QTest::addColumn<qint64>("byteRate");
    QTest::addColumn<double>("segmentLength");
    QTest::addColumn<QList<double>>("starts");
    QTest::addColumn<QList<double>>("durations");
    QTest::addColumn<qint64>("neededBytes");
    QTest::addColumn<qint64>("lowStorageThreshold");

    QTest::newRow("31 s at 1080: 15, 15 and 1 s")
        << meta(1280, 720, 30, 31) << qint64(1080) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << qint64(270) << qint64(1920) << qint64(14000000) << qint64(1750000)
        << 15.0 << QList<double>{0, 15, 30} << QList<double>{15, 15, 1} << qint64(1796794499)
        << qint64(3399680000);
    QTest::newRow("20 s at 2160: 8 s segments")
        << meta(1920, 1080, 30, 20) << qint64(2160) << Codecs::hevc << AIQuality::Detailed
        << qint64(-1) << 4 << qint64(540) << qint64(3840) << qint64(28000000) << qint64(3500000)
        << 8.0 << QList<double>{0, 8, 16} << QList<double>{8, 8, 4} << qint64(3675381599)
        << qint64(4985984000);
    QTest::newRow("free space forces 2 s")
        << meta(640, 360, 25, 5) << qint64(1080) << Codecs::h264 << AIQuality::Detailed
        << qint64(100000000) << 4 << qint64(270) << qint64(1920) << qint64(14000000)
        << qint64(1750000) << 2.0 << QList<double>{0, 2, 4} << QList<double>{2, 2, 1}
        << qint64(209035499) << qint64(2155520000);
    QTest::newRow("fast from 720 to 2160: scale 3, full-height frames")
        << meta(1280, 720, 30, 4) << qint64(2160) << Codecs::hevc << AIQuality::Fast << qint64(-1)
        << 3 << qint64(720) << qint64(3840) << qint64(28000000) << qint64(3500000) << 8.0
        << QList<double>{0} << QList<double>{4} << qint64(3482181599) << qint64(4985984000);
    QTest::newRow("detailed from 720 to 2160: scale 4, 540-line frames")
        << meta(1280, 720, 30, 4) << qint64(2160) << Codecs::hevc << AIQuality::Detailed
        << qint64(-1) << 4 << qint64(540) << qint64(3840) << qint64(28000000) << qint64(3500000)
        << 8.0 << QList<double>{0} << QList<double>{4} << qint64(3482181599) << qint64(4985984000);
    QTest::newRow("zero duration: one moment-long segment")
        << meta(640, 360, 30, 0) << qint64(1080) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << qint64(270) << qint64(1920) << qint64(14000000) << qint64(1750000)
        << 15.0 << QList<double>{0} << QList<double>{0.001} << qint64(1609631999)
        << qint64(3399680000);
    QTest::newRow("width rounded half away from zero")
        << meta(854, 480, 24, 10) << qint64(1080) << Codecs::h264 << AIQuality::Max << qint64(-1)
        << 4 << qint64(270) << qint64(1922) << qint64(14000000) << qint64(1750000) << 15.0
        << QList<double>{0} << QList<double>{10} << qint64(1349421960) << qint64(3120910400);
    QTest::newRow("odd frame height made even")
        << meta(1280, 720, 24, 10) << qint64(1354) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << qint64(338) << qint64(2407) << qint64(14000000) << qint64(1750000)
        << 15.0 << QList<double>{0} << QList<double>{10} << qint64(2084262437)
        << qint64(3759902120);
    QTest::newRow("odd source height made even")
        << meta(596, 335, 30, 3) << qint64(2160) << Codecs::hevc << AIQuality::Fast << qint64(-1)
        << 4 << qint64(334) << qint64(3843) << qint64(28000000) << qint64(3500000) << 8.0
        << QList<double>{0} << QList<double>{3} << qint64(3472789319) << qint64(4988316800);
}

void SegmentPlanTest::plan()
{
    QFETCH(VideoMeta, source);
    QFETCH(qint64, target);
    QFETCH(QString, codec);
    QFETCH(AIQuality, quality);
    QFETCH(qint64, freeBytes);

    UpscaleOptions options;
    options.targetHeight = target;
    options.codec = codec;
    options.quality = quality;
    const ModelChoice choice = UpscaleCore::aiModel(quality, target, source.height);
    const SegmentPlan plan = SegmentPlan::make(
        source, options, choice, freeBytes < 0 ? std::nullopt : std::optional<qint64>(freeBytes));

    QTEST(plan.choice.scale, "scale");
    QCOMPARE(plan.choice.model, AIQualities::modelName(quality));
    QTEST(plan.frameHeight, "frameHeight");
    QTEST(plan.outputWidth, "outputWidth");
    QTEST(plan.bitRate, "bitRate");
    QTEST(plan.byteRate, "byteRate");
    QTEST(plan.segmentLength, "segmentLength");
    QTEST(plan.neededBytes, "neededBytes");
    QTEST(plan.lowStorageThreshold, "lowStorageThreshold");

    QFETCH(QList<double>, starts);
    QFETCH(QList<double>, durations);
    QCOMPARE(plan.segmentCount, int(starts.size()));
    for (int i = 0; i < plan.segmentCount; ++i) {
        QCOMPARE(plan.segmentStart(i), starts.at(i));
        QCOMPARE(plan.segmentDuration(i), durations.at(i));
    }
    // Nothing is left after the last segment.
    QVERIFY(plan.segmentDuration(plan.segmentCount) <= 0);
}

KORVANE_TEST_MAIN(SegmentPlanTest)
#include "tst_segmentplan.moc"
