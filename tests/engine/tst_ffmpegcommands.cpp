#include <QObject>
#include <QTest>

#include "engine/FFmpegCommands.h"
#include "engine/SegmentPlan.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

namespace {

const QString kInput = QStringLiteral("/home/me/Videos/Ann's trip — día 1.mov");
const QString kIn = QStringLiteral("/tmp/ai-W/in");
const QString kOut = QStringLiteral("/tmp/ai-W/out");

QStringList args(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '));
}

struct Case {
    qint64 width;
    qint64 height;
    double fps;
    double duration;
    qint64 target;
    AIQuality quality;
    qint64 freeBytes; // -1: unknown
};

QStringList framesCommand(const Case& c, int index)
{
    VideoMeta meta;
    meta.width = c.width;
    meta.height = c.height;
    meta.fps = c.fps;
    meta.duration = c.duration;
    UpscaleOptions options;
    options.targetHeight = c.target;
    options.quality = c.quality;
    const SegmentPlan plan =
        SegmentPlan::make(meta, options, UpscaleCore::aiModel(c.quality, c.target, c.height),
                          c.freeBytes < 0 ? std::nullopt : std::optional<qint64>(c.freeBytes));
    return FFmpegCommands::segmentFrames(kInput, kIn, plan.segmentStart(index),
                                         plan.segmentDuration(index), meta.fps, plan.frameHeight,
                                         meta.height);
}

} // namespace

class FFmpegCommandsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void segmentFrames_data();
    void segmentFrames();
    void commands_data();
    void commands();
    void concatList();
};

void FFmpegCommandsTest::segmentFrames_data()
{
    QTest::addColumn<QStringList>("actual");
    QTest::addColumn<QStringList>("expected");

    const QStringList head{QStringLiteral("-y"), QStringLiteral("-i"), kInput};
    const QStringList tail{QStringLiteral("-qscale:v"), QStringLiteral("2"),
                           kIn + QStringLiteral("/frame_%08d.png")};
    const auto seekTo = [](const char* seconds) {
        return QStringList{QStringLiteral("-y"),
                           QStringLiteral("-ss"),
                           QString::fromUtf8(seconds),
                           QStringLiteral("-i"),
                           kInput,
                           QStringLiteral("-ss"),
                           QStringLiteral("2")};
    };

    const Case clip31{1280, 720, 30, 31, 1080, AIQuality::Detailed, -1};
    QTest::newRow("first segment reads from the start at a constant rate")
        << framesCommand(clip31, 0)
        << head + args("-fps_mode cfr -r 30.000 -t 15.000 -vf scale=-2:270:flags=area") + tail;
    QTest::newRow("31 s: the last segment lasts 1 s")
        << framesCommand(clip31, 2)
        << seekTo("28.000") + args("-fps_mode cfr -r 30.000 -t 1.000 -vf scale=-2:270:flags=area") +
               tail;

    const Case clip20{1920, 1080, 30, 20, 2160, AIQuality::Detailed, -1};
    QTest::newRow("20 s at 2160: second segment")
        << framesCommand(clip20, 1)
        << seekTo("6.000") + args("-fps_mode cfr -r 30.000 -t 8.000 -vf scale=-2:540:flags=area") +
               tail;
    QTest::newRow("20 s at 2160: third segment")
        << framesCommand(clip20, 2)
        << seekTo("14.000") + args("-fps_mode cfr -r 30.000 -t 4.000 -vf scale=-2:540:flags=area") +
               tail;

    const Case forced{640, 360, 25, 5, 1080, AIQuality::Detailed, 100000000};
    QTest::newRow("forced 2 s: second segment seeks to 0")
        << framesCommand(forced, 1)
        << seekTo("0.000") + args("-fps_mode cfr -r 25.000 -t 2.000 -vf scale=-2:270:flags=area") +
               tail;

    QTest::newRow("fast from 720 to 2160: no scale filter")
        << framesCommand({1280, 720, 30, 4, 2160, AIQuality::Fast, -1}, 0)
        << head + args("-fps_mode cfr -r 30.000 -t 4.000") + tail;
    QTest::newRow("detailed from 720 to 2160: area scaling to 540")
        << framesCommand({1280, 720, 30, 4, 2160, AIQuality::Detailed, -1}, 0)
        << head + args("-fps_mode cfr -r 30.000 -t 4.000 -vf scale=-2:540:flags=area") + tail;
    QTest::newRow("zero duration: one frame's moment")
        << framesCommand({640, 360, 30, 0, 1080, AIQuality::Detailed, -1}, 0)
        << head + args("-fps_mode cfr -r 30.000 -t 0.001 -vf scale=-2:270:flags=area") + tail;
    QTest::newRow("variable-rate source: frames at its average rate")
        << framesCommand({640, 360, 20.27, 2.97, 1080, AIQuality::Detailed, -1}, 0)
        << head + args("-fps_mode cfr -r 20.270 -t 2.970 -vf scale=-2:270:flags=area") + tail;
}

void FFmpegCommandsTest::segmentFrames()
{
    QFETCH(QStringList, actual);
    QFETCH(QStringList, expected);
    QCOMPARE(actual, expected);
}

void FFmpegCommandsTest::commands_data()
{
    QTest::addColumn<QStringList>("actual");
    QTest::addColumn<QStringList>("expected");

    const QString segment = QStringLiteral("/tmp/ai-W/segments/seg_00003.mp4");
    const QString list = QStringLiteral("/tmp/ai-W/segments.txt");
    const QString joined = QStringLiteral("/tmp/ai-W/video.mp4");
    const QString result = QStringLiteral("/tmp/ai-R.mp4");

    const VideoEncoder x265{QStringLiteral("libx265"),
                            args("-preset fast -x265-params log-level=error"), false};
    QTest::newRow("segment encode, HEVC in software")
        << FFmpegCommands::segmentEncode(kOut, 24, 2160, x265, 28000000, true, segment)
        << args("-y -framerate 24.000 -i") + QStringList{kOut + QStringLiteral("/frame_%08d.png")} +
               args("-vf scale=-2:2160:flags=lanczos -c:v libx265 -preset fast -x265-params "
                    "log-level=error -b:v 28000000 -pix_fmt yuv420p -tag:v hvc1") +
               QStringList{segment};
    const VideoEncoder nvenc{QStringLiteral("h264_nvenc"), {}, true};
    QTest::newRow("segment encode, H.264 in hardware")
        << FFmpegCommands::segmentEncode(kOut, 30000.0 / 1001.0, 1080, nvenc, 14000000, false,
                                         segment)
        << args("-y -framerate 29.970 -i") + QStringList{kOut + QStringLiteral("/frame_%08d.png")} +
               args("-vf scale=-2:1080:flags=lanczos -c:v h264_nvenc -b:v 14000000 -pix_fmt "
                    "yuv420p") +
               QStringList{segment};
    QTest::newRow("preview frame")
        << FFmpegCommands::previewFrame(kInput, kIn)
        << QStringList{QStringLiteral("-y"), QStringLiteral("-i"), kInput} +
               args("-frames:v 1 -qscale:v 2") +
               QStringList{kIn + QStringLiteral("/frame_00000001.png")};
    QTest::newRow("concatenate") << FFmpegCommands::concatenate(list, joined)
                                 << args("-y -f concat -safe 0 -i") + QStringList{list} +
                                        args("-c copy") + QStringList{joined};
    QTest::newRow("add audio")
        << FFmpegCommands::addAudio(joined, kInput, result)
        << args("-y -i") + QStringList{joined, QStringLiteral("-i"), kInput} +
               args("-map 0:v:0 -map 1:a:0 -c:v copy -c:a aac -b:a 256k -shortest -movflags "
                    "+faststart") +
               QStringList{result};
    QTest::newRow("no audio") << FFmpegCommands::noAudio(joined, result)
                              << args("-y -i") + QStringList{joined} +
                                     args("-c copy -movflags +faststart") + QStringList{result};

    const QString models = QStringLiteral("/home/me/.local/share/Korvane/realesrgan/models");
    QTest::newRow("Real-ESRGAN over a folder")
        << FFmpegCommands::realesrganFolder(
               kIn, kOut, ModelChoice{QStringLiteral("realesr-animevideov3"), 3, 256}, models)
        << QStringList{QStringLiteral("-i"), kIn, QStringLiteral("-o"), kOut} +
               args("-n realesr-animevideov3 -s 3 -t 256 -m") + QStringList{models} +
               args("-f png -g 0 -j 2:2:2");
    QTest::newRow("Real-ESRGAN on one picture")
        << FFmpegCommands::realesrganImage(
               QStringLiteral("/a b/in.jpg"), QStringLiteral("/a b/out.png"),
               QStringLiteral("realesrgan-x4plus"), 2, models, QStringLiteral("png"))
        << QStringList{QStringLiteral("-i"), QStringLiteral("/a b/in.jpg"), QStringLiteral("-o"),
                       QStringLiteral("/a b/out.png")} +
               args("-n realesrgan-x4plus -s 2 -t 0 -m") + QStringList{models} +
               args("-f png -g 0");
}

void FFmpegCommandsTest::commands()
{
    QFETCH(QStringList, actual);
    QFETCH(QStringList, expected);
    QCOMPARE(actual, expected);
}

void FFmpegCommandsTest::concatList()
{
    QCOMPARE(FFmpegCommands::concatLine(QStringLiteral("/tmp/ai-W/segments/seg_00000.mp4")),
             QStringLiteral("file '/tmp/ai-W/segments/seg_00000.mp4'"));
    const QStringList paths{QStringLiteral("/tmp/it's mine/seg_00000.mp4"),
                            QStringLiteral("/tmp/''/ü seg_00001.mp4")};
    QCOMPARE(FFmpegCommands::concatList(paths),
             QByteArray("file '/tmp/it'\\''s mine/seg_00000.mp4'\n"
                        "file '/tmp/'\\'''\\''/\xc3\xbc seg_00001.mp4'"));
    QCOMPARE(FFmpegCommands::concatList({}), QByteArray());
}

KORVANE_TEST_MAIN(FFmpegCommandsTest)
#include "tst_ffmpegcommands.moc"
