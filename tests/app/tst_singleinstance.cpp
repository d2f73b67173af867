// The hand-off of URLs from a second launch to the running application.
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>

#include "DevServer.h"
#include "account/AccountStore.h"
#include "account/AuthManager.h"
#include "app/KorvaneApp.h"
#include "app/SingleInstance.h"
#include "app/UrlHandoff.h"
#include "support/TestSupport.h"

class TestSingleInstance final : public QObject {
    Q_OBJECT

    DevServer m_server;
    int m_names = 0;

    QString freshName() { return QDir::tempPath() + QStringLiteral("/instance-%1").arg(++m_names); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen() != 0);
        qputenv("KORVANE_API_BASE", m_server.baseUrl().toUtf8());
        // The running instance's socket lives in the user's runtime folder: a private one here.
        const QString runtime = KorvaneTest::isolatedRoot() + QStringLiteral("/runtime");
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }

    void cleanup() { UrlHandoff::setHandler({}); }

    void urlsReachTheRunningInstanceInOrder()
    {
        const QString name = freshName();
        SingleInstance running(name);
        QVERIFY(running.listen());
        QList<QUrl> received;
        UrlHandoff::setHandler([&received](const QUrl& url) { received.append(url); });
        QSignalSpy activated(&running, &SingleInstance::activated);

        const QList<QUrl> urls{QUrl(QStringLiteral("korvane://auth?token=a%20b")),
                               QUrl(QStringLiteral("korvane://auth?token=second"))};
        QVERIFY(SingleInstance(name).handToRunning(urls));
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(received, urls);

        // A plain second launch only asks for the window.
        QVERIFY(SingleInstance(name).handToRunning({}));
        QTRY_COMPARE(activated.size(), 2);
        QCOMPARE(received.size(), 2);
    }

    void withNoneRunningTheLaunchCarriesOn()
    {
        const QString name = freshName();
        QVERIFY(!SingleInstance(name).handToRunning({QUrl(QStringLiteral("korvane://auth"))}));
        // A socket file left by an instance that died does not block the next one.
        QFile leftover(name);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        QVERIFY(!SingleInstance(name).handToRunning({}));
        SingleInstance running(name);
        QVERIFY(running.listen());
        QSignalSpy activated(&running, &SingleInstance::activated);
        QVERIFY(SingleInstance(name).handToRunning({}));
        QTRY_COMPARE(activated.size(), 1);
    }

    // The real thing: `korvane korvane://auth?token=…` started while the application runs hands
    // the callback over and exits; the running application stores the token and signs in.
    void secondProcessSignsTheRunningApplicationIn()
    {
        const QString korvane =
            QStringLiteral(KORVANE_TEST_BINARY_DIR) + QStringLiteral("/korvane");
        QVERIFY2(QFileInfo::exists(korvane), "the korvane executable is built with the tests");
        KorvaneApp app;
        SingleInstance running;
        QVERIFY(running.listen());
        connect(&running, &SingleInstance::activated, &app, &KorvaneApp::bringToFront);
        QVERIFY(!app.window().isVisible());

        QProcess second;
        second.start(korvane, {QStringLiteral("korvane://auth?token=dev-token")});
        QVERIFY(second.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 30000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        AuthManager& auth = AuthManager::shared();
        QTRY_COMPARE(auth.token(), std::optional(QStringLiteral("dev-token")));
        QCOMPARE(AccountStore::token(auth.tokenKey()), std::optional(QStringLiteral("dev-token")));
        QTRY_VERIFY(auth.user());
        QCOMPARE(auth.user()->displayName(), QStringLiteral("Ada Lovelace"));
        QVERIFY(app.window().isVisible());
    }
};

KORVANE_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
