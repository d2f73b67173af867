#include <optional>

#include <QObject>
#include <QTest>

#include "engine/SegmentPlan.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

Q_DECLARE_METATYPE(VideoMeta)
Q_DECLARE_METATYPE(AIQuality)

namespace {

VideoMeta meta(qint64 width, qint64 height, double fps, double duration, int rotation = 0,
               double pixelAspect = 1.0)
{
    VideoMeta facts;
    facts.width = width;
    facts.height = height;
    facts.fps = fps;
    facts.duration = duration;
    facts.rotation = rotation;
    facts.pixelAspect = pixelAspect;
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
    QTest::addColumn<QSize>("displayed");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("output");
    QTest::addColumn<qint64>("bitRate");
    QTest::addColumn<qint64>("byteRate");
    QTest::addColumn<double>("segmentLength");
    QTest::addColumn<QList<double>>("starts");
    QTest::addColumn<QList<double>>("durations");
    QTest::addColumn<qint64>("neededBytes");
    QTest::addColumn<qint64>("lowStorageThreshold");

    QTest::newRow("31 s at 1080: 15, 15 and 1 s")
        << meta(1280, 720, 30, 31) << qint64(1080) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(1280, 720) << QSize(480, 270) << QSize(1920, 1080)
        << qint64(14000000) << qint64(1750000) << 15.0 << QList<double>{0, 15, 30}
        << QList<double>{15, 15, 1} << qint64(1796794499) << qint64(3399680000);
    QTest::newRow("20 s at 2160: 8 s segments")
        << meta(1920, 1080, 30, 20) << qint64(2160) << Codecs::hevc << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(1920, 1080) << QSize(960, 540) << QSize(3840, 2160)
        << qint64(28000000) << qint64(3500000) << 8.0 << QList<double>{0, 8, 16}
        << QList<double>{8, 8, 4} << qint64(3675381599) << qint64(4985984000);
    QTest::newRow("free space forces 2 s")
        << meta(640, 360, 25, 5) << qint64(1080) << Codecs::h264 << AIQuality::Detailed
        << qint64(100000000) << 4 << QSize(640, 360) << QSize(480, 270) << QSize(1920, 1080)
        << qint64(14000000) << qint64(1750000) << 2.0 << QList<double>{0, 2, 4}
        << QList<double>{2, 2, 1} << qint64(209035499) << qint64(2155520000);
    QTest::newRow("fast from 720 to 2160: scale 3, full-height frames")
        << meta(1280, 720, 30, 4) << qint64(2160) << Codecs::hevc << AIQuality::Fast << qint64(-1)
        << 3 << QSize(1280, 720) << QSize(1280, 720) << QSize(3840, 2160) << qint64(28000000)
        << qint64(3500000) << 8.0 << QList<double>{0} << QList<double>{4} << qint64(3482181599)
        << qint64(4985984000);
    QTest::newRow("detailed from 720 to 2160: scale 4, 540-line frames")
        << meta(1280, 720, 30, 4) << qint64(2160) << Codecs::hevc << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(1280, 720) << QSize(960, 540) << QSize(3840, 2160)
        << qint64(28000000) << qint64(3500000) << 8.0 << QList<double>{0} << QList<double>{4}
        << qint64(3482181599) << qint64(4985984000);
    QTest::newRow("zero duration: one moment-long segment")
        << meta(640, 360, 30, 0) << qint64(1080) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(640, 360) << QSize(480, 270) << QSize(1920, 1080)
        << qint64(14000000) << qint64(1750000) << 15.0 << QList<double>{0} << QList<double>{0.001}
        << qint64(1609631999) << qint64(3399680000);
    QTest::newRow("width rounded to the nearest even size")
        << meta(854, 480, 24, 10) << qint64(1080) << Codecs::h264 << AIQuality::Max << qint64(-1)
        << 4 << QSize(854, 480) << QSize(480, 270) << QSize(1922, 1080) << qint64(14000000)
        << qint64(1750000) << 15.0 << QList<double>{0} << QList<double>{10} << qint64(1349421960)
        << qint64(3120910400);
    QTest::newRow("odd frame height made even")
        << meta(1280, 720, 24, 10) << qint64(1354) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(1280, 720) << QSize(600, 338) << QSize(2408, 1354)
        << qint64(14000000) << qint64(1750000) << 15.0 << QList<double>{0} << QList<double>{10}
        << qint64(2085103271) << qint64(3760633280);
    QTest::newRow("odd source height shown even")
        << meta(596, 335, 30, 3) << qint64(2160) << Codecs::hevc << AIQuality::Fast << qint64(-1)
        << 4 << QSize(596, 336) << QSize(596, 336) << QSize(3832, 2160) << qint64(28000000)
        << qint64(3500000) << 8.0 << QList<double>{0} << QList<double>{3} << qint64(3462952679)
        << qint64(4979763200);

    // Display geometry: the target names the short side of the picture as players show it.
    const qint64 portrait4k = 3554631599;
    QTest::newRow("portrait stored upright, 4K")
        << meta(1080, 1920, 30, 10) << qint64(2160) << Codecs::hevc << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(1080, 1920) << QSize(540, 960) << QSize(2160, 3840)
        << qint64(28000000) << qint64(3500000) << 8.0 << QList<double>{0, 8} << QList<double>{8, 2}
        << portrait4k << qint64(4985984000);
    QTest::newRow("landscape stored with rotation 90, 4K")
        << meta(1920, 1080, 30, 10, 90) << qint64(2160) << Codecs::hevc << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(1080, 1920) << QSize(540, 960) << QSize(2160, 3840)
        << qint64(28000000) << qint64(3500000) << 8.0 << QList<double>{0, 8} << QList<double>{8, 2}
        << portrait4k << qint64(4985984000);
    QTest::newRow("landscape stored with rotation 270, 1440")
        << meta(1920, 1080, 30, 10, 270) << qint64(1440) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(1080, 1920) << QSize(360, 640) << QSize(1440, 2560)
        << qint64(14000000) << qint64(1750000) << 15.0 << QList<double>{0} << QList<double>{10}
        << qint64(2921943000) << qint64(4488320000);
    QTest::newRow("portrait 720 with rotation 180 stays portrait, 1080")
        << meta(720, 1280, 30, 10, 180) << qint64(1080) << Codecs::h264 << AIQuality::Detailed
        << qint64(-1) << 4 << QSize(720, 1280) << QSize(270, 480) << QSize(1080, 1920)
        << qint64(14000000) << qint64(1750000) << 15.0 << QList<double>{0} << QList<double>{10}
        << qint64(1670006999) << qint64(3399680000);
    QTest::newRow("anamorphic 1440×1080 shown 16:9, 4K")
        << meta(1440, 1080, 30, 10, 0, 4.0 / 3.0) << qint64(2160) << Codecs::hevc
        << AIQuality::Detailed << qint64(-1) << 4 << QSize(1920, 1080) << QSize(960, 540)
        << QSize(3840, 2160) << qint64(28000000) << qint64(3500000) << 8.0 << QList<double>{0, 8}
        << QList<double>{8, 2} << portrait4k << qint64(4985984000);
    QTest::newRow("tall pixels stretch the height, 1080")
        << meta(640, 480, 30, 10, 0, 8.0 / 9.0) << qint64(1080) << Codecs::h264
        << AIQuality::Detailed << qint64(-1) << 4 << QSize(640, 540) << QSize(320, 270)
        << QSize(1280, 1080) << qint64(14000000) << qint64(1750000) << 15.0 << QList<double>{0}
        << QList<double>{10} << qint64(1133463000) << qint64(2933120000);
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
    QTEST(QSize(int(source.displayWidth()), int(source.displayHeight())), "displayed");
    const ModelChoice choice = UpscaleCore::aiModel(quality, target, source.displayShortSide());
    const SegmentPlan plan = SegmentPlan::make(
        source, options, choice, freeBytes < 0 ? std::nullopt : std::optional<qint64>(freeBytes));

    QTEST(plan.choice.scale, "scale");
    QCOMPARE(plan.choice.model, AIQualities::modelName(quality));
    QTEST(QSize(int(plan.frameWidth), int(plan.frameHeight)), "frame");
    QTEST(QSize(int(plan.outputWidth), int(plan.outputHeight)), "output");
    QCOMPARE(plan.outputPixels, plan.outputWidth * plan.outputHeight);
    // The AI's output is never smaller than the source as displayed.
    QVERIFY(qMin(plan.frameWidth, plan.frameHeight) * plan.choice.scale >=
            source.displayShortSide());
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
