// Update check and installer download against the development server on 127.0.0.1.
#include <memory>

#include <csignal>
#include <optional>

#include <sys/resource.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>

#include "DevServer.h"
#include "account/SystemOpener.h"
#include "account/UpdateChecker.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
using Status = UpdateChecker::Status;
using DownloadState = UpdateChecker::DownloadState;

Q_DECLARE_METATYPE(UpdateChecker::Status)
Q_DECLARE_METATYPE(UpdateChecker::DownloadState)

namespace {
const QString checkFailed =
    QStringLiteral("Couldn't check for updates. Check your connection and try again.");
const QString downloadFailed =
    QStringLiteral("Download failed. Please try again or use your browser.");
const QString damaged = QStringLiteral("The download was damaged or altered. Try again.");
using Opened = QList<QPair<SystemOpener::Action, QUrl>>;

// What happens around one installer download.
enum class Scenario {
    ChecksumMatches,
    ChecksumDiffers,
    NoChecksum,
    PlainHttpOnPublicHost,
    RedirectToPlainHttp,
    RedirectOnLoopback,
    LongerThanAnnounced,
    Cancelled,
    DiskFull,
    DestinationNotAFolder,
};

// Files this process writes may not grow past a size while it exists: a full disk, for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
};

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

Q_DECLARE_METATYPE(Scenario)

// Failure output names the state.
char* toString(const UpdateChecker::DownloadState& state)
{
    return QTest::toString(
        QStringLiteral("kind %1, fraction %2, file \"%3\", message \"%4\", %5")
            .arg(static_cast<int>(state.kind))
            .arg(state.fraction)
            .arg(state.file, state.message,
                 state.verified ? QStringLiteral("verified") : QStringLiteral("not verified")));
}

class TestUpdateChecker final : public QObject {
    Q_OBJECT

    std::unique_ptr<DevServer> m_server;
    QString m_downloads;
    Opened m_opened;

    QString manifestUrl() const
    {
        return m_server->baseUrl() + QStringLiteral("/apps/korvane.json");
    }
    QString fileUrl(const QString& name) const
    {
        return m_server->baseUrl() + QStringLiteral("/downloads/") + name;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The desktop's Downloads folder, inside this test's private folders.
        m_downloads = KorvaneTest::isolatedRoot() + QStringLiteral("/Downloads");
        QFile dirs(KorvaneTest::isolatedRoot() + QStringLiteral("/config/user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + QFile::encodeName(m_downloads) + "\"\n");
        dirs.close();
        QCOMPARE(UpdateChecker::downloadFolder(), m_downloads);
    }

    void init()
    {
        QDir(m_downloads).removeRecursively();
        QFile::remove(m_downloads);
        QVERIFY(QDir().mkpath(m_downloads));
        m_server = std::make_unique<DevServer>();
        QVERIFY(m_server->listen() != 0);
        qputenv("KORVANE_UPDATE_URL", manifestUrl().toUtf8());
        m_opened.clear();
        SystemOpener::setInterceptor([this](SystemOpener::Action action, const QUrl& url) {
            m_opened.append({action, url});
        });
    }

    void cleanup()
    {
        SystemOpener::setInterceptor({});
        m_server.reset();
    }

    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("1.10 > 1.9") << "1.10"
                                    << "1.9" << 1;
        QTest::newRow("1.9 < 1.10") << "1.9"
                                    << "1.10" << -1;
        QTest::newRow("1.0 = 1") << "1.0"
                                 << "1" << 0;
        QTest::newRow("1 = 1.0.0") << "1"
                                   << "1.0.0" << 0;
        QTest::newRow("1.2.1 > 1.2") << "1.2.1"
                                     << "1.2" << 1;
        QTest::newRow("empty parts dropped") << "1..2"
                                             << "1.2" << 0;
        QTest::newRow("2-beta counts 0") << "2-beta"
                                         << "0" << 0;
        QTest::newRow("2-beta < 1") << "2-beta"
                                    << "1" << -1;
        QTest::newRow("signed part") << "+3.-1"
                                     << "3" << -1;
        QTest::newRow("empty = 0") << ""
                                   << "0" << 0;
    }

    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(UpdateChecker::compareVersions(a, b), expected);
    }

    void buildNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("digits") << "42" << qint64(42);
        QTest::newRow("42a") << "42a" << qint64(0);
        QTest::newRow("plus sign") << "+7" << qint64(7);
        QTest::newRow("minus sign") << "-3" << qint64(-3);
        QTest::newRow("space") << " 4" << qint64(0);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("too large") << "99999999999999999999" << qint64(0);
    }

    void buildNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        QCOMPARE(UpdateChecker({QStringLiteral("1.0"), text}).currentBuild(), expected);
    }

    void compiledInIdentity()
    {
        UpdateChecker checker;
        QCOMPARE(checker.currentVersion(), QStringLiteral(KORVANE_VERSION));
        QCOMPARE(checker.currentBuild(), QByteArray(KORVANE_BUILD_NUMBER).toLongLong());
        QCOMPARE(checker.manifestURLString(), manifestUrl());
    }

    void check_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("build");
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<bool>("userInitiated");
        QTest::addColumn<Status>("expected");
        const QUrl url(QStringLiteral("https://example.com/Korvane.AppImage"));
        // A manifest with the download address above and the given members.
        const auto manifest = [](const QByteArray& members) -> QByteArray {
            return QByteArray("{\"downloadURL\":\"https://example.com/Korvane.AppImage\",") +
                   members + '}';
        };
        QTest::newRow("1.10 newer than 1.9")
            << "1.9"
            << "1" << 200 << manifest(R"("version":"1.10","notes":"Faster.")") << true
            << Status::available(QStringLiteral("1.10"), url, QStringLiteral("Faster."));
        QTest::newRow("automatic finds it too")
            << "1.9"
            << "1" << 200 << manifest(R"("version":"1.10","notes":null)") << false
            << Status::available(QStringLiteral("1.10"), url, QString());
        QTest::newRow("1.9.0 is 1.9")
            << "1.9"
            << "1" << 200 << manifest(R"("version":"1.9.0")") << true << Status::upToDate();
        QTest::newRow("same build, newer version")
            << "1.0"
            << "42" << 200 << manifest(R"("version":"9.9","build":42)") << true
            << Status::upToDate();
        QTest::newRow("build 43") << "1.0"
                                  << "42" << 200 << manifest(R"("version":"1.0","build":43)")
                                  << true
                                  << Status::available(QStringLiteral("1.0"), url, QString());
        QTest::newRow("42a counts 0")
            << "5.0"
            << "42a" << 200 << manifest(R"("version":"0.1","build":1)") << true
            << Status::available(QStringLiteral("0.1"), url, QString());
        QTest::newRow("server error, user")
            << "1.0"
            << "1" << 500 << manifest(R"("version":"2")") << true << Status::failed(checkFailed);
        QTest::newRow("server error, automatic")
            << "1.0"
            << "1" << 500 << manifest(R"("version":"2")") << false << Status::idle();
        QTest::newRow("not JSON, user")
            << "1.0"
            << "1" << 200 << QByteArray("<html>") << true << Status::failed(checkFailed);
        QTest::newRow("no version, user")
            << "1.0"
            << "1" << 200 << manifest(R"("notes":"x")") << true << Status::failed(checkFailed);
        QTest::newRow("build as text, user")
            << "1.0"
            << "1" << 200 << manifest(R"("version":"2","build":"2")") << true
            << Status::failed(checkFailed);
        QTest::newRow("bad downloadURL, user")
            << "1.0"
            << "1" << 200
            << QByteArray("{\"version\":\"2\",\"downloadURL\":\"http://exa mple.com/K\"}") << true
            << Status::failed(checkFailed);
        QTest::newRow("local file downloadURL, user")
            << "1.0"
            << "1" << 200 << QByteArray("{\"version\":\"2\",\"downloadURL\":\"file:///bin/sh\"}")
            << true << Status::failed(checkFailed);
        QTest::newRow("plain http on a public host, user")
            << "1.0"
            << "1" << 200
            << QByteArray("{\"version\":\"2\",\"downloadURL\":\"http://example.com/K.AppImage\"}")
            << true << Status::failed(checkFailed);
        const QByteArray digest = DevServer::sha256Hex("installer");
        QTest::newRow("published checksum, any case")
            << "1.0"
            << "1" << 200
            << manifest(QByteArray(R"("version":"2","sha256":")" + digest.toUpper() +
                                   QByteArray(1, 0x22)))
            << true << Status::available(QStringLiteral("2"), url, QString(), digest);
        QTest::newRow("checksum too short, user")
            << "1.0"
            << "1" << 200
            << manifest(QByteArray(R"("version":"2","sha256":")" + digest.left(60) +
                                   QByteArray(1, 0x22)))
            << true << Status::failed(checkFailed);
        QTest::newRow("bad downloadURL, automatic")
            << "1.0"
            << "1" << 200 << QByteArray(R"({"version":"2","downloadURL":""})") << false
            << Status::idle();
    }

    void check()
    {
        QFETCH(QString, version);
        QFETCH(QString, build);
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, manifest);
        QFETCH(bool, userInitiated);
        QFETCH(Status, expected);
        m_server->setResponse(QStringLiteral("/apps/korvane.json"),
                              {httpStatus, "application/json", manifest});
        UpdateChecker checker({version, build});
        checker.check(userInitiated);
        QCOMPARE(checker.status(), userInitiated ? Status::checking() : Status::idle());
        QTRY_COMPARE(m_server->requestCount(QStringLiteral("/apps/korvane.json")), 1);
        QTRY_COMPARE(checker.status(), expected);
    }

    void automaticFailureClearsAnEarlierOutcome()
    {
        UpdateChecker checker({QStringLiteral("1.0"), QStringLiteral("1")});
        checker.check(true);
        QTRY_COMPARE(checker.status().kind, Status::Kind::Available);
        m_server->setResponse(QStringLiteral("/apps/korvane.json"), {503, "text/html", "busy"});
        checker.check(false);
        QCOMPARE(checker.status().kind, Status::Kind::Available);
        QTRY_COMPARE(checker.status(), Status::idle());
    }

    void unreachableManifest_data()
    {
        QTest::addColumn<bool>("stalled");
        QTest::newRow("no server") << false;
        QTest::newRow("no answer") << true;
    }

    void unreachableManifest()
    {
        QFETCH(bool, stalled);
        if (stalled) {
            m_server->setStalled(QStringLiteral("/apps/korvane.json"));
        } else {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            const quint16 port = closed.serverPort();
            closed.close();
            qputenv("KORVANE_UPDATE_URL",
                    "http://127.0.0.1:" + QByteArray::number(port) + "/apps/korvane.json");
        }
        UpdateChecker checker({QStringLiteral("1.0"), QStringLiteral("1")}, 300ms);
        checker.check(true);
        QTRY_COMPARE_WITH_TIMEOUT(checker.status(), Status::failed(checkFailed), 10000);
    }

    void unconfiguredAddress()
    {
        qputenv("KORVANE_UPDATE_URL", "http://exa mple.com/apps/korvane.json");
        UpdateChecker checker;
        checker.check(false);
        QCOMPARE(checker.status(), Status::idle());
        checker.check(true);
        QCOMPARE(checker.status(), Status::failed(QStringLiteral("Update URL is not configured.")));
        QTest::qWait(100);
        QCOMPARE(m_server->requests().size(), 0);
    }

    void downloadNaming_data()
    {
        QTest::addColumn<QString>("served");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("saved");
        QTest::newRow("not an installer name") << "latest" << QStringList() << "Korvane.AppImage";
        QTest::newRow("deb in capitals kept") << "Release.DEB" << QStringList() << "Release.DEB";
        QTest::newRow("AppImage kept")
            << "Korvane-2.0.appimage" << QStringList() << "Korvane-2.0.appimage";
        QTest::newRow("two taken")
            << "latest"
            << QStringList{QStringLiteral("Korvane.AppImage"), QStringLiteral("Korvane-1.AppImage")}
            << "Korvane-2.AppImage";
        QTest::newRow("deb taken")
            << "Release.DEB" << QStringList{QStringLiteral("Release.DEB")} << "Release-1.deb";
    }

    void downloadNaming()
    {
        QFETCH(QString, served);
        QFETCH(QStringList, existing);
        QFETCH(QString, saved);
        for (const QString& name : existing) {
            QFile file(m_downloads + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("older");
        }
        m_server->addDownload(served, "installer " + served.toUtf8());
        UpdateChecker checker;
        checker.downloadUpdate(QUrl(fileUrl(served)));
        QCOMPARE(checker.download(), DownloadState::downloading(0));
        const QString expected = m_downloads + QLatin1Char('/') + saved;
        QTRY_COMPARE(checker.download(), DownloadState::finished(expected, false));
        QCOMPARE(readAll(expected), QStringLiteral("installer ") + served);
        for (const QString& name : existing)
            QCOMPARE(readAll(m_downloads + QLatin1Char('/') + name), QStringLiteral("older"));
        // No checksum was published: shown in the file manager, not opened.
        QCOMPARE(m_opened, (Opened{{SystemOpener::Action::Reveal, QUrl::fromLocalFile(expected)}}));
    }

    void progressReachesOne()
    {
        QByteArray contents(3 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < contents.size(); ++i)
            contents[i] = static_cast<char>(i * 7);
        m_server->addDownload(QStringLiteral("Korvane.AppImage"), contents);
        UpdateChecker checker;
        QList<double> fractions;
        connect(&checker, &UpdateChecker::downloadChanged, this, [&] {
            if (checker.download().kind == DownloadState::Kind::Downloading)
                fractions.append(checker.download().fraction);
        });
        checker.downloadUpdate(QUrl(fileUrl(QStringLiteral("Korvane.AppImage"))));
        QTRY_COMPARE(checker.download().kind, DownloadState::Kind::Finished);
        QVERIFY(fractions.size() >= 2);
        QCOMPARE(fractions.constFirst(), 0.0);
        QCOMPARE(fractions.constLast(), 1.0);
        QVERIFY(std::is_sorted(fractions.cbegin(), fractions.cend()));
        QFile saved(checker.download().file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll() == contents);
    }

    void secondPressWhileDownloadingStartsNothing()
    {
        m_server->setStalled(QStringLiteral("/downloads/slow.AppImage"));
        m_server->addDownload(QStringLiteral("other.AppImage"), "other");
        UpdateChecker checker;
        checker.downloadUpdate(QUrl(fileUrl(QStringLiteral("slow.AppImage"))));
        checker.downloadUpdate(QUrl(fileUrl(QStringLiteral("other.AppImage"))));
        QTRY_COMPARE(m_server->requests().size(), 1);
        QTest::qWait(300);
        QCOMPARE(m_server->requests().size(), 1);
        QCOMPARE(m_server->requests().constFirst().path,
                 QStringLiteral("/downloads/slow.AppImage"));
        QCOMPARE(checker.download(), DownloadState::downloading(0));
    }

    // An error page is not an installer: nothing is saved or opened, and a retry starts afresh.
    void errorAnswersFail_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
    }

    void errorAnswersFail()
    {
        QFETCH(int, httpStatus);
        m_server->setResponse(QStringLiteral("/downloads/Korvane.AppImage"),
                              {httpStatus, "text/html", "<html><body>Error page</body></html>"});
        UpdateChecker checker;
        const QUrl url(fileUrl(QStringLiteral("Korvane.AppImage")));
        checker.downloadUpdate(url);
        QTRY_COMPARE(checker.download(), DownloadState::failed(downloadFailed));
        QCOMPARE(QDir(m_downloads).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(m_opened.isEmpty());

        m_server->setResponse(QStringLiteral("/downloads/Korvane.AppImage"),
                              {200, "application/octet-stream", "fixed"});
        QSignalSpy changes(&checker, &UpdateChecker::downloadChanged);
        checker.downloadUpdate(url);
        QCOMPARE(checker.download(), DownloadState::downloading(0));
        QTRY_COMPARE(
            checker.download(),
            DownloadState::finished(m_downloads + QStringLiteral("/Korvane.AppImage"), false));
    }

    void manifestThatTricklesEndsAtTheDeadline()
    {
        // Each byte arrives well within the silence limit; only the overall deadline ends it.
        const QString path = QStringLiteral("/apps/korvane.json");
        m_server->setResponse(path, {200, "application/json", QByteArray(200, ' ') + "{}"});
        m_server->setDelivery(path, {.trickleMs = 50});
        UpdateChecker checker({QStringLiteral("1.0"), QStringLiteral("1")}, 1000ms);
        QElapsedTimer clock;
        clock.start();
        checker.check(true);
        QTRY_COMPARE_WITH_TIMEOUT(checker.status(), Status::failed(checkFailed), 8000);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    void oversizedManifestFails()
    {
        m_server->setResponse(
            QStringLiteral("/apps/korvane.json"),
            {200, "application/json", "{\"notes\":\"" + QByteArray(100 * 1024, 'x') + "\"}"});
        UpdateChecker checker({QStringLiteral("1.0"), QStringLiteral("1")});
        checker.check(true);
        QTRY_COMPARE(checker.status(), Status::failed(checkFailed));
    }

    void download_data()
    {
        QTest::addColumn<Scenario>("scenario");
        QTest::addColumn<DownloadState>("expected"); // file relative to Downloads
        QTest::addColumn<bool>("opened");
        const auto saved = [](bool verified) {
            return DownloadState::finished(QStringLiteral("Korvane.AppImage"), verified);
        };
        QTest::newRow("checksum matches: opened")
            << Scenario::ChecksumMatches << saved(true) << true;
        QTest::newRow("checksum differs: deleted")
            << Scenario::ChecksumDiffers << DownloadState::failed(damaged) << false;
        QTest::newRow("no checksum: shown, not opened")
            << Scenario::NoChecksum << saved(false) << false;
        QTest::newRow("plain http on a public host")
            << Scenario::PlainHttpOnPublicHost << DownloadState::failed(downloadFailed) << false;
        QTest::newRow("redirect to plain http")
            << Scenario::RedirectToPlainHttp << DownloadState::failed(downloadFailed) << false;
        QTest::newRow("redirect on the loopback host")
            << Scenario::RedirectOnLoopback << saved(true) << true;
        QTest::newRow("longer than announced")
            << Scenario::LongerThanAnnounced << DownloadState::failed(downloadFailed) << false;
        QTest::newRow("cancelled") << Scenario::Cancelled << DownloadState::idle() << false;
        QTest::newRow("disk full")
            << Scenario::DiskFull << DownloadState::failed(downloadFailed) << false;
        QTest::newRow("destination not a folder")
            << Scenario::DestinationNotAFolder << DownloadState::failed(downloadFailed) << false;
    }

    void download()
    {
        QFETCH(Scenario, scenario);
        QFETCH(DownloadState, expected);
        QFETCH(bool, opened);
        // Large enough to arrive in many pieces.
        QByteArray installer(2 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < installer.size(); ++i)
            installer[i] = static_cast<char>(i * 13);
        const QString path = QStringLiteral("/downloads/Korvane.AppImage");
        m_server->addDownload(QStringLiteral("Korvane.AppImage"), installer);
        QJsonObject manifest = m_server->defaultManifest();
        QUrl url(fileUrl(QStringLiteral("Korvane.AppImage")));
        switch (scenario) {
        case Scenario::ChecksumDiffers:
            manifest.insert(QStringLiteral("sha256"),
                            QString::fromLatin1(DevServer::sha256Hex("something else")));
            break;
        case Scenario::NoChecksum:
            manifest.remove(QStringLiteral("sha256"));
            break;
        case Scenario::PlainHttpOnPublicHost:
            url = QUrl(QStringLiteral("http://example.com/Korvane.AppImage"));
            break;
        case Scenario::RedirectToPlainHttp:
        case Scenario::RedirectOnLoopback:
            url = QUrl(fileUrl(QStringLiteral("latest")));
            m_server->setResponse(QStringLiteral("/downloads/latest"), {302, "text/plain", ""});
            m_server->setDelivery(
                QStringLiteral("/downloads/latest"),
                {.headers = {
                     {"Location", scenario == Scenario::RedirectOnLoopback
                                      ? fileUrl(QStringLiteral("Korvane.AppImage")).toUtf8()
                                      : QByteArray("http://example.com/Korvane.AppImage")}}});
            break;
        case Scenario::LongerThanAnnounced:
            // Qt stops reading at a Content-Length; in chunked encoding the header is only a claim.
            m_server->setDelivery(path, {.announcedLength = installer.size() / 2, .chunked = true});
            break;
        case Scenario::Cancelled:
        case Scenario::DiskFull:
            // Slow enough to be caught in the middle.
            m_server->setDelivery(path, {.trickleMs = 20, .trickleChunk = 64 * 1024});
            break;
        case Scenario::DestinationNotAFolder:
            QVERIFY(QDir(m_downloads).removeRecursively());
            QVERIFY(KorvaneTest::writeFile(m_downloads, "a file where the folder should be"));
            break;
        default:
            break;
        }
        manifest.insert(QStringLiteral("downloadURL"), url.toString());
        m_server->setManifest(manifest);

        UpdateChecker checker({QStringLiteral("1.0"), QStringLiteral("1")});
        // A manifest naming a plain http address is refused already (see check()); the
        // downloader refuses it on its own as well.
        if (scenario != Scenario::PlainHttpOnPublicHost) {
            checker.check(true);
            QTRY_COMPARE(checker.status().kind, Status::Kind::Available);
            QCOMPARE(checker.status().url, url);
        }
        std::optional<FileSizeLimit> limit;
        if (scenario == Scenario::DiskFull)
            limit.emplace(256 * 1024);
        QElapsedTimer clock;
        clock.start();
        checker.downloadUpdate(url);
        if (scenario == Scenario::Cancelled) {
            QTRY_VERIFY(checker.download().fraction > 0);
            checker.cancelDownload();
            QCOMPARE(checker.download(), DownloadState::idle());
            // A late word from the cancelled transfer does not bring its state back.
            QTest::qWait(300);
        }
        if (expected.kind == DownloadState::Kind::Finished)
            expected.file = m_downloads + QLatin1Char('/') + expected.file;
        QTRY_COMPARE(checker.download(), expected);
        // A slow transfer is abandoned at the first failed write, long before its end.
        if (scenario == Scenario::DiskFull)
            QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        limit.reset();

        const QStringList left =
            QDir(m_downloads).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        if (expected.kind != DownloadState::Kind::Finished) {
            // Nothing is left behind, not even the partial file.
            QTRY_COMPARE(QDir(m_downloads).entryList(QDir::Files | QDir::Hidden), QStringList());
            QVERIFY(m_opened.isEmpty());
            return;
        }
        QCOMPARE(left, QStringList{QStringLiteral("Korvane.AppImage")});
        QFile file(expected.file);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == installer);
        const QUrl shown = QUrl::fromLocalFile(expected.file);
        Opened expectedOpened{{SystemOpener::Action::Reveal, shown}};
        if (opened)
            expectedOpened.append({SystemOpener::Action::Open, shown});
        QCOMPARE(m_opened, expectedOpened);
        // Only a verified AppImage can be started.
        QCOMPARE(QFileInfo(expected.file).isExecutable(), expected.verified);
    }

    void unreachableDownloadFails()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        UpdateChecker checker;
        checker.downloadUpdate(QUrl(QStringLiteral("http://127.0.0.1:%1/K.AppImage").arg(port)));
        QTRY_COMPARE(checker.download(), DownloadState::failed(downloadFailed));
    }
};

KORVANE_TEST_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
