// One Korvane per user: the lock and the private socket that hand a later launch's URLs to the
// running instance.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include "DevServer.h"
#include "account/AccountStore.h"
#include "account/AuthManager.h"
#include "app/KorvaneApp.h"
#include "app/SingleInstance.h"
#include "app/UrlHandoff.h"
#include "support/TestSupport.h"

namespace {

// A launch as main() makes it, in a process of its own: "--launch <folder> <count> <urls…>".
// The one that becomes the running instance prints "running" and then, once it holds count URLs
// (its own and those handed to it) or after ten seconds, each URL on a line. The others print
// "handed over".
int launch(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int count = arguments.value(3).toInt();
    QList<QUrl> received;
    UrlHandoff::setHandler([&received, count](const QUrl& url) {
        received.append(url);
        // The last launch's answer goes out before this one ends.
        if (received.size() >= count)
            QTimer::singleShot(200, QCoreApplication::instance(), &QCoreApplication::quit);
    });
    const QList<QUrl> urls = UrlHandoff::urlsFromArguments(arguments.mid(4));
    SingleInstance instance(arguments.value(2));
    switch (instance.claim(urls)) {
    case SingleInstance::Role::HandedOver:
        std::puts("handed over");
        return 0;
    case SingleInstance::Role::Unreachable:
        std::puts("unreachable");
        return 1;
    case SingleInstance::Role::Running:
        break;
    }
    std::puts("running");
    std::fflush(stdout);
    UrlHandoff::deliver(urls);
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    if (received.size() < count)
        QCoreApplication::exec();
    for (const QUrl& url : std::as_const(received))
        std::puts(url.toEncoded().constData());
    return 0;
}
} // namespace

class TestSingleInstance final : public QObject {
    Q_OBJECT

    DevServer m_server;
    int m_folders = 0;

    // A later launch, on a thread of its own: the running instance answers on this one.
    static QFuture<bool> handOver(const QString& folder, const QList<QUrl>& urls,
                                  uid_t trusted = ::getuid())
    {
        return QtConcurrent::run([folder, urls, trusted] {
            SingleInstance launch(folder);
            launch.setTrustedUid(trusted);
            return launch.handToRunning(urls, 1000);
        });
    }

    // A private folder of its own for each instance under test.
    QString freshFolder()
    {
        const QString folder =
            KorvaneTest::isolatedRoot() + QStringLiteral("/instances/%1").arg(++m_folders);
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen() != 0);
        qputenv("KORVANE_API_BASE", m_server.baseUrl().toUtf8());
        qputenv("XDG_CACHE_HOME",
                QFile::encodeName(KorvaneTest::isolatedRoot() + QStringLiteral("/cache")));
    }

    void cleanup() { UrlHandoff::setHandler({}); }

    void urlsReachTheRunningInstanceInOrder()
    {
        const QString folder = freshFolder();
        SingleInstance running(folder);
        QCOMPARE(running.claim({}), SingleInstance::Role::Running);
        QList<QUrl> received;
        UrlHandoff::setHandler([&received](const QUrl& url) { received.append(url); });
        QSignalSpy activated(&running, &SingleInstance::activated);

        const QList<QUrl> urls{QUrl(QStringLiteral("korvane://auth?token=a%20b")),
                               QUrl(QStringLiteral("korvane://auth?token=second"))};
        QFuture<bool> handed = handOver(folder, urls);
        QTRY_VERIFY(handed.isFinished());
        QVERIFY(handed.result());
        QCOMPARE(activated.size(), 1);
        QCOMPARE(received, urls);

        // A plain second launch only asks for the window.
        handed = handOver(folder, {});
        QTRY_VERIFY(handed.isFinished());
        QVERIFY(handed.result());
        QCOMPARE(activated.size(), 2);
        QCOMPARE(received.size(), 2);
    }

    void aLeftoverSocketDoesNotBlockTheNextInstance()
    {
        const QString folder = freshFolder();
        SingleInstance first(folder);
        QVERIFY(!first.handToRunning({QUrl(QStringLiteral("korvane://auth"))}));
        // A socket file left by an instance that died.
        QVERIFY(KorvaneTest::writeFile(first.serverName(), ""));
        QCOMPARE(first.claim({}), SingleInstance::Role::Running);
        QSignalSpy activated(&first, &SingleInstance::activated);
        QFuture<SingleInstance::Role> second =
            QtConcurrent::run([folder] { return SingleInstance(folder).claim({}); });
        QTRY_VERIFY(second.isFinished());
        QCOMPARE(second.result(), SingleInstance::Role::HandedOver);
        QCOMPARE(activated.size(), 1);
    }

    // The socket lives where only this user can reach it, never under a guessable shared name.
    void theSocketIsPrivate()
    {
        const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
        QCOMPARE(SingleInstance::defaultFolder(), runtime);
        SingleInstance running;
        QCOMPARE(running.claim({}), SingleInstance::Role::Running);
        QCOMPARE(running.serverName(), runtime + QStringLiteral("/korvane-instance"));
        QCOMPARE(KorvaneTest::fileMode(runtime), 0700);
        QCOMPARE(KorvaneTest::fileMode(running.serverName()) & 077, 0);

        // Without a runtime folder: a folder of our own in the cache folder, made private.
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        const QString own = KorvaneTest::isolatedRoot() + QStringLiteral("/cache/korvane-runtime");
        QVERIFY(QDir().mkpath(own));
        QVERIFY(QFile::setPermissions(own, QFileDevice::Permissions(0x7777)));
        const QString folder = SingleInstance::defaultFolder();
        qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(folder, own);
        QCOMPARE(KorvaneTest::fileMode(own), 0700);
    }

    void onlyAPrivateFolderIsUsed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a link") << "link";
        QTest::newRow("a file") << "file";
    }

    void onlyAPrivateFolderIsUsed()
    {
        QFETCH(QString, kind);
        const QString path = KorvaneTest::isolatedRoot() + QStringLiteral("/not-a-folder-") + kind;
        if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(freshFolder(), path));
        else
            QVERIFY(KorvaneTest::writeFile(path, ""));
        QVERIFY(!SingleInstance::ensurePrivateFolder(path));
    }

    // Each end checks that the process at the other runs as the same user.
    void aPeerOfAnotherUserIsRefused_data()
    {
        QTest::addColumn<bool>("runningDistrusts");
        QTest::newRow("the running instance refuses the launch") << true;
        QTest::newRow("the launch refuses the running instance") << false;
    }

    void aPeerOfAnotherUserIsRefused()
    {
        QFETCH(bool, runningDistrusts);
        const QString folder = freshFolder();
        SingleInstance running(folder);
        QVERIFY(running.listen());
        if (runningDistrusts)
            running.setTrustedUid(::getuid() + 1);
        QList<QUrl> received;
        UrlHandoff::setHandler([&received](const QUrl& url) { received.append(url); });
        QSignalSpy activated(&running, &SingleInstance::activated);
        const QFuture<bool> handed =
            handOver(folder, {QUrl(QStringLiteral("korvane://auth?token=secret"))},
                     runningDistrusts ? ::getuid() : ::getuid() + 1);
        QTRY_VERIFY(handed.isFinished());
        QVERIFY(!handed.result());
        QTest::qWait(100);
        QCOMPARE(activated.size(), 0);
        QVERIFY(received.isEmpty());
    }

    void twoLaunchesAtOnceGiveOneInstance()
    {
        const QString folder = freshFolder();
        const QString self = QCoreApplication::applicationFilePath();
        QProcess first;
        QProcess second;
        first.start(self, {QStringLiteral("--launch"), folder, QStringLiteral("2"),
                           QStringLiteral("korvane://auth?token=first")});
        second.start(self, {QStringLiteral("--launch"), folder, QStringLiteral("2"),
                            QStringLiteral("korvane://auth?token=second")});
        QVERIFY(first.waitForFinished(30000));
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        const QList<QByteArray> outputs{first.readAllStandardOutput(),
                                        second.readAllStandardOutput()};
        const QByteArray running = outputs[0].startsWith("running\n") ? outputs[0] : outputs[1];
        const QByteArray handed = outputs[0].startsWith("running\n") ? outputs[1] : outputs[0];
        QCOMPARE(handed, QByteArray("handed over\n"));
        QList<QByteArray> lines = running.trimmed().split('\n');
        QCOMPARE(lines.takeFirst(), QByteArray("running"));
        std::sort(lines.begin(), lines.end());
        QCOMPARE(lines,
                 (QList<QByteArray>{"korvane://auth?token=first", "korvane://auth?token=second"}));
    }

    void scrubbedArguments()
    {
        QByteArray program("korvane");
        QByteArray option("--verbose");
        QByteArray callback("korvane://auth?token=s3cret");
        QByteArray file("/home/ada/My Videos/clip.mp4");
        char* argv[] = {program.data(), option.data(), callback.data(), file.data()};
        UrlHandoff::scrubArguments(4, argv);
        QCOMPARE(QByteArray(argv[0]), QByteArray("korvane"));
        QCOMPARE(QByteArray(argv[1]), QByteArray("--verbose"));
        QCOMPARE(callback, QByteArray(callback.size(), '\0'));
        QCOMPARE(QByteArray(argv[3]), QByteArray("/home/ada/My Videos/clip.mp4"));
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
        QCOMPARE(running.claim({}), SingleInstance::Role::Running);
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

    // The browser's launch that becomes the running instance does not keep the token readable
    // in its command line by every local user.
    void theTokenLeavesTheCommandLine()
    {
        const QString korvane =
            QStringLiteral(KORVANE_TEST_BINARY_DIR) + QStringLiteral("/korvane");
        QProcess first;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), freshFolder());
        first.setProcessEnvironment(environment);
        first.start(korvane, {QStringLiteral("korvane://auth?token=s3cret-token")});
        QVERIFY(first.waitForStarted());
        // Once it listens, it has taken the URL.
        const QString socket = environment.value(QStringLiteral("XDG_RUNTIME_DIR")) +
                               QStringLiteral("/korvane-instance");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 30000);
        const QByteArray commandLine =
            KorvaneTest::readFile(QStringLiteral("/proc/%1/cmdline").arg(first.processId()));
        first.kill();
        first.waitForFinished();
        QVERIFY(commandLine.startsWith(QFile::encodeName(korvane)));
        QVERIFY2(!commandLine.contains("s3cret"), commandLine.constData());
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--launch") == 0)
        return launch(argc, argv);
    KorvaneTest::isolateEnvironment();
    QApplication app(argc, argv);
    TestSingleInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
