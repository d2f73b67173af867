#include <QDir>
#include <QFile>
#include <QImage>
#include <QObject>
#include <QTest>

#include "engine/UpscaleCore.h"
#include "support/RotatedClip.h"
#include "support/TestSupport.h"

namespace {

QString clipPath(const QString& name)
{
    return KorvaneTest::isolatedRoot() + QStringLiteral("/clips ü/") + name;
}

QStringList args(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '));
}

} // namespace

class VideoMetaTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void facts_data();
    void facts();
    void refused_data();
    void refused();
};

void VideoMetaTest::initTestCase()
{
    QDir().mkpath(clipPath(QString()));
}

void VideoMetaTest::facts_data()
{
    QTest::addColumn<QStringList>("make");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<double>("fps");
    QTest::addColumn<bool>("hasAudio");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QSize>("displayed");

    QTest::newRow("5 fps with sound")
        << args("-f lavfi -i testsrc=size=64x36:rate=5 -f lavfi -i sine=frequency=440 -t 2 "
                "-pix_fmt yuv420p -c:a aac")
        << false << qint64(64) << qint64(36) << 5.0 << true << 2.0 << QSize(64, 36);
    QTest::newRow("NTSC rate without sound")
        << args("-f lavfi -i testsrc=size=48x20:rate=30000/1001 -t 1 -pix_fmt yuv420p") << false
        << qint64(48) << qint64(20) << 30000.0 / 1001.0 << false << 1.0 << QSize(48, 20);
    QTest::newRow("portrait phone video: stored size, displayed turned")
        << args("-f lavfi -i testsrc=size=64x36:rate=5 -t 1 -pix_fmt yuv420p") << true << qint64(64)
        << qint64(36) << 5.0 << false << 1.0 << QSize(36, 64);
    QTest::newRow("anamorphic: displayed with square pixels")
        << args("-f lavfi -i testsrc=size=48x36:rate=5 -t 1 -vf setsar=4/3 -pix_fmt yuv420p")
        << false << qint64(48) << qint64(36) << 5.0 << false << 1.0 << QSize(64, 36);
    // Every third frame dropped from a 6 fps clip: the container rate stays 6, the average is
    // 10 frames over 7/3 s.
    QTest::newRow("variable rate: the average rate")
        << args("-f lavfi -i testsrc=size=32x18:rate=6 -t 2.5 -vf select='not(eq(mod(n\\,3)\\,2))' "
                "-fps_mode vfr -pix_fmt yuv420p")
        << false << qint64(32) << qint64(18) << 30.0 / 7.0 << false << 7.0 / 3.0 << QSize(32, 18);
}

void VideoMetaTest::facts()
{
    QFETCH(QStringList, make);
    QFETCH(bool, rotate);
    const QString path =
        clipPath(QString::fromUtf8(QTest::currentDataTag()) + QStringLiteral(".mp4"));
    QCOMPARE(KorvaneTest::runFFmpeg(make + QStringList{path}), 0);
    if (rotate) {
        KorvaneTest::rotateFirstTrack(path);
        // ffmpeg shows the picture upright, so the rotation really is in the file.
        const QString frame = clipPath(QStringLiteral("upright.png"));
        QCOMPARE(KorvaneTest::runFFmpeg({QStringLiteral("-i"), path, QStringLiteral("-frames:v"),
                                         QStringLiteral("1"), frame}),
                 0);
        QCOMPARE(QImage(frame).size(), QSize(36, 64));
    }

    const UpscaleCore::Meta meta = UpscaleCore::loadMeta(path);
    QTEST(meta.width, "width");
    QTEST(meta.height, "height");
    QTEST(meta.hasAudio, "hasAudio");
    QTEST(QSize(int(meta.displayWidth()), int(meta.displayHeight())), "displayed");
    QCOMPARE(meta.rotation, rotate ? 90 : 0);
    QFETCH(double, fps);
    QVERIFY2(qAbs(meta.fps - fps) < 0.01, qPrintable(QString::number(meta.fps)));
    QFETCH(double, duration);
    QVERIFY2(qAbs(meta.duration - duration) < 0.1, qPrintable(QString::number(meta.duration)));
}

void VideoMetaTest::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("make"); // empty: the file is written by hand
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    const QString noVideo = QStringLiteral("No video track found");
    QTest::newRow("sound only") << QStringLiteral("sound.m4a")
                                << args("-f lavfi -i sine=frequency=440 -t 1 -c:a aac")
                                << QByteArray() << noVideo;
    QTest::newRow("sound with cover art")
        << QStringLiteral("cover.mp3")
        << args("-f lavfi -i sine=frequency=440:duration=1 -f lavfi -i color=c=red:s=32x32:d=0.04 "
                "-map 0:a -map 1:v -c:a libmp3lame -c:v png -disposition:v attached_pic")
        << QByteArray() << noVideo;
    const QString invalid = QStringLiteral("Invalid data found when processing input");
    QTest::newRow("empty file") << QStringLiteral("empty.mp4") << QStringList() << QByteArray()
                                << invalid;
    QTest::newRow("text file") << QStringLiteral("notes.mp4") << QStringList()
                               << QByteArray("These are not the frames you are looking for.\n")
                               << invalid;
    QTest::newRow("missing file") << QStringLiteral("nowhere/missing.mp4") << QStringList()
                                  << QByteArray() << QStringLiteral("No such file or directory");
    QTest::newRow("still picture")
        << QStringLiteral("still.png") << args("-f lavfi -i testsrc=size=32x18 -frames:v 1")
        << QByteArray()
        << QStringLiteral("The length of this video can't be read, so it can't be upscaled.");
}

void VideoMetaTest::refused()
{
    QFETCH(QString, name);
    QFETCH(QStringList, make);
    QFETCH(QByteArray, content);
    const QString path = clipPath(name);
    if (!make.isEmpty()) {
        QCOMPARE(KorvaneTest::runFFmpeg(make + QStringList{path}), 0);
    } else if (!name.contains(QLatin1Char('/'))) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    try {
        UpscaleCore::loadMeta(path);
        QFAIL("the file was accepted");
    } catch (const EngineError& error) {
        QTEST(error.message(), "message");
    }
}

KORVANE_TEST_MAIN(VideoMetaTest)
#include "tst_videometa.moc"
