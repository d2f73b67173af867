// Update check and installer download against the development server on 127.0.0.1.
#include <memory>

#include <QDir>
#include <QFile>
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

namespace {
const QString checkFailed =
    QStringLiteral("Couldn't check for updates. Check your connection and try again.");
const QString downloadFailed =
    QStringLiteral("Download failed. Please try again or use your browser.");

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestUpdateChecker final : public QObject {
    Q_OBJECT

    std::unique_ptr<DevServer> m_server;
    QString m_downloads;
    QList<QPair<SystemOpener::Action, QUrl>> m_opened;

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
        const auto manifest = [](const char* members) -> QByteArray {
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
        QTRY_COMPARE(checker.download(), DownloadState::finished(expected));
        QCOMPARE(readAll(expected), QStringLiteral("installer ") + served);
        for (const QString& name : existing)
            QCOMPARE(readAll(m_downloads + QLatin1Char('/') + name), QStringLiteral("older"));
        // Shown in the file manager, then opened.
        const QUrl file = QUrl::fromLocalFile(expected);
        QCOMPARE(m_opened,
                 (QList<QPair<SystemOpener::Action, QUrl>>{{SystemOpener::Action::Reveal, file},
                                                           {SystemOpener::Action::Open, file}}));
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
        QTRY_COMPARE(checker.download(),
                     DownloadState::finished(m_downloads + QStringLiteral("/Korvane.AppImage")));
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
