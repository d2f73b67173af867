#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include "engine/EngineError.h"
#include "engine/SystemFacts.h"
#include "engine/UpscaleCore.h"
#include "processing/AppSettings.h"
#include "processing/HistoryStore.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "processing/SaveDialog.h"
#include "support/ModelTestSupport.h"
#include "support/NotificationServer.h"
#include "support/TestSupport.h"

namespace {
constexpr int jobWaitMs = 240000;
constexpr int waitMs = 20000;

// A small picture with detail in it, so JPEG sizes depend on the quality.
QImage detailedPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(
                x, y, QColor((x * 255) / width, (y * 255) / height, int(random.bounded(256))));
    return image;
}

QString formatOf(const QString& path)
{
    QImageReader reader(path);
    return QString::fromLatin1(reader.format());
}

ImageUpscaler::HistoryEntry entry(const QString& name, bool success, const QString& saved = {})
{
    ImageUpscaler::HistoryEntry e;
    e.id = QUuid::createUuid();
    e.name = name;
    e.date = QDateTime(QDate(2001, 1, 2), QTime(0, 0, 1, 500), Qt::UTC);
    e.scale = 3;
    e.success = success;
    if (success)
        e.savedPath = saved;
    else
        e.error = QStringLiteral("Could not encode image.");
    return e;
}
} // namespace

class TestImageUpscaler final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void byteString_data();
    void byteString();
    void timeString_data();
    void timeString();
    void estimates_data();
    void estimates();
    void loadDescribesTheImage();
    void destination_data();
    void destination();
    void saveDialogForImages();
    void encodeGivesPngOrJpeg();
    void encodeMatchingSize_data();
    void encodeMatchingSize();
    void historyFileFollowsTheKeyTable();
    void undecodableHistoryIsMovedAside();
    void deleteAndClearHistory();
    void missingEngineFailsTheJob();
    void stoppedJobLeavesNoEntry();
    void pngJpgAndMatchingSize();
    void phonePhotoComesOutUpright();
    void tooLargeForMemoryIsRefusedBeforeTheEngine();
    void historyEditsBeforeLoadingApply();

private:
    std::unique_ptr<ImageUpscaler> freshModel();
    QString writePicture(const QString& name, int width, int height);

    KorvaneTest::NotificationServer m_server;
    KorvaneTest::AnsweringSaveDialog m_dialog;
    QString m_folder;
};

void TestImageUpscaler::initTestCase()
{
    QVERIFY(m_server.registerOnSessionBus());
    AppSettings::registerDefaults();
    KorvaneTest::installStagedTools();
    SaveDialog::setCurrent(&m_dialog);
    m_folder = KorvaneTest::isolatedRoot() + QStringLiteral("/pictures");
    QDir().mkpath(m_folder);
}

void TestImageUpscaler::init()
{
    AppSettings::setAskWhereToSave(false);
    m_dialog.answer.reset();
    m_dialog.requests.clear();
    HistoryStore::shared().flush();
    QFile::remove(ImageUpscaler::historyPath());
}

std::unique_ptr<ImageUpscaler> TestImageUpscaler::freshModel()
{
    auto model = std::make_unique<ImageUpscaler>();
    ImageUpscaler* raw = model.get();
    if (!QTest::qWaitFor([raw] { return raw->historyLoaded(); }, waitMs))
        qWarning("The history was not read in time");
    return model;
}

QString TestImageUpscaler::writePicture(const QString& name, int width, int height)
{
    const QString path = m_folder + QLatin1Char('/') + name;
    if (!detailedPicture(width, height).save(path, "PNG"))
        qWarning("Could not write %s", qPrintable(path));
    return path;
}

void TestImageUpscaler::byteString_data()
{
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0 << QStringLiteral("0 B");
    QTest::newRow("999") << 999.0 << QStringLiteral("999 B");
    QTest::newRow("1,000") << 1000.0 << QStringLiteral("1 KB");
    QTest::newRow("999,499") << 999499.0 << QStringLiteral("999 KB");
    QTest::newRow("999,600") << 999600.0 << QStringLiteral("1000 KB");
    QTest::newRow("1,000,000") << 1000000.0 << QStringLiteral("1.0 MB");
    QTest::newRow("12,345,678") << 12345678.0 << QStringLiteral("12.3 MB");
}

void TestImageUpscaler::byteString()
{
    QFETCH(double, bytes);
    QFETCH(QString, text);
    QCOMPARE(ImageUpscaler::byteString(bytes), text);
}

void TestImageUpscaler::timeString_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.6") << 1.6 << QStringLiteral("2s");
    QTest::newRow("59.4") << 59.4 << QStringLiteral("59s");
    QTest::newRow("59.5") << 59.5 << QStringLiteral("1m 0s");
    QTest::newRow("125") << 125.0 << QStringLiteral("2m 5s");
}

void TestImageUpscaler::timeString()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(ImageUpscaler::timeString(seconds), text);
}

void TestImageUpscaler::estimates_data()
{
    QTest::addColumn<qint64>("width");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("matchFileSize");
    QTest::addColumn<AIQuality>("quality");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("time");

    QTest::newRow("png, detailed")
        << qint64(1000) << QStringLiteral("png") << false << AIQuality::Detailed
        << QStringLiteral("17.6 MB") << QStringLiteral("~15s");
    QTest::newRow("jpg, fast") << qint64(1000) << QStringLiteral("jpg") << false << AIQuality::Fast
                               << QStringLiteral("4.0 MB") << QStringLiteral("~7s");
    QTest::newRow("matching the source, max")
        << qint64(1000) << QStringLiteral("png") << true << AIQuality::Max
        << QStringLiteral("123 KB") << QStringLiteral("~26s");
    QTest::newRow("nothing loaded")
        << qint64(0) << QStringLiteral("png") << false << AIQuality::Detailed << QStringLiteral("—")
        << QStringLiteral("—");
}

void TestImageUpscaler::estimates()
{
    // A 1000 × 500 picture of 123,456 bytes at scale 4.
    QFETCH(qint64, width);
    QFETCH(QString, format);
    QFETCH(bool, matchFileSize);
    QFETCH(AIQuality, quality);
    QFETCH(QString, size);
    QFETCH(QString, time);
    const qint64 height = width / 2;
    QCOMPARE(ImageUpscaler::sizeEstimate(width, height, 4, format, matchFileSize, 123456), size);
    QCOMPARE(ImageUpscaler::timeEstimate(width, height, 4, quality), time);
}

void TestImageUpscaler::loadDescribesTheImage()
{
    const QString path = writePicture(QStringLiteral("small.png"), 32, 24);
    const qint64 bytes = QFileInfo(path).size();
    auto model = freshModel();
    QCOMPARE(model->estimatedSizeText(), QStringLiteral("—"));
    QSignalSpy selection(model.get(), &ImageUpscaler::hasSelectionChanged);
    QSignalSpy sizeText(model.get(), &ImageUpscaler::estimatedSizeTextChanged);
    model->load(QUrl::fromLocalFile(path));
    QCOMPARE(model->fileName(), QStringLiteral("small.png"));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    QCOMPARE(model->srcW(), 32);
    QCOMPARE(model->srcH(), 24);
    QCOMPARE(model->sourceBytes(), bytes);
    QCOMPARE(model->originalImage().size(), QSize(32, 24));
    QCOMPARE(model->sourceInfo(),
             QStringLiteral("32×24 px · ") + ImageUpscaler::byteString(double(bytes)));
    QCOMPARE(selection.size(), 1);
    // 128 × 96 output pixels at 2.2 bytes each, then as JPEG at 0.5.
    QCOMPARE(model->estimatedSizeText(), QStringLiteral("27 KB"));
    model->setFormat(QStringLiteral("jpg"));
    QCOMPARE(model->estimatedSizeText(), QStringLiteral("6 KB"));
    QCOMPARE(sizeText.size(), 2);

    // An unreadable picture: no size, no description, but the file's byte count.
    const QString broken = m_folder + QStringLiteral("/broken.png");
    QVERIFY(KorvaneTest::writeFile(broken, "not a picture"));
    model->load(QUrl::fromLocalFile(broken));
    QTRY_COMPARE_WITH_TIMEOUT(model->sourceBytes(), qint64(13), waitMs);
    QVERIFY(!model->hasSelection());
    QCOMPARE(model->srcW(), 0);
    QCOMPARE(model->sourceInfo(), QString());
    QCOMPARE(model->estimatedTimeText(), QStringLiteral("—"));

    model->clearSelection();
    QVERIFY(model->inputURL().isEmpty());
    QCOMPARE(model->sourceBytes(), 0);
    QCOMPARE(model->format(), QStringLiteral("jpg"));
}

void TestImageUpscaler::destination_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringLiteral("photo.png") << QStringLiteral("png") << QStringList()
                          << QStringLiteral("photo_upscaled.png");
    QTest::newRow("taken") << QStringLiteral("photo.png") << QStringLiteral("png")
                           << QStringList{QStringLiteral("photo_upscaled.png")}
                           << QStringLiteral("photo_upscaled_1.png");
    QTest::newRow("two taken") << QStringLiteral("photo.png") << QStringLiteral("jpg")
                               << QStringList{QStringLiteral("photo_upscaled.jpg"),
                                              QStringLiteral("photo_upscaled_1.jpg"),
                                              QStringLiteral("photo_upscaled_2.png")}
                               << QStringLiteral("photo_upscaled_2.jpg");
    QTest::newRow("last extension only") << QStringLiteral("scan.v2.tiff") << QStringLiteral("jpg")
                                         << QStringList() << QStringLiteral("scan.v2_upscaled.jpg");
}

void TestImageUpscaler::destination()
{
    QFETCH(QString, input);
    QFETCH(QString, format);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    const QString folder =
        KorvaneTest::isolatedRoot() + QStringLiteral("/naming-") +
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    QDir().mkpath(folder);
    for (const QString& name : existing)
        QVERIFY(KorvaneTest::writeFile(folder + QLatin1Char('/') + name, "x"));
    QCOMPARE(ImageUpscaler::destinationURL(QUrl::fromLocalFile(folder + QLatin1Char('/') + input),
                                           format),
             std::optional<QString>(folder + QLatin1Char('/') + expected));
}

void TestImageUpscaler::saveDialogForImages()
{
    AppSettings::setAskWhereToSave(true);
    const QUrl input = QUrl::fromLocalFile(m_folder + QStringLiteral("/cat.jpeg"));
    m_dialog.answer = QStringLiteral("/somewhere/else.jpg");
    QCOMPARE(ImageUpscaler::destinationURL(input, QStringLiteral("jpg")),
             std::optional<QString>(QStringLiteral("/somewhere/else.jpg")));
    QCOMPARE(QFileInfo(m_dialog.requests.first().suggestedPath).fileName(),
             QStringLiteral("cat_upscaled.jpg"));
    QCOMPARE(m_dialog.requests.first().message,
             QStringLiteral("Choose where to save the upscaled image"));
    QCOMPARE(m_dialog.requests.first().nameFilter, QString());

    // Cancelled: nothing is queued and the selection stays.
    m_dialog.answer.reset();
    auto model = freshModel();
    model->load(QUrl::fromLocalFile(writePicture(QStringLiteral("cat.png"), 16, 16)));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    const qsizetype jobsBefore = JobQueue::shared().jobs().size();
    model->run();
    QTest::qWait(50);
    QCOMPARE(JobQueue::shared().jobs().size(), jobsBefore);
    QVERIFY(!model->isRunning());
    QVERIFY(model->hasSelection());
}

void TestImageUpscaler::encodeGivesPngOrJpeg()
{
    const QImage picture = detailedPicture(32, 32);
    const QByteArray png = ImageUpscaler::encode(picture, QStringLiteral("png"), 1.0);
    QVERIFY(png.startsWith("\x89PNG"));
    QCOMPARE(QImage::fromData(png).convertToFormat(QImage::Format_RGB32), picture);
    // Anything but "jpg" is written as PNG.
    QVERIFY(ImageUpscaler::encode(picture, QStringLiteral("webp"), 0.5).startsWith("\x89PNG"));
    const QByteArray best = ImageUpscaler::encode(picture, QStringLiteral("jpg"), 1.0);
    const QByteArray low = ImageUpscaler::encode(picture, QStringLiteral("jpg"), 0.3);
    QVERIFY(best.startsWith("\xff\xd8"));
    QVERIFY(low.size() < best.size());
    try {
        ImageUpscaler::encode(QImage(), QStringLiteral("png"), 1.0);
        QFAIL("A missing bitmap was encoded");
    } catch (const EngineError& error) {
        QCOMPARE(error.message(), QStringLiteral("Could not encode image."));
        QCOMPARE(error.domain(), QStringLiteral("ImageUpscaler"));
        QCOMPARE(error.code(), 1);
    }
}

void TestImageUpscaler::encodeMatchingSize_data()
{
    QTest::addColumn<double>("targetFactor"); // the quality whose size becomes the target
    QTest::addColumn<qint64>("fixedTarget");  // used when targetFactor is negative
    QTest::newRow("no target: quality 0.9") << -1.0 << qint64(0);
    QTest::newRow("reachable target") << 0.7 << qint64(0);
    QTest::newRow("target below every probe: quality 1.0") << -1.0 << qint64(1);
    QTest::newRow("target above every probe") << -1.0 << qint64(100000000);
}

void TestImageUpscaler::encodeMatchingSize()
{
    QFETCH(double, targetFactor);
    QFETCH(qint64, fixedTarget);
    const QImage picture = detailedPicture(64, 64);
    const QString jpg = QStringLiteral("jpg");
    const qint64 target =
        targetFactor >= 0 ? ImageUpscaler::encode(picture, jpg, targetFactor).size() : fixedTarget;
    const QByteArray result = ImageUpscaler::encodeMatchingSize(picture, target);
    QVERIFY(result.startsWith("\xff\xd8"));
    if (target < 1) {
        QCOMPARE(result, ImageUpscaler::encode(picture, jpg, 0.9));
    } else if (target == 1) {
        QCOMPARE(result, ImageUpscaler::encode(picture, jpg, 1.0));
    } else if (target > 1000000) {
        // Every probe fits; the search climbs towards 1.0 and keeps the last (largest) probe.
        QVERIFY(result.size() <= target);
        QVERIFY(result.size() >= ImageUpscaler::encode(picture, jpg, 0.95).size());
    } else {
        // At or below the target, or within a twentieth of it.
        QVERIFY2(result.size() <= target || result.size() - target < target / 20,
                 qPrintable(QStringLiteral("%1 for %2").arg(result.size()).arg(target)));
        QVERIFY(std::abs(result.size() - target) <= target / 5);
    }
}

void TestImageUpscaler::historyFileFollowsTheKeyTable()
{
    const QList<ImageUpscaler::HistoryEntry> entries{
        entry(QStringLiteral("new.png"), true, QStringLiteral("/pics/new_upscaled.png")),
        entry(QStringLiteral("old.png"), false)};
    {
        auto model = freshModel();
        model->setHistory(entries);
    }
    HistoryStore::shared().flush();
    const QByteArray bytes = KorvaneTest::readFile(ImageUpscaler::historyPath());
    QVERIFY(!bytes.contains('\n'));
    const QJsonArray array = QJsonDocument::fromJson(bytes).array();
    QCOMPARE(array.size(), 2);
    const QJsonObject success = array.at(0).toObject();
    QStringList keys = success.keys();
    keys.sort();
    QCOMPARE(keys, (QStringList{QStringLiteral("date"), QStringLiteral("id"),
                                QStringLiteral("name"), QStringLiteral("savedPath"),
                                QStringLiteral("scale"), QStringLiteral("success")}));
    QCOMPARE(success.value(QStringLiteral("id")).toString(),
             entries.at(0).id.toString(QUuid::WithoutBraces).toUpper());
    // One day, one second and a half after the reference date.
    QCOMPARE(success.value(QStringLiteral("date")).toDouble(), 86401.5);
    QVERIFY(bytes.contains("\"scale\":3"));
    QCOMPARE(success.value(QStringLiteral("savedPath")).toString(),
             QStringLiteral("/pics/new_upscaled.png"));
    const QJsonObject failure = array.at(1).toObject();
    QVERIFY(!failure.contains(QStringLiteral("savedPath")));
    QCOMPARE(failure.value(QStringLiteral("error")).toString(),
             QStringLiteral("Could not encode image."));
    QCOMPARE(failure.value(QStringLiteral("success")), QJsonValue(false));

    // Saved paths are not checked at load time.
    auto reread = freshModel();
    QCOMPARE(reread->history(), entries);
}

void TestImageUpscaler::undecodableHistoryIsMovedAside()
{
    const QByteArray content =
        R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"a.png","date":1.0,"success":true}])";
    QVERIFY(KorvaneTest::writeFile(ImageUpscaler::historyPath(), content)); // no "scale"
    auto model = freshModel();
    QVERIFY(model->history().isEmpty());
    const QStringList aside = QDir(UpscaleCore::toolsFolder())
                                  .entryList({QStringLiteral("image-history.json.corrupt-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(KorvaneTest::readFile(UpscaleCore::toolsFolder() + QLatin1Char('/') + aside.first()),
             content);
    QVERIFY(!QFileInfo::exists(ImageUpscaler::historyPath()));
}

void TestImageUpscaler::deleteAndClearHistory()
{
    const QString kept = writePicture(QStringLiteral("kept_upscaled.png"), 4, 4);
    const QString removed = writePicture(QStringLiteral("removed_upscaled.png"), 4, 4);
    auto model = freshModel();
    const QList<ImageUpscaler::HistoryEntry> entries{
        entry(QStringLiteral("kept.png"), true, kept), entry(QStringLiteral("failed.png"), false),
        entry(QStringLiteral("removed.png"), true, removed)};
    model->setHistory(entries);

    // Deleting without files keeps them on disk.
    model->deleteHistory({entries.at(0).id}, false);
    QCOMPARE(model->history(), entries.mid(1));
    HistoryStore::shared().flush();
    QVERIFY(QFileInfo::exists(kept));
    // Clearing with files removes every saved file.
    model->clearHistory(true);
    QVERIFY(model->history().isEmpty());
    HistoryStore::shared().flush();
    QVERIFY(!QFileInfo::exists(removed));
    QVERIFY(QFileInfo::exists(kept));
    QCOMPARE(KorvaneTest::readFile(ImageUpscaler::historyPath()), QByteArray("[]"));
}

void TestImageUpscaler::missingEngineFailsTheJob()
{
    const QString engine = UpscaleCore::realesrganBinary();
    QVERIFY(QFile::rename(engine, engine + QStringLiteral(".away")));
    auto model = freshModel();
    model->load(QUrl::fromLocalFile(writePicture(QStringLiteral("lonely.png"), 16, 16)));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    const qsizetype shownBefore = m_server.shown.size();
    model->run();
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);
    QVERIFY(QFile::rename(engine + QStringLiteral(".away"), engine));

    const QString message = QStringLiteral("Real-ESRGAN is not installed in ") +
                            UpscaleCore::toolsFolder() + QStringLiteral("/realesrgan");
    QCOMPARE(model->errorText(), message);
    QCOMPARE(model->statusText(), QStringLiteral("Failed"));
    QCOMPARE(model->history().size(), 1);
    QCOMPARE(model->history().first().error, std::optional<QString>(message));
    QCOMPARE(model->history().first().scale, 4);
    QVERIFY(!model->history().first().savedPath);
    QTRY_COMPARE_WITH_TIMEOUT(m_server.shown.size(), shownBefore + 1, waitMs);
    QCOMPARE(m_server.shown.last().body, QStringLiteral("lonely.png could not be upscaled."));
}

void TestImageUpscaler::stoppedJobLeavesNoEntry()
{
    auto model = freshModel();
    model->setQuality(AIQuality::Fast);
    model->setScale(2);
    model->load(QUrl::fromLocalFile(writePicture(QStringLiteral("stopped.png"), 16, 16)));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    const qsizetype shownBefore = m_server.shown.size();
    bool stopAsked = false;
    connect(&JobQueue::shared(), &JobQueue::jobsChanged, model.get(), [&] {
        const std::optional<UpscaleJob> active = JobQueue::shared().active();
        if (!stopAsked && active && active->statusText == QStringLiteral("Upscaling…")) {
            stopAsked = true;
            JobQueue::shared().stopActive();
        }
    });
    model->run();
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);
    QVERIFY(stopAsked);
    // A stop is neither an error nor a failure notice.
    QVERIFY2(model->errorText().isEmpty(), qPrintable(model->errorText()));
    QCOMPARE(model->statusText(), QStringLiteral("Stopped"));
    QVERIFY(model->history().isEmpty());
    QVERIFY(!QFileInfo::exists(m_folder + QStringLiteral("/stopped_upscaled.png")));
    QTest::qWait(300);
    QCOMPARE(m_server.shown.size(), shownBefore);
}

void TestImageUpscaler::pngJpgAndMatchingSize()
{
    const QString source = writePicture(QStringLiteral("photo.png"), 24, 16);
    auto model = freshModel();
    model->setQuality(AIQuality::Fast);
    model->setScale(2);
    const qsizetype shownBefore = m_server.shown.size();

    // PNG with the adjustments on, then JPG, queued back to back.
    model->load(QUrl::fromLocalFile(source));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    model->setAdvanced(true);
    model->setSharpness(0.8);
    model->setSaturation(1.4);
    model->run();
    QVERIFY(model->inputURL().isEmpty());
    model->load(QUrl::fromLocalFile(source));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    model->setAdvanced(false);
    model->setFormat(QStringLiteral("jpg"));
    model->run();
    QTRY_VERIFY_WITH_TIMEOUT(!JobQueue::shared().jobs().isEmpty(), waitMs);
    QCOMPARE(JobQueue::shared().jobs().first().icon, QStringLiteral("photo"));
    QCOMPARE(JobQueue::shared().jobs().first().detail, QStringLiteral("2× · Fast"));
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);

    const QString png = m_folder + QStringLiteral("/photo_upscaled.png");
    const QString jpg = m_folder + QStringLiteral("/photo_upscaled.jpg");
    QCOMPARE(formatOf(png), QStringLiteral("png"));
    QCOMPARE(QImage(png).size(), QSize(48, 32));
    QCOMPARE(formatOf(jpg), QStringLiteral("jpeg"));
    QCOMPARE(QImage(jpg).size(), QSize(48, 32));
    QCOMPARE(model->statusText(), QStringLiteral("Saved"));
    QCOMPARE(model->savedPath(), jpg);
    QCOMPARE(model->outputURL(), QUrl::fromLocalFile(jpg));
    QCOMPARE(model->upscaledImage().size(), QSize(48, 32));
    QCOMPARE(model->upscaledInfo(), QStringLiteral("48×32 px · ") +
                                        ImageUpscaler::byteString(double(QFileInfo(jpg).size())));
    QVERIFY(model->errorText().isEmpty());

    // Matching the source's size is always JPEG, whatever the format says; the first JPEG name is
    // taken now.
    model->load(QUrl::fromLocalFile(source));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    model->setFormat(QStringLiteral("png"));
    model->setMatchFileSize(true);
    QCOMPARE(model->estimatedSizeText(), ImageUpscaler::byteString(double(model->sourceBytes())));
    model->run();
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);
    const QString matched = m_folder + QStringLiteral("/photo_upscaled_1.jpg");
    QCOMPARE(formatOf(matched), QStringLiteral("jpeg"));
    QCOMPARE(QImage(matched).size(), QSize(48, 32));
    QVERIFY(!QFileInfo::exists(m_folder + QStringLiteral("/photo_upscaled_1.png")));

    // Three entries, newest first, and three notifications.
    QCOMPARE(model->history().size(), 3);
    const QStringList expectedPaths{matched, jpg, png};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(model->history().at(i).success);
        QCOMPARE(model->history().at(i).name, QStringLiteral("photo.png"));
        QCOMPARE(model->history().at(i).scale, 2);
        QCOMPARE(model->history().at(i).savedPath, std::optional<QString>(expectedPaths.at(i)));
    }
    HistoryStore::shared().flush();
    QCOMPARE(
        QJsonDocument::fromJson(KorvaneTest::readFile(ImageUpscaler::historyPath())).array().size(),
        3);
    QTRY_COMPARE_WITH_TIMEOUT(m_server.shown.size(), shownBefore + 3, waitMs);
    for (qsizetype i = shownBefore; i < m_server.shown.size(); ++i)
        QCOMPARE(m_server.shown.at(i).body, QStringLiteral("photo.png is ready."));
}

void TestImageUpscaler::phonePhotoComesOutUpright()
{
    const QString source = m_folder + QStringLiteral("/phone.jpg");
    QVERIFY(KorvaneTest::writeFile(source, KorvaneTest::turnedJpeg(32, 16)));
    auto model = freshModel();
    model->setQuality(AIQuality::Fast);
    model->setScale(2);
    model->setFormat(QStringLiteral("jpg"));
    model->load(QUrl::fromLocalFile(source));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    QCOMPARE(QSize(int(model->srcW()), int(model->srcH())), QSize(16, 32));
    QCOMPARE(model->originalImage().size(), QSize(16, 32));
    model->run();
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);
    QVERIFY2(model->errorText().isEmpty(), qPrintable(model->errorText()));

    const QString output = m_folder + QStringLiteral("/phone_upscaled.jpg");
    QImageReader reader(output);
    QCOMPARE(reader.size(), QSize(32, 64));
    // Upright as stored: no orientation tag for a viewer to apply a second time.
    QCOMPARE(reader.transformation(), QImageIOHandler::TransformationNone);
    const QImage result = reader.read();
    const QColor top = result.pixelColor(16, 8);
    const QColor bottom = result.pixelColor(16, 56);
    QVERIFY2(top.red() > 200 && top.blue() < 80, qPrintable(top.name()));
    QVERIFY2(bottom.blue() > 200 && bottom.red() < 80, qPrintable(bottom.name()));
}

void TestImageUpscaler::tooLargeForMemoryIsRefusedBeforeTheEngine()
{
    const QString source = writePicture(QStringLiteral("large.png"), 24, 16);
    auto model = freshModel();
    model->setQuality(AIQuality::Fast);
    model->setScale(4);
    model->load(QUrl::fromLocalFile(source));
    QTRY_VERIFY_WITH_TIMEOUT(model->hasSelection(), waitMs);
    // A machine whose memory holds the source but not the 96×64 result.
    SystemFacts::setPhysicalMemoryOverride(quint64(64) * 1024);
    model->run();
    QTRY_VERIFY_WITH_TIMEOUT(!model->isRunning(), jobWaitMs);
    SystemFacts::setPhysicalMemoryOverride(std::nullopt);
    QVERIFY2(model->errorText().startsWith(
                 QStringLiteral("This picture is too large for this computer's memory: 96×64")),
             qPrintable(model->errorText()));
    QVERIFY(!QFileInfo::exists(m_folder + QStringLiteral("/large_upscaled.png")));
    // The engine never ran, so it left no work folder behind either.
    QVERIFY(QDir::temp().entryList({QStringLiteral("img-*")}).isEmpty());
}

void TestImageUpscaler::historyEditsBeforeLoadingApply()
{
    const QList<ImageUpscaler::HistoryEntry> stored{entry(QStringLiteral("a.png"), false),
                                                    entry(QStringLiteral("b.png"), false),
                                                    entry(QStringLiteral("c.png"), false)};
    QVERIFY(
        KorvaneTest::writeFile(ImageUpscaler::historyPath(), ImageUpscaler::encodeHistory(stored)));
    {
        // Deleting one entry and clearing the whole list, each before the file has been read.
        ImageUpscaler model;
        QVERIFY(!model.historyLoaded());
        model.deleteHistory({stored.at(1).id}, false);
        QTRY_VERIFY_WITH_TIMEOUT(model.historyLoaded(), waitMs);
        QCOMPARE(model.history(), (QList<ImageUpscaler::HistoryEntry>{stored.at(0), stored.at(2)}));
    }
    HistoryStore::shared().flush();
    QCOMPARE(
        ImageUpscaler::decodeHistory(KorvaneTest::readFile(ImageUpscaler::historyPath()))->size(),
        2);
    {
        ImageUpscaler model;
        model.clearHistory(false);
        QTRY_VERIFY_WITH_TIMEOUT(model.historyLoaded(), waitMs);
        QVERIFY(model.history().isEmpty());
    }
    HistoryStore::shared().flush();
    QVERIFY(ImageUpscaler::decodeHistory(KorvaneTest::readFile(ImageUpscaler::historyPath()))
                ->isEmpty());
}

KORVANE_TEST_MAIN_ON_PRIVATE_BUS(TestImageUpscaler)

#include "tst_imageupscaler.moc"
