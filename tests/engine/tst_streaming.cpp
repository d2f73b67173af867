// The video pipeline with the processor engine: frames pass through pipes between ffmpeg,
// korvane-engine and ffmpeg, never through files; and the choice of engine.
#include <optional>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QObject>
#include <QTest>

#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/EngineChoice.h"
#include "engine/EngineSpeed.h"
#include "engine/FFmpegCommands.h"
#include "engine/StreamCommands.h"
#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "support/TestSupport.h"

namespace {

struct VideoFacts {
    int width = 0;
    int height = 0;
    qint64 frames = 0;
    double duration = 0;
    bool sound = false;
};

VideoFacts factsOf(const QString& path)
{
    VideoFacts facts;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return facts;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            const AVStream* stream = context->streams[i];
            if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
                facts.sound = true;
            if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
                continue;
            facts.width = stream->codecpar->width;
            facts.height = stream->codecpar->height;
            facts.frames = stream->nb_frames;
            facts.duration = double(stream->duration) * av_q2d(stream->time_base);
        }
    }
    avformat_close_input(&context);
    return facts;
}

// Picture files anywhere under the temporary or the work folder.
QStringList framesOnDisk()
{
    QStringList found;
    for (const QString& root : {QDir::tempPath(), WorkFolder::root()}) {
        QDirIterator it(root, {QStringLiteral("*.png")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(it.next());
    }
    return found;
}

// Processes whose parent is this test.
int childProcesses()
{
    int count = 0;
    const QString self = QString::number(::getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ...; the name may hold spaces, so count from its closing bracket.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && QString::fromLatin1(rest[1]) == self)
            ++count;
    }
    return count;
}

UpscaleOptions fastTo(qint64 height)
{
    UpscaleOptions options;
    options.targetHeight = height;
    options.codec = Codecs::h264;
    options.quality = AIQuality::Fast;
    return options;
}

} // namespace

Q_DECLARE_METATYPE(EngineKind)
Q_DECLARE_METATYPE(std::optional<VkPhysicalDeviceType>)

class StreamingTest final : public QObject {
    Q_OBJECT

private:
    QString m_clip;
    std::optional<StopToken::Scope> m_operation;

private Q_SLOTS:
    void initTestCase()
    {
        KorvaneTest::installStagedTools();
        const QString engine = EngineChoice::binary(EngineKind::Cpu);
        QFile::remove(engine);
        QVERIFY(QFile::link(QStringLiteral(KORVANE_TEST_TOOLS_STAGING "/realesrgan/korvane-engine"),
                            engine));
        qputenv("KORVANE_ENGINE", "cpu");
        QCOMPARE(EngineChoice::current(), EngineKind::Cpu);
        m_clip = KorvaneTest::isolatedRoot() + QStringLiteral("/clip 'ü'.mp4");
        QCOMPARE(KorvaneTest::runFFmpeg(
                     {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc2=size=64x36:rate=15"), QStringLiteral("-f"),
                      QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("sine=frequency=440"), QStringLiteral("-t"),
                      QStringLiteral("2"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                      QStringLiteral("-c:a"), QStringLiteral("aac"), m_clip}),
                 0);
    }

    // Every test runs as an operation of its own, so a stop never reaches the next one.
    void init() { m_operation.emplace(std::make_shared<StopToken>()); }
    void cleanup() { m_operation.reset(); }

    void enginePick_data()
    {
        QTest::addColumn<std::optional<VkPhysicalDeviceType>>("device");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<EngineKind>("expected");
        const std::optional<VkPhysicalDeviceType> cpu = VK_PHYSICAL_DEVICE_TYPE_CPU;
        const std::optional<VkPhysicalDeviceType> gpu = VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU;
        const std::optional<VkPhysicalDeviceType> none;
        QTest::newRow("software Vulkan") << cpu << QString() << EngineKind::Cpu;
        QTest::newRow("no Vulkan device") << none << QString() << EngineKind::Cpu;
        QTest::newRow("graphics card") << gpu << QString() << EngineKind::Vulkan;
        QTest::newRow("integrated graphics")
            << std::optional<VkPhysicalDeviceType>(VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU)
            << QString() << EngineKind::Vulkan;
        QTest::newRow("forced processor") << gpu << QStringLiteral("cpu") << EngineKind::Cpu;
        QTest::newRow("forced Vulkan") << cpu << QStringLiteral("vulkan") << EngineKind::Vulkan;
        QTest::newRow("unknown setting") << gpu << QStringLiteral("gpu") << EngineKind::Vulkan;
    }

    void enginePick()
    {
        QFETCH(std::optional<VkPhysicalDeviceType>, device);
        QFETCH(QString, setting);
        QFETCH(EngineKind, expected);
        QCOMPARE(EngineChoice::pick(device, setting), expected);
    }

    // The pipes carry exactly what the picture files would: the measured stream, the colour
    // handling and the sizes are the same; only where the frames come from and go differs.
    void streamCommandsMatchThePictureFileOnes()
    {
        VideoMeta meta;
        meta.fps = 25;
        meta.width = 1920;
        meta.height = 1080;
        meta.rotation = 90;
        meta.videoStream = 2;
        meta.transfer = QStringLiteral("smpte2084");
        const QString input = QStringLiteral("/videos/my clip.mov");
        const QStringList files =
            FFmpegCommands::segmentFrames(input, QStringLiteral("/in"), 15, 15, meta, 270, 480);
        const QStringList decode = StreamCommands::decode(input, 15, 15, meta, QSize(270, 480));
        const QStringList fromFiles = files.mid(1, files.size() - 4); // less -y and the PNG sink
        QCOMPARE(decode.mid(4, fromFiles.size()), fromFiles);
        QCOMPARE(decode.mid(4 + fromFiles.size()),
                 (QStringList{QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                              QStringLiteral("-f"), QStringLiteral("rawvideo"),
                              QStringLiteral("pipe:1")}));
        QVERIFY(decode.contains(QStringLiteral("0:2")));

        const VideoEncoder x264{QStringLiteral("libx264"), {QStringLiteral("-preset")}};
        const QStringList pictures = FFmpegCommands::segmentEncode(
            QStringLiteral("/out"), 25, 1080, 1920, x264, 8000000, false,
            QStringLiteral("/p.txt"), QStringLiteral("/seg.mp4"));
        const QStringList piped = StreamCommands::encode(QSize(1080, 1920), 25, QSize(1080, 1920),
                                                         x264, 8000000, false,
                                                         QStringLiteral("/seg.mp4"));
        // From the scale filter on, both encodes are the same.
        const qsizetype filter = pictures.indexOf(QStringLiteral("-vf"));
        QCOMPARE(piped.mid(piped.indexOf(QStringLiteral("-vf"))), pictures.mid(filter));
        QVERIFY(piped.contains(QStringLiteral("pipe:0")));
    }

    void engineReports()
    {
        QCOMPARE(StreamCommands::framesDone(""), 0);
        QCOMPARE(StreamCommands::framesDone("frame 1\nframe 2\nfra"), 2);
        QCOMPARE(StreamCommands::framesDone("frame 1\nframe 12\n"), 12);
        const QByteArray closing = "frame 30\ndone 30 frames in 4.250 s (0.142 s per frame)\n";
        QCOMPARE(StreamCommands::framesDone(closing), 30);
        QCOMPARE(StreamCommands::upscaleSeconds(closing), 4.25);
        QCOMPARE(StreamCommands::upscaleSeconds("frame 3\n"), 0.0);
    }

    void measuredSpeedIsKept()
    {
        const QString model = QStringLiteral("speed-test-model");
        QCOMPARE(EngineSpeed::secondsPerMegapixel(EngineKind::Cpu, model), std::nullopt);
        // Too little work to say anything: not kept.
        EngineSpeed::record(EngineKind::Cpu, model, 3.0, 0.5);
        QCOMPARE(EngineSpeed::secondsPerMegapixel(EngineKind::Cpu, model), std::nullopt);
        EngineSpeed::record(EngineKind::Cpu, model, 21.0, 2.0);
        QCOMPARE(EngineSpeed::secondsPerMegapixel(EngineKind::Cpu, model), 10.5);
        QCOMPARE(EngineSpeed::secondsPerMegapixel(EngineKind::Vulkan, model), std::nullopt);
        QCOMPARE(EngineSpeed::estimateSeconds(10.5, 30, QSize(480, 270)), 10.5 * 30 * 0.1296);
    }

    void clipStreamsWithoutFrameFiles()
    {
        QStringList seenOnDisk;
        int aiReports = 0;
        const QString result = UpscaleCore::shared().runAI(
            m_clip, fastTo(144), [&](double, const QString& status, const QString&) {
                if (status.startsWith(QLatin1String("AI")))
                    ++aiReports;
                seenOnDisk += framesOnDisk();
            });
        QVERIFY(aiReports > 0);
        QCOMPARE(seenOnDisk, QStringList());
        const VideoFacts facts = factsOf(result);
        QCOMPARE(facts.width, 256);
        QCOMPARE(facts.height, 144);
        QCOMPARE(facts.frames, qint64(30));
        QVERIFY2(qAbs(facts.duration - 2.0) < 0.05, qPrintable(QString::number(facts.duration)));
        QVERIFY(facts.sound);
        QVERIFY(QFile::remove(result));
    }

    void stopEndsEveryProgram()
    {
        int childrenAtStop = 0;
        try {
            UpscaleCore::shared().runAI(
                m_clip, fastTo(144), [&](double, const QString& status, const QString&) {
                    if (status.startsWith(QLatin1String("AI")) && childrenAtStop == 0) {
                        childrenAtStop = childProcesses();
                        StopToken::current().stop();
                    }
                });
            QFAIL("the run was not stopped");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(), QStringLiteral("Cancelled"));
        }
        // The engine and the encoder at least were still at work when the stop came.
        QVERIFY(childrenAtStop >= 2);
        QCOMPARE(childProcesses(), 0);
        QCOMPARE(QDir(WorkFolder::root())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }
};

KORVANE_TEST_MAIN(StreamingTest)
#include "tst_streaming.moc"
