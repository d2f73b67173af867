// Running external programs: what a started program gets, programs that cannot start, stopping
// with a grace, and programs that die with the process that started them.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/ChildProcess.h"
#include "engine/EngineError.h"
#include "support/TestSupport.h"

using namespace Qt::StringLiterals;

namespace {

constexpr char kHoldChild[] = "--hold-child";
constexpr char kDescribeSelf[] = "--describe-self";

// Run as `tst_childprocess --describe-self`: tells on standard error whether it blocks any signal,
// which of the stop signals it ignores and which descriptors it holds.
int describeSelf()
{
    sigset_t mask;
    ::sigprocmask(SIG_SETMASK, nullptr, &mask);
    QByteArray ignored;
    for (int signal : {SIGTERM, SIGINT, SIGPIPE}) {
        struct sigaction action {};
        ::sigaction(signal, nullptr, &action);
        if (action.sa_handler == SIG_IGN)
            ignored += ' ' + QByteArray(::sigabbrev_np(signal));
    }
    QByteArray open;
    for (int fd = 0; fd < 1024; ++fd)
        if (::fcntl(fd, F_GETFD) != -1)
            open += ' ' + QByteArray::number(fd);
    const QByteArray report = QByteArray("blocked: ") + (sigisemptyset(&mask) ? "none" : "some") +
                              "\nignored:" + (ignored.isEmpty() ? " none" : ignored) +
                              "\nopen:" + open + '\n';
    std::fputs(report.constData(), stderr);
    return 0;
}

// Run as `tst_childprocess --hold-child`: starts a long program from a worker thread, as the
// application's workers do, prints its pid and waits for it.
int holdChild()
{
    std::thread worker([] {
        ChildProcess sleeper(u"/bin/sh"_s, {u"-c"_s, u"echo $$ >&2; exec sleep 60"_s});
        sleeper.start();
        while (!sleeper.standardError().contains('\n') && !sleeper.poll())
            ::usleep(10000);
        std::fputs(sleeper.standardError().constData(), stdout);
        std::fflush(stdout);
        sleeper.waitForExit();
    });
    worker.join();
    return 0;
}

// Gone, or only a zombie left for whoever adopted it.
bool processGone(qint64 pid)
{
    const QByteArray stat = KorvaneTest::readFile(u"/proc/"_s + QString::number(pid) + u"/stat"_s);
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || stat.mid(close + 2, 1) == "Z";
}

} // namespace

class TestChildProcess final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Whatever this process ignores, handles or blocks, and whatever descriptors it holds, the
    // program starts with default signals, an empty mask and only its three streams.
    void programStartsClean()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        struct sigaction oldTerm {};
        struct sigaction oldPipe {};
        ::sigaction(SIGTERM, &ignore, &oldTerm);
        ::sigaction(SIGPIPE, &ignore, &oldPipe);
        sigset_t blocked;
        sigset_t oldMask;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        sigaddset(&blocked, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &blocked, &oldMask);
        const int leaked = ::dup(STDERR_FILENO); // no close-on-exec
        const auto restore = qScopeGuard([&] {
            ::sigaction(SIGTERM, &oldTerm, nullptr);
            ::sigaction(SIGPIPE, &oldPipe, nullptr);
            ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
            ::close(leaked);
        });

        ChildProcess self(QCoreApplication::applicationFilePath(),
                          {QString::fromLatin1(kDescribeSelf)});
        self.start();
        QCOMPARE(self.waitForExit(), 0);
        QCOMPARE(self.standardError(), QByteArray("blocked: none\nignored: none\nopen: 0 1 2\n"));
    }

    void cannotStart_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<bool>("executable");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << false << u"No such file or directory"_s;
        QTest::newRow("not executable")
            << QByteArray("#!/bin/sh\n") << false << u"Permission denied"_s;
        QTest::newRow("not a program")
            << QByteArray("\x01\x02 junk") << true << u"Exec format error"_s;
    }
    void cannotStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, executable);
        QFETCH(QString, reason);
        const QString path = KorvaneTest::isolatedRoot() + u"/my tool"_s;
        QFile::remove(path);
        if (!content.isEmpty()) {
            QVERIFY(KorvaneTest::writeFile(path, content));
            QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
            if (executable)
                permissions |= QFile::ExeOwner;
            QVERIFY(QFile::setPermissions(path, permissions));
        }
        ChildProcess process(path, {});
        try {
            process.start();
            QFAIL("the program started");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(), u"Could not start my tool: "_s + reason);
        }
        // The child that could not exec has been reaped.
        QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
        QCOMPARE(errno, ECHILD);
    }

    // A program that ends on SIGTERM ends at once; one that ignores it is killed after the grace,
    // by waitForExit() or by poll(), without anyone asking again.
    void stopWithGrace_data()
    {
        QTest::addColumn<bool>("ignoresTerm");
        QTest::addColumn<bool>("polled");
        QTest::addColumn<int>("status");
        QTest::newRow("obeys") << false << false << 128 + SIGTERM;
        QTest::newRow("ignores, waited for") << true << false << 128 + SIGKILL;
        QTest::newRow("ignores, polled") << true << true << 128 + SIGKILL;
    }
    void stopWithGrace()
    {
        QFETCH(bool, ignoresTerm);
        QFETCH(bool, polled);
        QFETCH(int, status);
        // Ends by itself after about 20 s, so a missing kill fails the test instead of hanging it.
        const QString script = QString(ignoresTerm ? u"trap '' TERM; "_s : QString()) +
                               u"echo ready >&2; i=0; while [ $i -lt 200 ]; do sleep 0.1; "
                               u"i=$((i+1)); done"_s;
        ChildProcess process(u"/bin/sh"_s, {u"-c"_s, script});
        process.setTickInterval(std::chrono::milliseconds(20));
        process.start();
        QElapsedTimer sinceStop;
        const auto stopWhenReady = [&] {
            if (!sinceStop.isValid() && process.standardError().contains("ready")) {
                process.terminate();
                sinceStop.start();
            }
        };
        int ended = -1;
        if (polled) {
            while (!process.poll()) {
                stopWhenReady();
                ::usleep(20000);
            }
            ended = process.exitStatus();
        } else {
            ended = process.waitForExit(stopWhenReady);
        }
        QCOMPARE(ended, status);
        QVERIFY(sinceStop.isValid());
        QVERIFY2(sinceStop.elapsed() < 15000, qPrintable(QString::number(sinceStop.elapsed())));
        if (ignoresTerm)
            QVERIFY(sinceStop.elapsed() >=
                    std::chrono::milliseconds(ChildProcess::kStopGrace).count() - 50);
    }

    // kill -9 of the process that started a program takes the program with it.
    void programDiesWithItsStarter()
    {
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kHoldChild)});
        QVERIFY(helper.waitForStarted());
        QVERIFY(helper.waitForReadyRead(10000));
        const qint64 program = helper.readLine().trimmed().toLongLong();
        QVERIFY(program > 0);
        QVERIFY(!processGone(program));

        helper.kill();
        QVERIFY(helper.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(processGone(program), 10000);
    }
};

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], kHoldChild) == 0)
        return holdChild();
    if (argc == 2 && std::strcmp(argv[1], kDescribeSelf) == 0)
        return describeSelf();
    KorvaneTest::isolateEnvironment();
    QApplication app(argc, argv);
    TestChildProcess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_childprocess.moc"
