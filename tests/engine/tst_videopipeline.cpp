#include <cmath>
#include <optional>

#include <QDir>
#include <QImage>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QTest>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/EncoderChoice.h"
#include "engine/EngineLog.h"
#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "support/RotatedClip.h"
#include "engine/WorkFolder.h"
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
    return QDir(WorkFolder::root())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
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

// The first frame of a file as RGB, decoded the way its BT.709 tags say.
QImage firstFrame(const QString& path)
{
    const QString png = QDir::tempPath() + QStringLiteral("/../first frame.png");
    if (KorvaneTest::runFFmpeg({QStringLiteral("-y"), QStringLiteral("-i"), path,
                                QStringLiteral("-vf"),
                                QStringLiteral("scale=in_color_matrix=bt709:in_range=tv"),
                                QStringLiteral("-frames:v"), QStringLiteral("1"), png}) != 0)
        return {};
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

// The container's title, creation time and location, and its number of chapters.
std::pair<QStringList, int> containerFacts(const QString& path)
{
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return {};
    QStringList tags;
    for (const char* key : {"title", "creation_time", "location"}) {
        const AVDictionaryEntry* entry = av_dict_get(context->metadata, key, nullptr, 0);
        tags.append(entry ? QString::fromUtf8(entry->value) : QString());
    }
    const std::pair<QStringList, int> facts{tags, int(context->nb_chapters)};
    avformat_close_input(&context);
    return facts;
}

// An ffmpeg that runs the real one but spoils part of its work: "drop" keeps only the first frame
// of the first segment encode, "lose" removes the third and fourth frames of the first extraction
// ("always": of every one), "busy" fails every real encode with h264_nvenc while letting its test
// encode pass.
QByteArray wrappedFFmpeg(const QString& mode)
{
    const QByteArray real = QByteArrayLiteral(KORVANE_TEST_TOOLS_STAGING) + "/ffmpeg";
    QByteArray body = "real='" + real + "'\nfor a; do out=\"$a\"; done\n";
    if (mode == QLatin1String("busy"))
        return body + "case \" $* \" in *' h264_nvenc '*' null '*) exit 0;; *' h264_nvenc '*) "
                      "echo 'OpenEncodeSessionEx failed: no encode sessions left' >&2; exit 1;; "
                      "esac\nexec \"$real\" \"$@\"";
    const QByteArray once = mode.endsWith(QLatin1String("always")) ? "" : "[ -e \"$0.done\" ] || ";
    if (mode.startsWith(QLatin1String("lose")))
        return body +
               "\"$real\" \"$@\" || exit $?\ncase \" $* \" in *' -framerate '*) ;; "
               "*frame_%08d.png*) " +
               once +
               "{ touch \"$0.done\"; rm -f \"${out%/*}/frame_00000003.png\" "
               "\"${out%/*}/frame_00000004.png\"; };; esac";
    return body + "\"$real\" \"$@\" || exit $?\ncase \" $* \" in *' -framerate '*) " + once +
           "{ touch \"$0.done\"; \"$real\" -v error -y -i \"$out\" -frames:v 1 -c copy "
           "\"$out.mp4\" && mv \"$out.mp4\" \"$out\"; };; esac";
}

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
    void displayGeometry_data();
    void displayGeometry();
    void streamsAndMetadata();
    void colour_data();
    void colour();
    void segmentRedone_data();
    void segmentRedone();
    void encoderFallback();
    void undecodableSoundLeftOut();
    void ffmpegThatCannotStartIsNotTheSound();

private:
    QString run(const QString& input, qint64 target, const QString& codec);
    void checkReports(int segments);

    QList<Report> m_reports;
    std::optional<StopToken::Scope> m_operation;
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
        // Stored 64×36 with a red top-left corner; turned to portrait below.
        {"rotated.mp4", "-f lavfi -i color=c=black:s=64x36:r=2 -t 1 -vf "
                        "drawbox=x=0:y=0:w=16:h=9:color=red:t=fill -pix_fmt yuv420p"},
        {"anamorphic.mp4",
         "-f lavfi -i testsrc=size=48x36:rate=2 -t 1 -vf setsar=4/3 -pix_fmt yuv420p"},
        {"flat.mp4", "-f lavfi -i color=c=0x6080A0:s=32x18:r=2 -t 1 -vf "
                     "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p -colorspace bt709 "
                     "-color_primaries bt709 -color_trc bt709 -color_range tv"},
        // A flat patch at the PQ level of reference white (203 cd/m²).
        {"pq.mp4", "-f lavfi -i color=c=black:s=32x18:r=2 -t 1 -vf "
                   "format=yuv420p10le,geq=lum=572:cb=512:cr=512 -pix_fmt yuv420p10le -c:v libx265 "
                   "-x265-params log-level=error -color_primaries bt2020 -color_trc smpte2084 "
                   "-colorspace bt2020nc -color_range tv"},
    };
    for (const auto& entry : clips)
        QCOMPARE(KorvaneTest::runFFmpeg(args(entry.make) +
                                        QStringList{clip(QString::fromUtf8(entry.name))}),
                 0);

    KorvaneTest::rotateFirstTrack(clip(QStringLiteral("rotated.mp4")));

    // Two sound tracks, a text subtitle, chapters, a title and a creation time.
    const QString subtitles = clip(QStringLiteral("subtitles.srt"));
    QVERIFY(KorvaneTest::writeFile(subtitles, "1\n00:00:00,000 --> 00:00:01,500\nHello\n"));
    const QString chapters = clip(QStringLiteral("chapters.txt"));
    QVERIFY(KorvaneTest::writeFile(chapters, ";FFMETADATA1\ntitle=Our trip\n[CHAPTER]\n"
                                             "TIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=One\n"
                                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\n"
                                             "title=Two\n"));
    QCOMPARE(KorvaneTest::runFFmpeg(
                 args("-f lavfi -i testsrc=size=32x18:rate=2 -f lavfi -i sine=frequency=440 -f "
                      "lavfi -i sine=frequency=880 -i") +
                 QStringList{subtitles, QStringLiteral("-i"), chapters} +
                 args("-map 0:v -map 1:a -map 2:a -map 3:s -map_metadata 4 -map_chapters 4 -t 2 "
                      "-c:s mov_text -c:a aac -pix_fmt yuv420p -metadata "
                      "creation_time=2024-05-01T10:00:00Z -metadata location=+48.8577+002.2950/") +
                 QStringList{clip(QStringLiteral("streams.mp4"))}),
             0);

    // Two sound tracks, the second with damaged packets that cannot be decoded.
    const QString twoTracks = clip(QStringLiteral("two tracks.mp4"));
    QCOMPARE(KorvaneTest::runFFmpeg(args("-f lavfi -i testsrc=size=32x18:rate=2 -f lavfi -i "
                                         "sine=frequency=440 -f lavfi -i sine=frequency=880 -map "
                                         "0:v -map 1:a -map 2:a -t 2 -pix_fmt yuv420p -c:a aac") +
                                    QStringList{twoTracks}),
             0);
    QCOMPARE(KorvaneTest::runFFmpeg(QStringList{QStringLiteral("-i"), twoTracks} +
                                    args("-map 0 -c copy -bsf:a:1 noise=amount=3") +
                                    QStringList{clip(QStringLiteral("damaged sound.mp4"))}),
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
    // Every test runs as an operation of its own, so a stop never reaches the next one.
    m_operation.emplace(std::make_shared<StopToken>());
    UpscaleCore::shared().setFreeDiskBytesProvider([] { return kPlenty; });
    m_reports.clear();
}

void VideoPipelineTest::cleanup()
{
    // A failed check may have left its result file; a passing run leaves nothing of its own.
    if (QTest::currentTestFailed())
        UpscaleCore::removeTempEntries(UpscaleCore::staleTempEntries());
    QCOMPARE(workEntries(), QStringList());
    m_operation.reset();
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

// The reports follow the pipeline's table, segment by segment: extraction ticks, the AI pass and
// the encoding ticks, then the join. They never go backwards, and once a remaining time has been
// measured every report but the last carries one.
void VideoPipelineTest::checkReports(int segments)
{
    const double share = 1.0 / segments;
    const QString calculating = QStringLiteral("Calculating ETA…");
    const QRegularExpression etaText(QStringLiteral("^(\\d+s|\\d+m \\d+s)$"));
    bool estimated = false;
    bool frameDone = false;
    for (qsizetype i = 0; i + 1 < m_reports.size(); ++i) {
        const Report& report = m_reports[i];
        if (i > 0)
            QVERIFY2(report.fraction >= m_reports[i - 1].fraction, qPrintable(report.status));
        if (estimated || report.eta != calculating) {
            QVERIFY2(etaText.match(report.eta).hasMatch(),
                     qPrintable(report.status + QStringLiteral(": ") + report.eta));
            // The estimate comes from measured work: the pace since the first enhanced frame.
            QVERIFY(frameDone);
            estimated = true;
        }
        frameDone = frameDone || report.status == QStringLiteral("AI enhancing frames…");
    }
    QVERIFY(estimated);
    for (int segment = 0; segment < segments; ++segment) {
        const double base = share * segment;
        const QString number =
            QString::number(segment + 1) + QLatin1Char('/') + QString::number(segments);
        const auto phase = [&](const QString& status) {
            QList<double> fractions;
            for (const Report& report : std::as_const(m_reports)) {
                if (report.status == status)
                    fractions.append(report.fraction);
            }
            return fractions;
        };
        const QList<double> preparing =
            phase(QStringLiteral("Preparing segment ") + number + QStringLiteral("…"));
        // The start, then at least the tick after the frames are written.
        QVERIFY(preparing.size() >= 2);
        QCOMPARE(preparing.first(), base);
        QVERIFY(qAbs(preparing.last() - (base + share * 0.06)) < 1e-9);
        const QList<double> encoding =
            phase(QStringLiteral("Encoding segment ") + number + QStringLiteral("…"));
        QVERIFY(encoding.size() >= 2);
        QVERIFY(qAbs(encoding.first() - (base + share * 0.9)) < 1e-9);
        QVERIFY(qAbs(encoding.last() - (base + share * 0.95)) < 1e-9);
    }
    const QList<Report> tail = m_reports.mid(m_reports.size() - 2);
    QCOMPARE(tail[0].status, QStringLiteral("Finalizing…"));
    QVERIFY(tail[0].fraction >= 0.975);
    QCOMPARE(tail[1].fraction, 1.0);
    QCOMPARE(tail[1].status, QStringLiteral("Done"));
    QCOMPARE(tail[1].eta, QString());
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

    QCOMPARE(QFileInfo(result).absolutePath(), WorkFolder::root());
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
                    StopToken::current().stop();
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

void VideoPipelineTest::displayGeometry_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<QSize>("size");

    // Stored 64×36 with a quarter turn: shown 36×64, so 144 lines make 144×256.
    QTest::newRow("rotated phone clip")
        << QStringLiteral("rotated.mp4") << qint64(144) << QSize(144, 256);
    // Stored 48×36 with 4:3 pixels: shown 64×36.
    QTest::newRow("anamorphic clip")
        << QStringLiteral("anamorphic.mp4") << qint64(72) << QSize(128, 72);
}

void VideoPipelineTest::displayGeometry()
{
    QFETCH(QString, input);
    QFETCH(qint64, target);
    const QString result = run(clip(input), target, Codecs::h264);
    const VideoMeta facts = VideoMeta::load(result);
    QTEST(QSize(int(facts.width), int(facts.height)), "size");
    // Square pixels, no rotation left for players to apply.
    QCOMPARE(facts.rotation, 0);
    QCOMPARE(facts.pixelAspect, 1.0);

    // The corner that ffmpeg shows red in the source is red in the result.
    const QImage source = firstFrame(clip(input));
    const QImage upscaled = firstFrame(result);
    QTEST(upscaled.size(), "size");
    if (input == QLatin1String("rotated.mp4")) {
        QCOMPARE(source.size(), QSize(36, 64));
        int redCorners = 0;
        for (const QPoint corner : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
            const QColor before = source.pixelColor(corner.x() * 33 + 1, corner.y() * 61 + 1);
            const QColor after = upscaled.pixelColor(corner.x() * 139 + 2, corner.y() * 251 + 2);
            const bool red = before.red() > 150 && before.green() < 80;
            QCOMPARE(after.red() > 150 && after.green() < 80, red);
            redCorners += red ? 1 : 0;
        }
        QCOMPARE(redCorners, 1);
    }
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::streamsAndMetadata()
{
    const QString result = run(clip(QStringLiteral("streams.mp4")), 36, Codecs::h264);
    const VideoMeta facts = VideoMeta::load(result);
    QCOMPARE(facts.audioTracks.size(), 2);
    for (const MediaTrack& track : facts.audioTracks) {
        QCOMPARE(track.codec, QStringLiteral("aac"));
        QVERIFY2(qAbs(track.duration - 2.0) < 0.1, qPrintable(QString::number(track.duration)));
    }
    QCOMPARE(facts.subtitleTracks.size(), 1);
    QCOMPARE(facts.subtitleTracks[0].codec, QStringLiteral("mov_text"));
    const std::pair<QStringList, int> container = containerFacts(result);
    QCOMPARE(container.first,
             (QStringList{QStringLiteral("Our trip"), QStringLiteral("2024-05-01T10:00:00.000000Z"),
                          QStringLiteral("+48.8577+002.2950/")}));
    QCOMPARE(container.second, 2);
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::colour_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("minimum"); // of each channel of the middle pixel
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QColor>("colour"); // invalid: any colour in the range

    QTest::newRow("BT.709 mid colour keeps its RGB")
        << QStringLiteral("flat.mp4") << 0 << 255 << QColor(0x60, 0x80, 0xA0);
    // Read as standard range the patch is a flat grey of 148; tone-mapped it is near white.
    QTest::newRow("PQ reference white is tone-mapped")
        << QStringLiteral("pq.mp4") << 170 << 235 << QColor();
}

void VideoPipelineTest::colour()
{
    QFETCH(QString, input);
    const QString result = run(clip(input), 36, Codecs::h264);
    const VideoMeta facts = VideoMeta::load(result);
    QCOMPARE((QStringList{facts.primaries, facts.transfer, facts.matrix, facts.range}),
             (QStringList{QStringLiteral("bt709"), QStringLiteral("bt709"), QStringLiteral("bt709"),
                          QStringLiteral("tv")}));
    const QColor middle = firstFrame(result).pixelColor(32, 18);
    const QString seen =
        QStringLiteral("%1 %2 %3").arg(middle.red()).arg(middle.green()).arg(middle.blue());
    QFETCH(QColor, colour);
    if (colour.isValid()) {
        QVERIFY2(qAbs(middle.red() - colour.red()) <= 4 &&
                     qAbs(middle.green() - colour.green()) <= 4 &&
                     qAbs(middle.blue() - colour.blue()) <= 4,
                 qPrintable(seen));
    } else {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        for (const int channel : {middle.red(), middle.green(), middle.blue()})
            QVERIFY2(channel >= minimum && channel <= maximum, qPrintable(seen));
    }
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::segmentRedone_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("message"); // empty: the run succeeds
    QTest::newRow("one short encode is redone") << QStringLiteral("drop") << QString();
    QTest::newRow("a second short encode ends the job")
        << QStringLiteral("drop always")
        << QStringLiteral("Segment 1/2 of the video could not be encoded completely (1 of 4 "
                          "frames, twice), so the upscale was stopped. Please try again.");
    QTest::newRow("one short extraction is redone") << QStringLiteral("lose") << QString();
    QTest::newRow("a second short extraction ends the job")
        << QStringLiteral("lose always")
        << QStringLiteral("Segment 1/2 of the video could not be read completely (2 of 4 "
                          "frames, twice), so the upscale was stopped. Please try again.");
}

void VideoPipelineTest::segmentRedone()
{
    QFETCH(QString, mode);
    KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(), wrappedFFmpeg(mode));
    QFile::remove(UpscaleCore::ffmpeg() + QStringLiteral(".done"));
    // Two segments of 2 s and 0.5 s (as in severalSegments); the first is whole.
    UpscaleCore::shared().setFreeDiskBytesProvider(
        freeSpaceSequence({4000000000LL, 115000000LL, 4000000000LL}));
    QString result;
    try {
        result = run(clip(QStringLiteral("sound 2.5 s.mp4")), 2160, Codecs::h264);
    } catch (const EngineError& error) {
        QTEST(error.message(), "message");
        return;
    }
    QTEST(QString(), "message");
    const VideoMeta facts = VideoMeta::load(result);
    QCOMPARE(facts.frameCount, qint64(5));
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::encoderFallback()
{
    QStringList lines;
    EngineLog::setSink([&lines](const QString& line) { lines.append(line); });
    KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(), wrappedFFmpeg(QStringLiteral("busy")));
    EncoderChoice::forget();
    QCOMPARE(EncoderChoice::forCodec(false).name, QStringLiteral("h264_nvenc"));
    const QString result = run(clip(QStringLiteral("sound 2.5 s.mp4")), 36, Codecs::h264);
    EngineLog::setSink({});
    EncoderChoice::forget();
    // No failure: the segment went to the software encoder, which stays for later runs.
    QCOMPARE(lines.filter(QStringLiteral("failed to encode")),
             QStringList{QStringLiteral("Korvane: h264_nvenc failed to encode; H.264 video of "
                                        "640×360 is encoded with libx264 from now on")});
    QCOMPARE(VideoMeta::load(result).frameCount, qint64(5));
    QVERIFY(QFile::remove(result));
}

void VideoPipelineTest::undecodableSoundLeftOut()
{
    QStringList lines;
    EngineLog::setSink([&lines](const QString& line) { lines.append(line); });
    const QString input = clip(QStringLiteral("damaged sound.mp4"));
    const QString result = run(input, 36, Codecs::h264);
    EngineLog::setSink({});
    // The good track is kept; the damaged one is left out with a note in the log, found before
    // any frame was made.
    const VideoMeta facts = VideoMeta::load(result);
    QCOMPARE(facts.audioTracks.size(), 1);
    const QStringList notes = lines.filter(QStringLiteral("can't be decoded"));
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].startsWith(QStringLiteral("Korvane: audio track 2 (aac) of ") + input +
                                 QStringLiteral(" can't be decoded and is left out")),
             qPrintable(notes[0]));
    QVERIFY(QFile::remove(result));
}

// An ffmpeg the loader refuses fails the job with that reason at the sound check, instead of
// leaving every track out as undecodable.
void VideoPipelineTest::ffmpegThatCannotStartIsNotTheSound()
{
    QFile::remove(UpscaleCore::ffmpeg());
    QVERIFY(QFile::copy(QStringLiteral(KORVANE_TEST_UNLOADABLE), UpscaleCore::ffmpeg()));
    QStringList lines;
    EngineLog::setSink([&lines](const QString& line) { lines.append(line); });
    try {
        run(clip(QStringLiteral("sound 2 s.mp4")), 36, Codecs::h264);
        QFAIL("the run succeeded without ffmpeg");
    } catch (const EngineError& error) {
        QCOMPARE(error.message(),
                 QStringLiteral("ffmpeg can't start: libkorvaneprobe.so.3 is missing. Reinstall "
                                "Korvane, or install the package that provides it."));
    }
    EngineLog::setSink({});
    QCOMPARE(lines.filter(QStringLiteral("can't be decoded")), QStringList());
}

KORVANE_TEST_MAIN(VideoPipelineTest)
#include "tst_videopipeline.moc"
