#include <QFile>
#include <QObject>
#include <QTest>

#include "engine/EncoderChoice.h"
#include "engine/EngineLog.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

class EncoderChoiceTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void candidates_data();
    void candidates();
    void probeArguments();
    void chosenOncePerRun();
};

void EncoderChoiceTest::candidates_data()
{
    QTest::addColumn<bool>("hevc");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("softwareOptions");
    QTest::newRow("HEVC") << true
                          << QStringList{QStringLiteral("hevc_nvenc"), QStringLiteral("hevc_qsv"),
                                         QStringLiteral("libx265")}
                          << QStringList{QStringLiteral("-preset"), QStringLiteral("fast"),
                                         QStringLiteral("-x265-params"),
                                         QStringLiteral("log-level=error")};
    QTest::newRow("H.264") << false
                           << QStringList{QStringLiteral("h264_nvenc"), QStringLiteral("h264_qsv"),
                                          QStringLiteral("libx264")}
                           << QStringList{QStringLiteral("-preset"), QStringLiteral("fast")};
}

void EncoderChoiceTest::candidates()
{
    QFETCH(bool, hevc);
    const QList<VideoEncoder> all = EncoderChoice::candidates(hevc);
    QStringList names;
    for (const VideoEncoder& encoder : all)
        names.append(encoder.name);
    QTEST(names, "names");
    QVERIFY(all[0].hardware && all[1].hardware && !all[2].hardware);
    QVERIFY(all[0].options.isEmpty() && all[1].options.isEmpty());
    QTEST(all[2].options, "softwareOptions");
}

void EncoderChoiceTest::probeArguments()
{
    // The test encode uses what the segments will: the output size, codec, a bit rate, yuv420p,
    // the HEVC tag.
    const VideoEncoder nvenc{QStringLiteral("hevc_nvenc"), {}, true};
    QCOMPARE(EncoderChoice::probeArguments(nvenc, true, 2160, 3840),
             QString::fromUtf8("-hide_banner -loglevel error -f lavfi -i "
                               "color=c=black:s=2160x3840:r=25 -frames:v 1 -c:v hevc_nvenc -b:v "
                               "9000000 -pix_fmt yuv420p -tag:v hvc1 -f null -")
                 .split(QLatin1Char(' ')));
    const VideoEncoder x264 = EncoderChoice::candidates(false).last();
    QCOMPARE(EncoderChoice::probeArguments(x264, false, 640, 360),
             QString::fromUtf8("-hide_banner -loglevel error -f lavfi -i "
                               "color=c=black:s=640x360:r=25 -frames:v 1 -c:v libx264 -preset "
                               "fast -b:v 9000000 -pix_fmt yuv420p -f null -")
                 .split(QLatin1Char(' ')));
}

void EncoderChoiceTest::chosenOncePerRun()
{
    QStringList lines;
    EngineLog::setSink([&lines](const QString& line) { lines.append(line); });

    // Without ffmpeg nothing passes: the software encoder stands in and nothing is remembered.
    QCOMPARE(EncoderChoice::forCodec(false).name, QStringLiteral("libx264"));
    QCOMPARE(lines, QStringList());

    // With the real ffmpeg the hardware encoders are tried and fail here; the choice is logged
    // once and kept, even when ffmpeg later goes away.
    KorvaneTest::installStagedTools();
    QCOMPARE(EncoderChoice::forCodec(false).name, QStringLiteral("libx264"));
    QCOMPARE(EncoderChoice::forCodec(true).name, QStringLiteral("libx265"));
    QFile::remove(UpscaleCore::ffmpeg());
    QCOMPARE(EncoderChoice::forCodec(false).name, QStringLiteral("libx264"));
    QCOMPARE(EncoderChoice::forCodec(true).name, QStringLiteral("libx265"));
    EngineLog::setSink({});
    QCOMPARE(lines, (QStringList{QStringLiteral("Korvane: H.264 video of 640×360 is encoded with "
                                                "libx264 (software)"),
                                 QStringLiteral("Korvane: H.265 video of 640×360 is encoded with "
                                                "libx265 (software)")}));
}

KORVANE_TEST_MAIN(EncoderChoiceTest)
#include "tst_encoderchoice.moc"
