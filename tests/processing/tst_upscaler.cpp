#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMediaPlayer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include "engine/EngineLog.h"
#include "engine/SystemAdvisor.h"
#include "engine/SystemFacts.h"
#include "engine/UpscaleCore.h"
#include "engine/UpscaleOptions.h"
#include "processing/AppSettings.h"
#include "processing/HistoryStore.h"
#include "processing/JobQueue.h"
#include "processing/JobSpeed.h"
#include "processing/SaveDialog.h"
#include "processing/Upscaler.h"
#include "support/ModelTestSupport.h"
#include "support/NotificationServer.h"
#include "support/RotatedClip.h"
#include "engine/WorkFolder.h"
#include "support/TestSupport.h"

Q_DECLARE_METATYPE(SystemFacts::AiDevice)

namespace {
constexpr int jobWaitMs = 240000;
constexpr int waitMs = 20000;

QJsonArray readHistoryArray()
{
    HistoryStore::shared().flush();
    return QJsonDocument::fromJson(KorvaneTest::readFile(Upscaler::historyPath())).array();
}

QStringList sortedKeys(const QJsonObject& object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

Upscaler::HistoryEntry entry(const QString& name, bool success, const QString& output = {})
{
    Upscaler::HistoryEntry e;
    e.id = QUuid::createUuid();
    e.name = name;
    e.date = QDateTime(QDate(2024, 3, 1), QTime(12, 0, 0, 250), Qt::UTC);
    e.targetHeight = 2160;
    e.quality = AIQuality::Max;
    e.success = success;
    e.durationSec = 12.5;
    if (success && !output.isEmpty())
        e.outputURL = QUrl::fromLocalFile(output);
    if (!success)
        e.error = QStringLiteral("FFmpeg failed: code 1");
    return e;
}
} // namespace

class TestUpscaler final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void storageEstimate_data();
    void storageEstimate();
    void describe_data();
    void describe();
    void loadReadsTheVideo();
    void loadShowsThePictureAsPlayed();
    void recommendationSetsTheOptionsOnce_data();
    void recommendationSetsTheOptionsOnce();
    void staleReadingsAreDropped();
    void errorLineWrittenFromOutside();
    void videoDestination_data();
    void videoDestination();
    void saveDialogChoosesOrCancels();
    void historyFileFollowsTheKeyTable();
    void undecodableHistoryIsMovedAside_data();
    void undecodableHistoryIsMovedAside();
    void deletedOutputLoadsWithoutURL();
    void deleteAndClearHistory_data();
    void deleteAndClearHistory();
    void missingToolFailsTheJob_data();
    void missingToolFailsTheJob();
    void stopThenFinishThenRemove();
    void destinationCheckedWhenQueued();
    void failedSaveKeepsTheVideo();
    void durationText_data();
    void durationText();
    void speedIsLearnedFromJobs();

private:
    // A fresh model over the current history file, once that has been read.
    std::unique_ptr<Upscaler> freshModel();
    QString makeClip(const QString& name);

    KorvaneTest::NotificationServer m_server;
    KorvaneTest::AnsweringSaveDialog m_dialog;
    QString m_folder;
    QString m_clip;
    QString m_clip2;
    QStringList m_log;
};

void TestUpscaler::initTestCase()
{
    QVERIFY(m_server.registerOnSessionBus());
    AppSettings::registerDefaults();
    KorvaneTest::installStagedTools();
    SaveDialog::setCurrent(&m_dialog);
    m_folder = KorvaneTest::isolatedRoot() + QStringLiteral("/videos");
    QDir().mkpath(m_folder);
    m_clip = makeClip(QStringLiteral("clip.mp4"));
    m_clip2 = makeClip(QStringLiteral("clip2.mp4"));
    EngineLog::setSink([this](const QString& line) { m_log.append(line); });
}

void TestUpscaler::init()
{
    AppSettings::setAskWhereToSave(false);
    m_dialog.answer.reset();
    m_dialog.requests.clear();
    HistoryStore::shared().flush();
    QFile::remove(Upscaler::historyPath());
}

void TestUpscaler::cleanup()
{
    HistoryStore::shared().flush();
}

QString TestUpscaler::makeClip(const QString& name)
{
    const QString path = m_folder + QLatin1Char('/') + name;
    QByteArray error;
    const int status = KorvaneTest::runFFmpeg(
        {QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc=size=64x36:rate=5"), QStringLiteral("-t"), QStringLiteral("1"),
         QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path},
        &error);
    if (status != 0)
        qWarning("ffmpeg could not make %s: %s", qPrintable(name), error.constData());
    return path;
}

std::unique_ptr<Upscaler> TestUpscaler::freshModel()
{
    auto model = std::make_unique<Upscaler>();
    Upscaler* raw = model.get();
    if (!QTest::qWaitFor([raw] { return raw->historyLoaded(); }, waitMs))
        qWarning("The history was not read in time");
    return model;
}

void TestUpscaler::storageEstimate_data()
{
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<double>("duration");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("text");

    QTest::newRow("1080p minute to 4K HEVC (3.87 GiB)")
        << qint64(1920) << qint64(1080) << 60.0 << qint64(2160) << Codecs::hevc
        << QStringLiteral("Needs ~4 GB free · 4K · H.265");
    QTest::newRow("720p 10 s to 1080p H.264 (1.56 GiB)")
        << qint64(1280) << qint64(720) << 10.0 << qint64(1080) << Codecs::h264
        << QStringLiteral("Needs ~2 GB free · 1080p · H.264");
    QTest::newRow("tiny clip rounds up to 1 GB")
        << qint64(64) << qint64(36) << 1.0 << qint64(144) << Codecs::h264
        << QStringLiteral("Needs ~1 GB free · 144p · H.264");
    QTest::newRow("portrait 1080×1920 minute to 4K: 2160×3840")
        << qint64(1080) << qint64(1920) << 60.0 << qint64(2160) << Codecs::hevc
        << QStringLiteral("Needs ~4 GB free · 4K · H.265");
    QTest::newRow("source at the target")
        << qint64(1920) << qint64(1080) << 60.0 << qint64(1080) << Codecs::hevc << QString();
    QTest::newRow("portrait source at the target")
        << qint64(1080) << qint64(1920) << 60.0 << qint64(1080) << Codecs::hevc << QString();
    QTest::newRow("source above the target")
        << qint64(3840) << qint64(2160) << 60.0 << qint64(1080) << Codecs::h264 << QString();
    QTest::newRow("no duration") << qint64(1920) << qint64(1080) << 0.0 << qint64(2160)
                                 << Codecs::hevc << QString();
    QTest::newRow("no size") << qint64(0) << qint64(0) << 5.0 << qint64(2160) << Codecs::hevc
                             << QString();
}

void TestUpscaler::storageEstimate()
{
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(double, duration);
    QFETCH(qint64, target);
    QFETCH(QString, codec);
    QFETCH(QString, text);
    QCOMPARE(Upscaler::storageEstimate(width, height, duration, target, codec), text);
}

void TestUpscaler::describe_data()
{
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("portrait") << qint64(1080) << qint64(1920) << 12.34
                              << QStringLiteral("1080×1920 · portrait · 12.3s");
    QTest::newRow("square is landscape")
        << qint64(1000) << qint64(1000) << 5.0 << QStringLiteral("1000×1000 · landscape · 5.0s");
    QTest::newRow("landscape") << qint64(1920) << qint64(1080) << 59.96
                               << QStringLiteral("1920×1080 · landscape · 60.0s");
}

void TestUpscaler::describe()
{
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(Upscaler::describe(width, height, seconds), text);
}

void TestUpscaler::loadShowsThePictureAsPlayed()
{
    // A phone clip stored 64×36 with a quarter turn, tagged HDR (PQ).
    const QString path = m_folder + QStringLiteral("/phone hdr.mp4");
    QCOMPARE(KorvaneTest::runFFmpeg(
                 QString::fromUtf8("-y -f lavfi -i testsrc=size=64x36:rate=5 -t 1 -pix_fmt "
                                   "yuv420p10le -c:v libx265 -x265-params log-level=error "
                                   "-color_primaries bt2020 -color_trc smpte2084 -colorspace "
                                   "bt2020nc")
                     .split(QLatin1Char(' ')) +
                 QStringList{path}),
             0);
    KorvaneTest::rotateFirstTrack(path);
    Upscaler model;
    model.load(QUrl::fromLocalFile(path));
    QTRY_COMPARE_WITH_TIMEOUT(model.sourceInfo(), QStringLiteral("36×64 · portrait · 1.0s"),
                              waitMs);
    QCOMPARE(model.srcW(), 36);
    QCOMPARE(model.srcH(), 64);
    QCOMPARE(model.recommendationText(),
             SystemAdvisor::recommend(36, 64).message +
                 QStringLiteral("\nHDR video: the upscale is converted to standard range"));
}

void TestUpscaler::loadReadsTheVideo()
{
    Upscaler model;
    QSignalSpy estimateChanged(&model, &Upscaler::estimatedStorageTextChanged);
    model.load(QUrl::fromLocalFile(m_clip));
    QCOMPARE(model.fileName(), QStringLiteral("clip.mp4"));
    QCOMPARE(model.sourceInfo(), QStringLiteral("Reading…"));
    QVERIFY(!model.readyToUpscale());
    QVERIFY(model.playable());
    QTRY_COMPARE_WITH_TIMEOUT(model.sourceInfo(), QStringLiteral("64×36 · landscape · 1.0s"),
                              waitMs);
    QCOMPARE(model.srcW(), 64);
    QCOMPARE(model.srcH(), 36);
    QCOMPARE(model.srcDuration(), 1.0);
    QVERIFY(model.readyToUpscale());
    QVERIFY(model.loadProblem().isEmpty());
    // The first video takes the recommendation for this machine.
    const UpscaleRecommendation recommendation = SystemAdvisor::recommend(64, 36);
    QCOMPARE(model.targetHeight(), recommendation.targetHeight);
    QCOMPARE(model.quality(), recommendation.quality);
    QCOMPARE(model.recommendationText(), recommendation.message);
    QVERIFY(!model.estimatedStorageText().isEmpty());
    QVERIFY(!estimateChanged.isEmpty());

    // A file libav cannot read is refused by name; libav's own words go to the log only.
    const QString notVideo = m_folder + QStringLiteral("/notes.mp4");
    QVERIFY(KorvaneTest::writeFile(notVideo, "not a video"));
    m_log.clear();
    model.load(QUrl::fromLocalFile(notVideo));
    QCOMPARE(model.sourceInfo(), QStringLiteral("Reading…"));
    QTRY_VERIFY_WITH_TIMEOUT(!model.loadProblem().isEmpty(), waitMs);
    QCOMPARE(model.loadProblem(), QStringLiteral("“notes.mp4” can't be read as a video — the "
                                                 "file may be incomplete or damaged."));
    QCOMPARE(model.inputURL(), QUrl::fromLocalFile(notVideo));
    QCOMPARE(model.sourceInfo(), QString());
    QVERIFY(!model.playable());
    QVERIFY(!model.readyToUpscale());
    QCOMPARE(model.srcW(), 0);
    QCOMPARE(model.srcDuration(), 0.0);
    QCOMPARE(model.estimatedStorageText(), QString());
    QCOMPARE(m_log.size(), 1);
    QVERIFY2(m_log.first().contains(notVideo) &&
                 m_log.first().contains(QStringLiteral("Invalid data found")),
             qPrintable(m_log.first()));

    // Clearing forgets the video and its problem but keeps the settings.
    model.setCodec(Codecs::h264);
    model.clearSelection();
    QVERIFY(model.inputURL().isEmpty());
    QVERIFY(model.loadProblem().isEmpty());
    QVERIFY(!model.playable());
    QCOMPARE(model.fileName(), QString());
    QCOMPARE(model.codec(), Codecs::h264);
    QCOMPARE(model.targetHeight(), recommendation.targetHeight);
}

void TestUpscaler::recommendationSetsTheOptionsOnce_data()
{
    using SystemFacts::AiDevice;
    QTest::addColumn<AiDevice>("device");
    QTest::addColumn<bool>("userChoseFirst");
    QTest::addColumn<qint64>("firstHeight");
    QTest::addColumn<AIQuality>("firstQuality");
    QTest::newRow("GPU") << AiDevice::Gpu << false << 2160LL << AIQuality::Detailed;
    QTest::newRow("processor") << AiDevice::Processor << false << 1080LL << AIQuality::Fast;
    QTest::newRow("processor, user chose first")
        << AiDevice::Processor << true << 2160LL << AIQuality::Max;
}

void TestUpscaler::recommendationSetsTheOptionsOnce()
{
    QFETCH(SystemFacts::AiDevice, device);
    QFETCH(bool, userChoseFirst);
    QFETCH(qint64, firstHeight);
    QFETCH(AIQuality, firstQuality);
    SystemFacts::setAiDeviceOverride(device);
    const auto restore = qScopeGuard([] { SystemFacts::setAiDeviceOverride(std::nullopt); });
    Upscaler model;
    if (userChoseFirst)
        model.setQuality(AIQuality::Max);
    model.load(QUrl::fromLocalFile(m_clip));
    QTRY_VERIFY_WITH_TIMEOUT(model.readyToUpscale(), waitMs);
    QCOMPARE(model.targetHeight(), firstHeight);
    QCOMPARE(model.quality(), firstQuality);
    QCOMPARE(model.recommendationText(), SystemAdvisor::recommend(64, 36, device).message);

    // The user's own choice stays for the next video; the advice is still shown.
    model.setTargetHeight(firstHeight == 1080 ? 2160 : 1080);
    const qint64 chosenHeight = model.targetHeight();
    model.load(QUrl::fromLocalFile(m_clip2));
    QTRY_VERIFY_WITH_TIMEOUT(model.readyToUpscale(), waitMs);
    QCOMPARE(model.targetHeight(), chosenHeight);
    QCOMPARE(model.quality(), firstQuality);
    QVERIFY(!model.recommendationText().isEmpty());
}

void TestUpscaler::staleReadingsAreDropped()
{
    // Only the reading of the video still shown may fill in the description.
    const QString notVideo = m_folder + QStringLiteral("/notes2.mp4");
    QVERIFY(KorvaneTest::writeFile(notVideo, "not a video"));
    Upscaler model;
    model.load(QUrl::fromLocalFile(m_clip));
    model.load(QUrl::fromLocalFile(notVideo));
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(50);
    QCOMPARE(model.inputURL(), QUrl::fromLocalFile(notVideo));
    QCOMPARE(model.sourceInfo(), QString());
    QCOMPARE(model.srcW(), 0);

    model.load(QUrl::fromLocalFile(m_clip));
    model.clearSelection();
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(50);
    QCOMPARE(model.sourceInfo(), QString());
    QCOMPARE(model.srcH(), 0);
}

void TestUpscaler::errorLineWrittenFromOutside()
{
    // The video screen writes a failed preview's message to the model's error line.
    Upscaler model;
    QSignalSpy changed(&model, &Upscaler::errorTextChanged);
    const QString message = QStringLiteral("FFmpeg failed (exit 1): Invalid data found");
    model.setErrorText(message);
    QCOMPARE(model.errorText(), message);
    QCOMPARE(changed.size(), 1);
    model.setErrorText(message);
    QCOMPARE(changed.size(), 1);
    // Loading another video starts without the old failure; so does forgetting the video.
    model.load(QUrl::fromLocalFile(m_clip));
    QCOMPARE(model.errorText(), QString());
    QCOMPARE(changed.size(), 2);
    model.setErrorText(message);
    model.clearSelection();
    QCOMPARE(model.errorText(), QString());
    QCOMPARE(changed.size(), 4);
}

void TestUpscaler::videoDestination_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    QTest::newRow("free") << QStringLiteral("clip.mov") << QStringList()
                          << QStringLiteral("clip_upscaled.mp4");
    QTest::newRow("first taken") << QStringLiteral("clip.mov")
                                 << QStringList{QStringLiteral("clip_upscaled.mp4")}
                                 << QStringLiteral("clip_upscaled_1.mp4");
    QTest::newRow("two taken") << QStringLiteral("clip.mov")
                               << QStringList{QStringLiteral("clip_upscaled.mp4"),
                                              QStringLiteral("clip_upscaled_1.mp4")}
                               << QStringLiteral("clip_upscaled_2.mp4");
    QTest::newRow("last extension only") << QStringLiteral("archive.tar.mp4") << QStringList()
                                         << QStringLiteral("archive.tar_upscaled.mp4");
}

void TestUpscaler::videoDestination()
{
    QFETCH(QString, input);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    const QString folder =
        KorvaneTest::isolatedRoot() + QStringLiteral("/naming-") +
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    QDir().mkpath(folder);
    for (const QString& name : existing)
        QVERIFY(KorvaneTest::writeFile(folder + QLatin1Char('/') + name, "x"));
    const std::optional<QString> dest =
        Upscaler::videoDestination(QUrl::fromLocalFile(folder + QLatin1Char('/') + input));
    QVERIFY(dest.has_value());
    QCOMPARE(*dest, folder + QLatin1Char('/') + expected);
    QVERIFY(m_dialog.requests.isEmpty());
}

void TestUpscaler::saveDialogChoosesOrCancels()
{
    AppSettings::setAskWhereToSave(true);
    const QUrl input = QUrl::fromLocalFile(m_folder + QStringLiteral("/holiday.mov"));
    const QString chosen = KorvaneTest::isolatedRoot() + QStringLiteral("/elsewhere/out.mp4");
    m_dialog.answer = chosen;
    QCOMPARE(Upscaler::videoDestination(input), std::optional<QString>(chosen));
    QCOMPARE(m_dialog.requests.size(), 1);
    const SaveDialog::Request request = m_dialog.requests.first();
    QCOMPARE(QFileInfo(request.suggestedPath).fileName(), QStringLiteral("holiday_upscaled.mp4"));
    QCOMPARE(request.message, QStringLiteral("Choose where to save the upscaled video"));
    QVERIFY(request.nameFilter.contains(QStringLiteral("*.mp4")));

    // Cancelling queues nothing and changes nothing.
    m_dialog.answer.reset();
    auto model = freshModel();
    model->load(QUrl::fromLocalFile(m_clip));
    QTRY_VERIFY_WITH_TIMEOUT(model->srcW() > 0, waitMs);
    const qsizetype jobsBefore = JobQueue::shared().jobs().size();
    model->upscale(model->inputURL(), 144, Codecs::h264, AIQuality::Fast);
    QTest::qWait(50);
    QCOMPARE(JobQueue::shared().jobs().size(), jobsBefore);
    QVERIFY(!model->isRunning());
    QCOMPARE(model->inputURL(), QUrl::fromLocalFile(m_clip));
    QCOMPARE(model->srcW(), 64);
}

void TestUpscaler::historyFileFollowsTheKeyTable()
{
    const QString output = m_folder + QStringLiteral("/with space_upscaled.mp4");
    QVERIFY(KorvaneTest::writeFile(output, "video"));
    const QList<Upscaler::HistoryEntry> entries{entry(QStringLiteral("newer.mov"), true, output),
                                                entry(QStringLiteral("older.mov"), false)};
    {
        auto model = freshModel();
        model->setHistory(entries);
    }
    HistoryStore::shared().flush();
    const QByteArray bytes = KorvaneTest::readFile(Upscaler::historyPath());
    // Compact: no line breaks or indentation.
    QVERIFY(!bytes.contains('\n'));
    const QJsonArray array = QJsonDocument::fromJson(bytes).array();
    QCOMPARE(array.size(), 2);

    const QJsonObject success = array.at(0).toObject();
    QCOMPARE(
        sortedKeys(success),
        (QStringList{QStringLiteral("date"), QStringLiteral("durationSec"), QStringLiteral("id"),
                     QStringLiteral("name"), QStringLiteral("outputURL"), QStringLiteral("quality"),
                     QStringLiteral("success"), QStringLiteral("targetHeight")}));
    const QString id = success.value(QStringLiteral("id")).toString();
    QCOMPARE(id, entries.at(0).id.toString(QUuid::WithoutBraces).toUpper());
    QCOMPARE(id.size(), 36);
    QCOMPARE(success.value(QStringLiteral("name")).toString(), QStringLiteral("newer.mov"));
    // 2024-03-01 12:00:00.250 UTC is 730987200.25 s after 2001-01-01 00:00:00 UTC.
    QVERIFY(success.value(QStringLiteral("date")).isDouble());
    QCOMPARE(success.value(QStringLiteral("date")).toDouble(), 730987200.25);
    QCOMPARE(success.value(QStringLiteral("targetHeight")).toInteger(), 2160);
    QVERIFY(bytes.contains("\"targetHeight\":2160"));
    QCOMPARE(success.value(QStringLiteral("quality")).toString(), QStringLiteral("max"));
    QCOMPARE(success.value(QStringLiteral("success")), QJsonValue(true));
    QCOMPARE(success.value(QStringLiteral("durationSec")).toDouble(), 12.5);
    const QString url = success.value(QStringLiteral("outputURL")).toString();
    QVERIFY(url.startsWith(QStringLiteral("file:///")));
    QVERIFY(url.endsWith(QStringLiteral("/with%20space_upscaled.mp4")));

    const QJsonObject failure = array.at(1).toObject();
    QCOMPARE(
        sortedKeys(failure),
        (QStringList{QStringLiteral("date"), QStringLiteral("durationSec"), QStringLiteral("error"),
                     QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("quality"),
                     QStringLiteral("success"), QStringLiteral("targetHeight")}));
    QCOMPARE(failure.value(QStringLiteral("success")), QJsonValue(false));
    QCOMPARE(failure.value(QStringLiteral("error")).toString(),
             QStringLiteral("FFmpeg failed: code 1"));

    // Read back by a new model: the same entries, in the same order.
    auto reread = freshModel();
    QCOMPARE(reread->history(), entries);
}

void TestUpscaler::undecodableHistoryIsMovedAside_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray good = R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"a.mov",)"
                            R"("date":700000000.5,"targetHeight":1080,"quality":"fast",)"
                            R"("success":false,"error":"x")";
    QTest::newRow("an entry without durationSec")
        << QByteArray("[" + good + ",\"durationSec\":3}," + good + "}]");
    QTest::newRow("unknown quality")
        << QByteArray("[" + QByteArray(good).replace("fast", "ultra") + ",\"durationSec\":3}]");
    QTest::newRow("height as text")
        << QByteArray("[" + QByteArray(good).replace("1080", "\"1080\"") + ",\"durationSec\":3}]");
    QTest::newRow("not json") << QByteArray("[{");
    QTest::newRow("an object, not a list") << QByteArray("{}");
}

void TestUpscaler::undecodableHistoryIsMovedAside()
{
    QFETCH(QByteArray, content);
    const QString folder = UpscaleCore::toolsFolder();
    for (const QString& old : QDir(folder).entryList({QStringLiteral("history.json.corrupt-*")}))
        QFile::remove(folder + QLatin1Char('/') + old);
    QVERIFY(KorvaneTest::writeFile(Upscaler::historyPath(), content));
    m_log.clear();

    auto model = freshModel();
    QVERIFY(model->history().isEmpty());
    const QStringList aside = QDir(folder).entryList({QStringLiteral("history.json.corrupt-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(KorvaneTest::readFile(folder + QLatin1Char('/') + aside.first()), content);
    QCOMPARE(m_log.size(), 1);
    QVERIFY(m_log.first().contains(aside.first()));

    // The next change writes a new file with just the new entry; the kept file is untouched.
    model->setHistory({entry(QStringLiteral("new.mov"), false)});
    const QJsonArray array = readHistoryArray();
    QCOMPARE(array.size(), 1);
    QCOMPARE(array.at(0).toObject().value(QStringLiteral("name")).toString(),
             QStringLiteral("new.mov"));
    QCOMPARE(KorvaneTest::readFile(folder + QLatin1Char('/') + aside.first()), content);
}

void TestUpscaler::deletedOutputLoadsWithoutURL()
{
    const QString kept = m_folder + QStringLiteral("/kept_upscaled.mp4");
    const QString gone = m_folder + QStringLiteral("/gone_upscaled.mp4");
    QVERIFY(KorvaneTest::writeFile(kept, "video"));
    QVERIFY(KorvaneTest::writeFile(gone, "video"));
    {
        auto model = freshModel();
        model->setHistory({entry(QStringLiteral("kept.mov"), true, kept),
                           entry(QStringLiteral("gone.mov"), true, gone)});
    }
    HistoryStore::shared().flush();
    QFile::remove(gone);
    auto model = freshModel();
    QCOMPARE(model->history().size(), 2);
    QCOMPARE(model->history().at(0).outputURL, QUrl::fromLocalFile(kept));
    QVERIFY(model->history().at(1).outputURL.isEmpty());
    QVERIFY(model->history().at(1).success);
}

void TestUpscaler::deleteAndClearHistory_data()
{
    QTest::addColumn<bool>("clearAll");
    QTest::addColumn<bool>("deleteFiles");
    QTest::newRow("delete one, keep its file") << false << false;
    QTest::newRow("delete one with its file") << false << true;
    QTest::newRow("clear, keep files") << true << false;
    QTest::newRow("clear with files") << true << true;
}

void TestUpscaler::deleteAndClearHistory()
{
    QFETCH(bool, clearAll);
    QFETCH(bool, deleteFiles);
    const QString first = m_folder + QStringLiteral("/first_upscaled.mp4");
    const QString second = m_folder + QStringLiteral("/second_upscaled.mp4");
    QVERIFY(KorvaneTest::writeFile(first, "video"));
    QVERIFY(KorvaneTest::writeFile(second, "video"));
    auto model = freshModel();
    const QList<Upscaler::HistoryEntry> entries{entry(QStringLiteral("first.mov"), true, first),
                                                entry(QStringLiteral("failed.mov"), false),
                                                entry(QStringLiteral("second.mov"), true, second)};
    model->setHistory(entries);

    if (clearAll)
        model->clearHistory(deleteFiles);
    else
        model->deleteHistory({entries.at(0).id, entries.at(1).id}, deleteFiles);
    const QJsonArray saved = readHistoryArray();

    if (clearAll) {
        QVERIFY(model->history().isEmpty());
        QVERIFY(saved.isEmpty());
        QCOMPARE(QFileInfo::exists(second), !deleteFiles);
    } else {
        QCOMPARE(model->history(), QList<Upscaler::HistoryEntry>{entries.at(2)});
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.at(0).toObject().value(QStringLiteral("name")).toString(),
                 QStringLiteral("second.mov"));
        QVERIFY(QFileInfo::exists(second));
    }
    QCOMPARE(QFileInfo::exists(first), !deleteFiles);
}

void TestUpscaler::missingToolFailsTheJob_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("message");
    QTest::newRow("ffmpeg") << UpscaleCore::ffmpeg()
                            << QStringLiteral("FFmpeg is not installed in ") +
                                   UpscaleCore::toolsFolder();
    QTest::newRow("Real-ESRGAN") << UpscaleCore::realesrganBinary()
                                 << QStringLiteral("Real-ESRGAN is not installed in ") +
                                        UpscaleCore::toolsFolder() + QStringLiteral("/realesrgan");
}

void TestUpscaler::missingToolFailsTheJob()
{
    QFETCH(QString, tool);
    QFETCH(QString, message);
    const QString away = tool + QStringLiteral(".away");
    QVERIFY(QFile::rename(tool, away));
    auto model = freshModel();
    const qsizetype shownBefore = m_server.shown.size();
    model->upscale(QUrl::fromLocalFile(m_clip), 144, Codecs::h264, AIQuality::Fast);
    QVERIFY(model->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);
    QVERIFY(QFile::rename(away, tool));

    QCOMPARE(model->errorText(), message);
    QCOMPARE(model->history().size(), 1);
    const Upscaler::HistoryEntry failed = model->history().first();
    QCOMPARE(failed.name, QStringLiteral("clip.mp4"));
    QVERIFY(!failed.success);
    QCOMPARE(failed.error, std::optional<QString>(message));
    QCOMPARE(failed.targetHeight, 144);
    QCOMPARE(failed.quality, AIQuality::Fast);
    QVERIFY(failed.outputURL.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_server.shown.size(), shownBefore + 1, waitMs);
    QCOMPARE(m_server.shown.last().summary, QStringLiteral("Upscale failed"));
    QCOMPARE(m_server.shown.last().body, QStringLiteral("clip.mp4 could not be upscaled."));
}

void TestUpscaler::stopThenFinishThenRemove()
{
    // Three jobs from one model: the first is stopped while it works, the second runs to the
    // end, the third is taken out of the queue while it waits.
    const QString first = makeClip(QStringLiteral("first.mp4"));
    const QString second = makeClip(QStringLiteral("second.mp4"));
    const QString third = makeClip(QStringLiteral("third.mp4"));
    auto model = freshModel();
    const qsizetype shownBefore = m_server.shown.size();

    QStringList errorTexts;
    connect(model.get(), &Upscaler::errorTextChanged, model.get(),
            [&] { errorTexts.append(model->errorText()); });
    QStringList notices;
    connect(model.get(), &Upscaler::noticeTextChanged, model.get(),
            [&] { notices.append(model->noticeText()); });
    // The jobs still in the queue each time isRunning turns false (a completion runs before its
    // job leaves the queue).
    QList<QStringList> queueWhenIdle;
    connect(model.get(), &Upscaler::isRunningChanged, model.get(), [&] {
        if (model->isRunning())
            return;
        QStringList names;
        for (const UpscaleJob& job : JobQueue::shared().jobs())
            names.append(job.name);
        queueWhenIdle.append(names);
    });
    bool stopAsked = false;
    connect(&JobQueue::shared(), &JobQueue::jobsChanged, model.get(), [&] {
        const std::optional<UpscaleJob> active = JobQueue::shared().active();
        if (stopAsked || !active || active->name != QStringLiteral("first.mp4"))
            return;
        if (active->statusText != QStringLiteral("Starting…")) {
            stopAsked = true;
            JobQueue::shared().stopActive();
        }
    });

    // Reorder mode holds the queue until all three are in, so they really are back to back.
    JobQueue::shared().setReordering(true);
    for (const QString& path : {first, second, third}) {
        model->load(QUrl::fromLocalFile(path));
        QTRY_VERIFY_WITH_TIMEOUT(model->srcDuration() > 0, waitMs);
        model->upscale(model->inputURL(), 144, Codecs::h264, AIQuality::Fast);
        // The screen is cleared at once; the job joins the queue a moment later.
        QVERIFY(model->inputURL().isEmpty());
        QVERIFY(model->isRunning());
    }
    QTRY_COMPARE_WITH_TIMEOUT(JobQueue::shared().jobs().size(), 3, waitMs);
    const UpscaleJob waiting = JobQueue::shared().jobs().last();
    QCOMPARE(waiting.name, QStringLiteral("third.mp4"));
    QCOMPARE(waiting.status, UpscaleJob::Status::Queued);
    QCOMPARE(waiting.name, QStringLiteral("third.mp4"));
    QCOMPARE(waiting.icon, QStringLiteral("film"));
    QCOMPARE(waiting.detail, QStringLiteral("144p · Fast"));
    JobQueue::shared().remove(waiting.id);
    QVERIFY(model->isRunning());
    JobQueue::shared().setReordering(false);
    JobQueue::shared().startNext();

    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);
    QVERIFY(stopAsked);
    // isRunning ended once, in the second job's completion.
    QCOMPARE(queueWhenIdle, QList<QStringList>{QStringList{QStringLiteral("second.mp4")}});
    // The stop was said plainly, never as an error.
    QCOMPARE(notices, QStringList{QStringLiteral("Stopped")});
    QVERIFY2(errorTexts.filter(QRegularExpression(QStringLiteral("\\S"))).isEmpty(),
             qPrintable(errorTexts.join(QLatin1Char('|'))));

    // Only the finished job is in the history.
    QCOMPARE(model->history().size(), 1);
    const Upscaler::HistoryEntry done = model->history().first();
    QCOMPARE(done.name, QStringLiteral("second.mp4"));
    QVERIFY(done.success);
    QCOMPARE(done.durationSec, 1.0);
    const QString output = m_folder + QStringLiteral("/second_upscaled.mp4");
    QCOMPARE(done.outputURL, QUrl::fromLocalFile(output));
    QCOMPARE(model->outputURL(), QUrl::fromLocalFile(output));
    QCOMPARE(UpscaleCore::loadMeta(output).height, 144);
    QVERIFY(!QFileInfo::exists(m_folder + QStringLiteral("/first_upscaled.mp4")));
    QVERIFY(!QFileInfo::exists(m_folder + QStringLiteral("/third_upscaled.mp4")));
    const QJsonArray saved = readHistoryArray();
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.at(0).toObject().value(QStringLiteral("name")).toString(),
             QStringLiteral("second.mp4"));

    // A success notice for the finished job, nothing for the stopped one (the user knows) nor
    // for the removed one.
    QTRY_COMPARE_WITH_TIMEOUT(m_server.shown.size(), shownBefore + 1, waitMs);
    QTest::qWait(200);
    QCOMPARE(m_server.bodies().mid(shownBefore),
             QStringList{QStringLiteral("second.mp4 is ready.")});
    QCOMPARE(m_server.shown.last().summary, QStringLiteral("Upscale complete"));
    // The finished job taught the model how fast Fast runs here.
    QVERIFY(JobSpeed::estimate(AIQuality::Fast, 1e6).has_value());
}

void TestUpscaler::durationText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("seconds") << 42.0 << QStringLiteral("Takes under a minute on this computer");
    QTest::newRow("a minute and a bit is two")
        << 61.0 << QStringLiteral("Takes about 2 min on this computer");
    QTest::newRow("hours and minutes")
        << 3900.0 << QStringLiteral("Takes about 1 h 5 min on this computer");
    QTest::newRow("whole hours") << 7200.0 << QStringLiteral("Takes about 2 h on this computer");
}

void TestUpscaler::durationText()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(JobSpeed::durationText(seconds), text);
}

void TestUpscaler::speedIsLearnedFromJobs()
{
    // Nothing to go by for Max until a Max job finished; then each job moves the figure halfway.
    QVERIFY(!JobSpeed::estimate(AIQuality::Max, 1e6));
    JobSpeed::record(AIQuality::Max, 2e6, 100);
    QCOMPARE(*JobSpeed::estimate(AIQuality::Max, 1e6), 50.0);
    JobSpeed::record(AIQuality::Max, 1e6, 150);
    QCOMPARE(*JobSpeed::estimate(AIQuality::Max, 4e6), 400.0);
    // 1920×1080 to 4K, 10 s at 30 fps: 300 frames of 3840×2160.
    QCOMPARE(JobSpeed::outputPixels(1920, 1080, 10, 30, 2160), 300.0 * 3840 * 2160);

    // The model shows it for the loaded video and the chosen quality only.
    Upscaler model;
    model.setTargetHeight(144);
    model.setQuality(AIQuality::Max);
    model.load(QUrl::fromLocalFile(m_clip));
    QTRY_VERIFY_WITH_TIMEOUT(model.readyToUpscale(), waitMs);
    const double pixels =
        JobSpeed::outputPixels(64, 36, model.srcDuration(), 5, 144); // the clip runs at 5 fps
    QCOMPARE(model.estimatedTimeText(),
             JobSpeed::durationText(*JobSpeed::estimate(AIQuality::Max, pixels)));
    QVERIFY(!model.estimatedTimeText().isEmpty());
    QSignalSpy changed(&model, &Upscaler::estimatedTimeTextChanged);
    model.setQuality(AIQuality::Detailed);
    QVERIFY(!JobSpeed::estimate(AIQuality::Detailed, pixels));
    QCOMPARE(model.estimatedTimeText(), QString());
    QCOMPARE(changed.size(), 1);
}

void TestUpscaler::destinationCheckedWhenQueued()
{
    // The save dialog names a folder that does not exist, then the source itself: neither is
    // queued, and the screen says why.
    AppSettings::setAskWhereToSave(true);
    auto model = freshModel();
    model->load(QUrl::fromLocalFile(m_clip));
    QTRY_VERIFY_WITH_TIMEOUT(model->srcW() > 0, waitMs);
    const qsizetype jobsBefore = JobQueue::shared().jobs().size();
    const QString missing = KorvaneTest::isolatedRoot() + QStringLiteral("/missing");
    m_dialog.answer = missing + QStringLiteral("/out.mp4");
    model->upscale(model->inputURL(), 144, Codecs::h264, AIQuality::Fast);
    QVERIFY2(model->errorText().startsWith(QStringLiteral("The folder ") + missing +
                                           QStringLiteral(" does not exist.")),
             qPrintable(model->errorText()));
    m_dialog.answer = m_clip;
    model->upscale(model->inputURL(), 144, Codecs::h264, AIQuality::Fast);
    QVERIFY2(model->errorText().startsWith(
                 QStringLiteral("The upscaled video would replace its own source, clip.mp4.")),
             qPrintable(model->errorText()));
    QTest::qWait(50);
    QCOMPARE(JobQueue::shared().jobs().size(), jobsBefore);
    QVERIFY(!model->isRunning());
    QCOMPARE(model->inputURL(), QUrl::fromLocalFile(m_clip));
}

void TestUpscaler::failedSaveKeepsTheVideo()
{
    // The chosen folder exists when the job is queued and is gone (a removed drive) when the
    // video is finished.
    AppSettings::setAskWhereToSave(true);
    const QString drive = KorvaneTest::isolatedRoot() + QStringLiteral("/drive");
    QVERIFY(QDir().mkpath(drive));
    m_dialog.answer = drive + QStringLiteral("/out.mp4");
    auto model = freshModel();
    model->load(QUrl::fromLocalFile(m_clip));
    QTRY_VERIFY_WITH_TIMEOUT(model->srcDuration() > 0, waitMs);
    JobQueue::shared().setReordering(true);
    model->upscale(model->inputURL(), 144, Codecs::h264, AIQuality::Fast);
    QTRY_COMPARE_WITH_TIMEOUT(JobQueue::shared().jobs().size(), 1, waitMs);
    QVERIFY(QDir(drive).removeRecursively());
    JobQueue::shared().setReordering(false);
    JobQueue::shared().startNext();
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);

    // The history lists the failure with the kept video, which its row offers to show.
    QCOMPARE(model->history().size(), 1);
    const Upscaler::HistoryEntry failed = model->history().first();
    QVERIFY(!failed.success);
    const QString kept = failed.outputURL.toLocalFile();
    QCOMPARE(QFileInfo(kept).absolutePath(), QFileInfo(WorkFolder::root()).absoluteFilePath());
    QCOMPARE(UpscaleCore::loadMeta(kept).height, 144);
    const QString message = model->errorText();
    QVERIFY2(message.startsWith(QStringLiteral("The upscaled video could not be saved as ") +
                                drive + QStringLiteral("/out.mp4")),
             qPrintable(message));
    QVERIFY2(message.contains(kept), qPrintable(message));
    QCOMPARE(failed.error, std::optional<QString>(message));

    // The next start's sweep leaves it alone.
    UpscaleCore::removeTempEntries(UpscaleCore::staleTempEntries());
    QVERIFY(QFileInfo::exists(kept));
    QVERIFY(QFile::remove(kept));
    UpscaleCore::removeTempEntries(UpscaleCore::staleTempEntries());
}

KORVANE_TEST_MAIN_ON_PRIVATE_BUS(TestUpscaler)

#include "tst_upscaler.moc"
