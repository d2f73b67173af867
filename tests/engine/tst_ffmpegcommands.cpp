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
                                         plan.segmentDuration(index), meta, plan.frameWidth,
                                         plan.frameHeight);
}

// The rate, length and filter options of a frames command; untagged sources from 720 lines up
// are read as BT.709, smaller ones as BT.601.
QStringList frameOptions(const char* rate, const char* length, const char* size,
                         const char* matrix = "bt709")
{
    return args("-map 0:0 -fps_mode cfr -r") +
           QStringList{QString::fromUtf8(rate), QStringLiteral("-t"), QString::fromUtf8(length),
                       QStringLiteral("-vf"),
                       QStringLiteral("scale=%1:flags=area:in_color_matrix=%2:in_range=tv,setsar=1")
                           .arg(QString::fromUtf8(size), QString::fromUtf8(matrix))};
}

} // namespace

class FFmpegCommandsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void segmentFrames_data();
    void segmentFrames();
    void extractFilter_data();
    void extractFilter();
    void commands_data();
    void commands();
    void progressState();
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
        << framesCommand(clip31, 0) << head + frameOptions("30.000", "15.000", "480:270") + tail;
    QTest::newRow("31 s: the last segment lasts 1 s")
        << framesCommand(clip31, 2)
        << seekTo("28.000") + frameOptions("30.000", "1.000", "480:270") + tail;

    const Case clip20{1920, 1080, 30, 20, 2160, AIQuality::Detailed, -1};
    QTest::newRow("20 s at 2160: second segment")
        << framesCommand(clip20, 1)
        << seekTo("6.000") + frameOptions("30.000", "8.000", "960:540") + tail;
    QTest::newRow("20 s at 2160: third segment")
        << framesCommand(clip20, 2)
        << seekTo("14.000") + frameOptions("30.000", "4.000", "960:540") + tail;

    const Case forced{640, 360, 25, 5, 1080, AIQuality::Detailed, 100000000};
    QTest::newRow("forced 2 s: second segment seeks to 0")
        << framesCommand(forced, 1)
        << seekTo("0.000") + frameOptions("25.000", "2.000", "480:270", "bt601") + tail;

    QTest::newRow("fast from 720 to 2160: frames at the source's size")
        << framesCommand({1280, 720, 30, 4, 2160, AIQuality::Fast, -1}, 0)
        << head + frameOptions("30.000", "4.000", "1280:720") + tail;
    QTest::newRow("detailed from 720 to 2160: area scaling to 540")
        << framesCommand({1280, 720, 30, 4, 2160, AIQuality::Detailed, -1}, 0)
        << head + frameOptions("30.000", "4.000", "960:540") + tail;
    QTest::newRow("zero duration: one frame's moment")
        << framesCommand({640, 360, 30, 0, 1080, AIQuality::Detailed, -1}, 0)
        << head + frameOptions("30.000", "0.001", "480:270", "bt601") + tail;
    QTest::newRow("variable-rate source: frames at its average rate")
        << framesCommand({640, 360, 20.27, 2.97, 1080, AIQuality::Detailed, -1}, 0)
        << head + frameOptions("20.270", "2.970", "480:270", "bt601") + tail;
}

void FFmpegCommandsTest::segmentFrames()
{
    QFETCH(QStringList, actual);
    QFETCH(QStringList, expected);
    QCOMPARE(actual, expected);
}

void FFmpegCommandsTest::extractFilter_data()
{
    QTest::addColumn<QString>("matrix");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("transfer");
    QTest::addColumn<QString>("expected");

    const QString sdr = QStringLiteral("scale=640:360:flags=area:in_color_matrix=%1:in_range=%2,"
                                       "setsar=1");
    QTest::newRow("untagged, under 720 lines: BT.601")
        << QString() << QString() << QString()
        << sdr.arg(QStringLiteral("bt601"), QStringLiteral("tv"));
    QTest::newRow("tagged BT.709") << QStringLiteral("bt709") << QStringLiteral("tv") << QString()
                                   << sdr.arg(QStringLiteral("bt709"), QStringLiteral("tv"));
    QTest::newRow("full-range BT.601")
        << QStringLiteral("bt470bg") << QStringLiteral("pc") << QString()
        << sdr.arg(QStringLiteral("bt601"), QStringLiteral("full"));
    const QString toneMapped =
        QStringLiteral("zscale=tin=%1:min=2020_ncl:pin=2020:rin=limited:t=linear:npl=100,"
                       "format=gbrpf32le,zscale=p=709,tonemap=tonemap=hable:desat=0,"
                       "zscale=t=709:m=709:r=limited,format=yuv444p,") +
        sdr.arg(QStringLiteral("bt709"), QStringLiteral("tv"));
    QTest::newRow("PQ: tone-mapped")
        << QStringLiteral("bt2020nc") << QStringLiteral("tv") << QStringLiteral("smpte2084")
        << toneMapped.arg(QStringLiteral("smpte2084"));
    QTest::newRow("HLG: tone-mapped")
        << QStringLiteral("bt2020nc") << QString() << QStringLiteral("arib-std-b67")
        << toneMapped.arg(QStringLiteral("arib-std-b67"));
}

void FFmpegCommandsTest::extractFilter()
{
    VideoMeta meta;
    meta.width = 640;
    meta.height = 360;
    QFETCH(QString, matrix);
    QFETCH(QString, range);
    QFETCH(QString, transfer);
    meta.matrix = matrix;
    meta.range = range;
    meta.transfer = transfer;
    QTEST(FFmpegCommands::extractFilter(meta, 640, 360), "expected");
}

void FFmpegCommandsTest::commands_data()
{
    QTest::addColumn<QStringList>("actual");
    QTest::addColumn<QStringList>("expected");

    const QString segment = QStringLiteral("/tmp/ai-W/segments/seg_00003.mp4");
    const QString list = QStringLiteral("/tmp/ai-W/segments.txt");
    const QString joined = QStringLiteral("/tmp/ai-W/video.mp4");
    const QString result = QStringLiteral("/tmp/ai-R.mp4");

    const QString progress = QStringLiteral("/tmp/ai-W/progress.txt");
    const QStringList bt709 =
        args("-color_primaries bt709 -color_trc bt709 -colorspace bt709 -color_range tv");
    const VideoEncoder x265{QStringLiteral("libx265"),
                            args("-preset fast -x265-params log-level=error"), false};
    QTest::newRow("segment encode, HEVC in software, portrait")
        << FFmpegCommands::segmentEncode(kOut, 24, 2160, 3840, x265, 28000000, true, progress,
                                         segment)
        << QStringList{QStringLiteral("-y"), QStringLiteral("-progress"), progress} +
               args("-framerate 24.000 -i") +
               QStringList{kOut + QStringLiteral("/frame_%08d.png")} +
               args("-vf scale=2160:3840:flags=lanczos:out_color_matrix=bt709:out_range=tv,"
                    "format=yuv420p -c:v libx265 -preset fast -x265-params log-level=error -b:v "
                    "28000000 -pix_fmt yuv420p") +
               bt709 + args("-tag:v hvc1") + QStringList{segment};
    const VideoEncoder nvenc{QStringLiteral("h264_nvenc"), {}, true};
    QTest::newRow("segment encode, H.264 in hardware")
        << FFmpegCommands::segmentEncode(kOut, 30000.0 / 1001.0, 1920, 1080, nvenc, 14000000, false,
                                         progress, segment)
        << QStringList{QStringLiteral("-y"), QStringLiteral("-progress"), progress} +
               args("-framerate 29.970 -i") +
               QStringList{kOut + QStringLiteral("/frame_%08d.png")} +
               args("-vf scale=1920:1080:flags=lanczos:out_color_matrix=bt709:out_range=tv,"
                    "format=yuv420p -c:v h264_nvenc -b:v 14000000 -pix_fmt yuv420p") +
               bt709 + QStringList{segment};

    VideoMeta rotated;
    rotated.width = 1440;
    rotated.height = 1080;
    rotated.pixelAspect = 4.0 / 3.0;
    rotated.rotation = 90;
    rotated.videoStream = 2;
    QTest::newRow("preview frame: the measured stream, upright with square pixels")
        << FFmpegCommands::previewFrame(kInput, kIn, rotated)
        << QStringList{QStringLiteral("-y"), QStringLiteral("-i"), kInput} +
               args("-map 0:2 -vf scale=1080:1920:flags=area:in_color_matrix=bt709:in_range=tv,"
                    "setsar=1 -frames:v 1 -qscale:v 2") +
               QStringList{kIn + QStringLiteral("/frame_00000001.png")};
    QTest::newRow("concatenate") << FFmpegCommands::concatenate(list, progress, joined)
                                 << QStringList{QStringLiteral("-y"), QStringLiteral("-progress"),
                                                progress} +
                                        args("-f concat -safe 0 -i") + QStringList{list} +
                                        args("-c copy") + QStringList{joined};
    const QStringList finishHead{QStringLiteral("-y"),
                                 QStringLiteral("-progress"),
                                 progress,
                                 QStringLiteral("-i"),
                                 joined,
                                 QStringLiteral("-i"),
                                 kInput};
    QTest::newRow("finish: every audio track, text subtitles, chapters and metadata")
        << FFmpegCommands::finish(joined, kInput, {{1, 3}, {4}, 12.5}, progress, result)
        << finishHead +
               args("-map 0:v:0 -map 1:1 -map 1:3 -map 1:4 -c:v copy -c:a aac -b:a 256k -c:s "
                    "mov_text -map_metadata 1 -map_chapters 1 -t 12.500 -movflags +faststart") +
               QStringList{result};
    QTest::newRow("finish: no sound")
        << FFmpegCommands::finish(joined, kInput, {{}, {}, 2}, progress, result)
        << finishHead +
               args("-map 0:v:0 -c:v copy -map_metadata 1 -map_chapters 1 -t 2.000 -movflags "
                    "+faststart") +
               QStringList{result};
    QTest::newRow("audio check") << FFmpegCommands::audioCheck(kInput, 3)
                                 << QStringList{QStringLiteral("-xerror"), QStringLiteral("-i"),
                                                kInput} +
                                        args("-map 0:3 -t 1 -f null -");

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

void FFmpegCommandsTest::progressState()
{
    // ffmpeg appends a block per report; the last figures count.
    const FFmpegCommands::ProgressState running = FFmpegCommands::progressState(
        "frame=12\nfps=3.1\nout_time_us=400000\nprogress=continue\nframe=30\n"
        "out_time_us=1000000\nprogress=continue\nframe=3");
    QCOMPARE(running.frames, qint64(3));
    QCOMPARE(running.seconds, 1.0);
    QVERIFY(!running.finished);
    QVERIFY(FFmpegCommands::progressState("out_time_us=N/A\nprogress=end\n").finished);
    QCOMPARE(FFmpegCommands::progressState("out_time_us=N/A\n").seconds, 0.0);
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
