#include <cmath>
#include <optional>

#include <QDir>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QTest>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/EncoderChoice.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

namespace {

struct Stream {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    QString codec;
    QString tag;
    int width = 0;
    int height = 0;
    double duration = 0;
};

// The streams of a finished file, read with libavformat.
QList<Stream> streamsOf(const QString& path)
{
    QList<Stream> streams;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return streams;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            const AVStream* s = context->streams[i];
            Stream stream;
            stream.type = s->codecpar->codec_type;
            stream.codec = QString::fromLatin1(avcodec_get_name(s->codecpar->codec_id));
            const quint32 tag = s->codecpar->codec_tag;
            for (int b = 0; b < 4; ++b)
                stream.tag += QLatin1Char(char((tag >> (8 * b)) & 0xff));
            stream.width = s->codecpar->width;
            stream.height = s->codecpar->height;
            stream.duration = double(s->duration) * av_q2d(s->time_base);
            streams.append(stream);
        }
    }
    avformat_close_input(&context);
    return streams;
}

std::optional<Stream> streamOf(const QList<Stream>& streams, AVMediaType type)
{
    for (const Stream& stream : streams) {
        if (stream.type == type)
            return stream;
    }
    return std::nullopt;
}

QStringList args(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '));
}

QString clip(const QString& name)
{
    return KorvaneTest::isolatedRoot() + QStringLiteral("/clips 'ü'/") + name;
}

// Everything a run may leave in the temporary folder.
QStringList workEntries()
{
    return QDir(QDir::tempPath())
        .entryList({QStringLiteral("ai-*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
}

struct Report {
    double fraction;
    QString status;
    QString eta;
};

// Free space figures handed out one per query; the last one repeats.
std::function<std::optional<qint64>()> freeSpaceSequence(QList<qint64> figures)
{
    auto calls = std::make_shared<int>(0);
    return [figures, calls]() -> std::optional<qint64> {
        const int index = std::min(*calls, int(figures.size()) - 1);
        ++*calls;
        return figures.at(index);
    };
}

constexpr qint64 kPlenty = 100000000000LL;

} // namespace

class VideoPipelineTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void endToEnd_data();
    void endToEnd();
    void severalSegments();
    void variableFrameRate();
    void stops_data();
    void stops();
    void refusals_data();
    void refusals();
    void noFramesProduced();

private:
    QString run(const QString& input, qint64 target, const QString& codec);
    void checkReports(int segments);

    QList<Report> m_reports;
};

void VideoPipelineTest::initTestCase()
{
    // Work folders, segment paths and the join list all carry a space, a quote and a non-ASCII
    // letter.
    const QString temp = KorvaneTest::isolatedRoot() + QStringLiteral("/tmp it's ü");
    QVERIFY(QDir().mkpath(temp));
    qputenv("TMPDIR", QFile::encodeName(temp));
    QCOMPARE(QDir::tempPath(), temp);
    QVERIFY(QDir().mkpath(clip(QString())));
    KorvaneTest::installStagedTools();

    const struct {
        const char* name;
        const char* make;
    } clips[] = {
        {"sound 2 s.mp4", "-f lavfi -i testsrc=size=32x18:rate=2 -f lavfi -i sine=frequency=440 "
                          "-t 2 -pix_fmt yuv420p -c:a aac"},
        {"silent 2 s.mp4", "-f lavfi -i testsrc=size=32x18:rate=2 -t 2 -pix_fmt yuv420p"},
        {"silent 1 s.mp4", "-f lavfi -i testsrc=size=32x18:rate=2 -t 1 -pix_fmt yuv420p"},
        {"sound 2.5 s.mp4", "-f lavfi -i testsrc=size=32x18:rate=2 -f lavfi -i "
                            "sine=frequency=440 -t 2.5 -pix_fmt yuv420p -c:a aac"},
        // Every third frame dropped: the container says 6 fps, the average is 30/7.
        {"variable rate.mp4", "-f lavfi -i testsrc=size=32x18:rate=6 -f lavfi -i "
                              "sine=frequency=440 -t 2.5 -vf select='not(eq(mod(n\\,3)\\,2))' "
                              "-fps_mode vfr -pix_fmt yuv420p -c:a aac"},
        {"long.mp4", "-f lavfi -i testsrc=size=32x18:rate=1 -t 200 -pix_fmt yuv420p"},
        {"sound only.m4a", "-f lavfi -i sine=frequency=440 -t 1 -c:a aac"},
    };
    for (const auto& entry : clips)
        QCOMPARE(KorvaneTest::runFFmpeg(args(entry.make) +
                                        QStringList{clip(QString::fromUtf8(entry.name))}),
                 0);

    // An interrupted recording: the index at the end of the file never got written.
    QFile whole(clip(QStringLiteral("sound 2 s.mp4")));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QFile truncated(clip(QStringLiteral("truncated.mp4")));
    QVERIFY(truncated.open(QIODevice::WriteOnly));
    truncated.write(whole.read(whole.size() / 2));
    QFile(clip(QStringLiteral("empty.mp4"))).open(QIODevice::WriteOnly);
    QFile text(clip(QStringLiteral("notes.mp4")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("Not a video.\n");

    // Only the software encoders work on this machine; the hardware ones are tried first.
    QCOMPARE(EncoderChoice::forCodec(false).name, QStringLiteral("libx264"));
    QCOMPARE(EncoderChoice::forCodec(true).name, QStringLiteral("libx265"));
}

void VideoPipelineTest::init()
{
    UpscaleCore::shared().setCancelled(false);
    UpscaleCore::shared().setFreeDiskBytesProvider([] { return kPlenty; });
    m_reports.clear();
}

void VideoPipelineTest::cleanup()
{
    // A failed check may have left its result file; a passing run leaves nothing of its own.
    if (QTest::currentTestFailed())
        UpscaleCore::removeTempEntries(UpscaleCore::staleTempEntries());
    QCOMPARE(workEntries(), QStringList());
    UpscaleCore::shared().setCancelled(false);
    KorvaneTest::installStagedTools();
}

QString VideoPipelineTest::run(const QString& input, qint64 target, const QString& codec)
{
    UpscaleOptions options;
    options.targetHeight = target;
    options.codec = codec;
    options.quality = AIQuality::Fast;
    return UpscaleCore::shared().runAI(
        input, options, [this](double fraction, const QString& status, const QString& eta) {
            m_reports.append({fraction, status, eta});
        });
}

// The reports follow the pipeline's table, segment by segment, and never go backwards.
void VideoPipelineTest::checkReports(int segments)
{
    const double share = 1.0 / segments;
    const QRegularExpression etaText(QStringLiteral("^(Calculating ETA…|\\d+s|\\d+m \\d+s)$"));
    QVERIFY(m_reports.size() >= 2 + 3 * segments);
    for (qsizetype i = 1; i < m_reports.size(); ++i)
        QVERIFY2(m_reports[i].fraction >= m_reports[i - 1].fraction,
                 qPrintable(m_reports[i].status));
    qsizetype at = 0;
    for (int segment = 0; segment < segments; ++segment) {
        const double base = share * segment;
        const QString number =
            QString::number(segment + 1) + QLatin1Char('/') + QString::number(segments);
        const Report& start = m_reports[at++];
        QCOMPARE(start.status, QStringLiteral("Preparing segment ") + number + QStringLiteral("…"));
        QCOMPARE(start.fraction, base);
        QCOMPARE(start.eta, QStringLiteral("Calculating ETA…"));
        QCOMPARE(m_reports[at].status, QStringLiteral("Loading AI model…"));
        QCOMPARE(m_reports[at].fraction, base + share * 0.06);
        bool enhancing = false;
        while (m_reports[at].status !=
               QStringLiteral("Encoding segment ") + number + QStringLiteral("…")) {
            const Report& ai = m_reports[at++];
            if (ai.status == QStringLiteral("AI enhancing frames…"))
                enhancing = true;
            else
                QVERIFY2(!enhancing && ai.status == QStringLiteral("Loading AI model…"),
                         qPrintable(ai.status));
            QVERIFY(ai.fraction >= base + share * 0.06 - 1e-9);
            QVERIFY(ai.fraction <= base + share * 0.88 + 1e-9);
            QVERIFY2(etaText.match(ai.eta).hasMatch(), qPrintable(ai.eta));
        }
        const Report& encoding = m_reports[at++];
        QVERIFY(qAbs(encoding.fraction - (base + share * 0.9)) < 1e-9);
        QCOMPARE(encoding.eta, QString());
    }
    QCOMPARE(m_reports.size(), at + 2);
    QCOMPARE(m_reports[at].fraction, 0.95);
    QCOMPARE(m_reports[at].status, QStringLiteral("Finalizing…"));
    QCOMPARE(m_reports[at].eta, QString());
    QCOMPARE(m_reports[at + 1].fraction, 1.0);
    QCOMPARE(m_reports[at + 1].status, QStringLiteral("Done"));
    QCOMPARE(m_reports[at + 1].eta, QString());
}

void VideoPipelineTest::endToEnd_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<bool>("sound");

    QTest::newRow("H.264 with sound")
        << QStringLiteral("sound 2 s.mp4") << qint64(72) << Codecs::h264 << QSize(128, 72)
        << QStringLiteral("h264") << QStringLiteral("avc1") << true;
    QTest::newRow("HEVC without sound")
        << QStringLiteral("silent 2 s.mp4") << qint64(36) << Codecs::hevc << QSize(64, 36)
        << QStringLiteral("hevc") << QStringLiteral("hvc1") << false;
}

void VideoPipelineTest::endToEnd()
{
    QFETCH(QString, input);
    QFETCH(qint64, target);
    QFETCH(QString, codec);
    const QString result = run(clip(input), target, codec);

    QCOMPARE(QFileInfo(result).absolutePath(), QDir::tempPath());
    QVERIFY(
        QRegularExpression(QStringLiteral("^ai-[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}\\.mp4$"))
            .match(QFileInfo(result).fileName())
            .hasMatch());
    const QList<Stream> streams = streamsOf(result);
    const std::optional<Stream> video = streamOf(streams, AVMEDIA_TYPE_VIDEO);
    QVERIFY(video);
    QTEST(QSize(video->width, video->height), "size");
    QTEST(video->codec, "codecName");
    QTEST(video->tag, "tag");
    // Two seconds at 2 fps: within one frame.
    QVERIFY2(qAbs(video->duration - 2.0) <= 0.5, qPrintable(QString::number(video->duration)));
    const std::optional<Stream> audio = streamOf(streams, AVMEDIA_TYPE_AUDIO);
    QTEST(audio.has_value(), "sound");
    if (audio)
        QCOMPARE(audio->codec, QStringLiteral("aac"));
    checkReports(1);
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::severalSegments()
{
    // At 2160 lines the frames of one second take 25 MB here; with 115 MB free when the estimate
    // is made, a segment may hold 2 s. Later queries see plenty again.
    UpscaleCore::shared().setFreeDiskBytesProvider(
        freeSpaceSequence({4000000000LL, 115000000LL, 4000000000LL}));
    const QString result = run(clip(QStringLiteral("sound 2.5 s.mp4")), 2160, Codecs::h264);
    checkReports(2);

    const QList<Stream> streams = streamsOf(result);
    const std::optional<Stream> video = streamOf(streams, AVMEDIA_TYPE_VIDEO);
    QVERIFY(video);
    QCOMPARE(QSize(video->width, video->height), QSize(3840, 2160));
    // Both segments are in: 2 s + 0.5 s.
    QVERIFY2(qAbs(video->duration - 2.5) < 0.25, qPrintable(QString::number(video->duration)));
    QVERIFY(streamOf(streams, AVMEDIA_TYPE_AUDIO));
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::variableFrameRate()
{
    const QString input = clip(QStringLiteral("variable rate.mp4"));
    const UpscaleCore::Meta source = UpscaleCore::loadMeta(input);
    const QString result = run(input, 36, Codecs::h264);

    const QList<Stream> streams = streamsOf(result);
    const std::optional<Stream> video = streamOf(streams, AVMEDIA_TYPE_VIDEO);
    const std::optional<Stream> audio = streamOf(streams, AVMEDIA_TYPE_AUDIO);
    QVERIFY(video && audio);
    const double frame = 1.0 / source.fps;
    QVERIFY2(
        qAbs(video->duration - source.duration) <= frame,
        qPrintable(
            QStringLiteral("video %1 s, source %2 s").arg(video->duration).arg(source.duration)));
    QVERIFY2(
        qAbs(audio->duration - video->duration) <= frame,
        qPrintable(
            QStringLiteral("sound %1 s, video %2 s").arg(audio->duration).arg(video->duration)));
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::stops_data()
{
    QTest::addColumn<QString>("during");
    QTest::addColumn<int>("reportNumber"); // which report of that phase stops the run
    QTest::newRow("extraction") << QStringLiteral("Preparing segment") << 1;
    // The second AI report comes while the engine is running.
    QTest::newRow("AI pass") << QStringLiteral("Loading AI model") << 2;
    QTest::newRow("encoding") << QStringLiteral("Encoding segment") << 1;
}

void VideoPipelineTest::stops()
{
    QFETCH(QString, during);
    QFETCH(int, reportNumber);
    UpscaleOptions options;
    options.targetHeight = 36;
    options.codec = Codecs::h264;
    options.quality = AIQuality::Fast;
    int seen = 0;
    double last = 0;
    bool backwards = false;
    try {
        UpscaleCore::shared().runAI(
            clip(QStringLiteral("silent 1 s.mp4")), options,
            [&](double fraction, const QString& status, const QString&) {
                backwards = backwards || fraction < last;
                last = fraction;
                const bool aiPhase = during.startsWith(QLatin1String("Loading")) &&
                                     (status.startsWith(QLatin1String("Loading")) ||
                                      status.startsWith(QLatin1String("AI")));
                // A slow machine may report once more before the stopped program has exited.
                if (seen < reportNumber && (aiPhase || status.startsWith(during)) &&
                    ++seen == reportNumber)
                    UpscaleCore::shared().cancel();
            });
        QFAIL("the run was not stopped");
    } catch (const EngineError& error) {
        QCOMPARE(error.message(), QStringLiteral("Cancelled"));
    }
    QCOMPARE(seen, reportNumber);
    QVERIFY(!backwards);
}

void VideoPipelineTest::refusals_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<QList<qint64>>("freeSpace");
    QTest::addColumn<QString>("message");

    const QList<qint64> plenty{kPlenty};
    QTest::newRow("already at the target")
        << QStringLiteral("sound 2 s.mp4") << qint64(18) << plenty
        << QStringLiteral("This video is already 18p — at or above the 18p output you chose, so "
                          "there's nothing to upscale.");
    QTest::newRow("above the target")
        << QStringLiteral("sound 2 s.mp4") << qint64(16) << plenty
        << QStringLiteral("This video is already 18p — at or above the 16p output you chose, so "
                          "there's nothing to upscale.");
    QTest::newRow("under 3 GB free at the start")
        << QStringLiteral("sound 2 s.mp4") << qint64(72) << QList<qint64>{2999999999LL}
        << QStringLiteral("Not enough free disk space to upscale. Free up a few GB and try again.");
    // 200 s at 1.75 MB/s, three copies, plus one segment of frames, plus 15 %: 1.12 GiB.
    QTest::newRow("estimate larger than the free space")
        << QStringLiteral("long.mp4") << qint64(72) << QList<qint64>{4000000000LL, 1000000000LL}
        << QStringLiteral("Not enough storage. This upscale needs about 1.1 GB free, but only 0.9 "
                          "GB is available. Free up space and try again.");
    QTest::newRow("space runs low before a segment")
        << QStringLiteral("sound 2 s.mp4") << qint64(72)
        << QList<qint64>{4000000000LL, 4000000000LL, 1000000000LL}
        << QStringLiteral("Storage ran low during upscaling, so it was stopped to protect your "
                          "disk. Free up space and try again.");
    QTest::newRow("sound only") << QStringLiteral("sound only.m4a") << qint64(72) << plenty
                                << QStringLiteral("No video track found");
    const QString invalid = QStringLiteral("Invalid data found when processing input");
    QTest::newRow("truncated MP4")
        << QStringLiteral("truncated.mp4") << qint64(72) << plenty << invalid;
    QTest::newRow("empty file") << QStringLiteral("empty.mp4") << qint64(72) << plenty << invalid;
    QTest::newRow("text file") << QStringLiteral("notes.mp4") << qint64(72) << plenty << invalid;
}

void VideoPipelineTest::refusals()
{
    QFETCH(QString, input);
    QFETCH(qint64, target);
    QFETCH(QList<qint64>, freeSpace);
    UpscaleCore::shared().setFreeDiskBytesProvider(freeSpaceSequence(freeSpace));
    try {
        run(clip(input), target, Codecs::h264);
        QFAIL("the run was not refused");
    } catch (const EngineError& error) {
        QTEST(error.message(), "message");
    }
    // Refused before any frame was made.
    QVERIFY(m_reports.size() <= 1);
}

void VideoPipelineTest::noFramesProduced()
{
    // An ffmpeg that succeeds without writing a frame.
    KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(), "exit 0");
    try {
        run(clip(QStringLiteral("sound 2 s.mp4")), 72, Codecs::h264);
        QFAIL("the run succeeded without frames");
    } catch (const EngineError& error) {
        QCOMPARE(error.message(), QStringLiteral("No frames were produced."));
    }
}

KORVANE_TEST_MAIN(VideoPipelineTest)
#include "tst_videopipeline.moc"
