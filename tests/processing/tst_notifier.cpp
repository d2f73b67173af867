#include <cstring>

#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QUuid>

#include "processing/AppSettings.h"
#include "processing/Notifier.h"
#include "support/NotificationServer.h"
#include "support/TestSupport.h"

// These tests talk to a notification service of their own on a private session bus: the test
// executable starts itself again under dbus-run-session unless it already runs under one.

namespace {
constexpr int waitMs = 20000;
} // namespace

using KorvaneTest::NotificationServer;

class TestNotifier final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void requestAuthorizationAsksTheService();
    void finishedJobIsShown_data();
    void finishedJobIsShown();
    void sameNameTwiceGivesTwoNotifications();
    void nothingShownWhenNotifyOnFinishIsOff_data();
    void nothingShownWhenNotifyOnFinishIsOff();
    void missingBusDoesNothing();

private:
    NotificationServer m_server;
};

void TestNotifier::initTestCase()
{
    AppSettings::registerDefaults();
    QVERIFY(m_server.registerOnSessionBus());
}

void TestNotifier::requestAuthorizationAsksTheService()
{
    Notifier::requestAuthorization();
    QTRY_COMPARE_WITH_TIMEOUT(m_server.capabilityQueries, 1, waitMs);
}

void TestNotifier::finishedJobIsShown_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QVariant>("withSound"); // invalid: never set
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("body");

    QTest::newRow("success with sound")
        << true << QVariant(true) << QStringLiteral("Upscale complete")
        << QStringLiteral("clip.mov is ready.");
    QTest::newRow("failure with sound")
        << false << QVariant(true) << QStringLiteral("Upscale failed")
        << QStringLiteral("clip.mov could not be upscaled.");
    QTest::newRow("success, silent")
        << true << QVariant(false) << QStringLiteral("Upscale complete")
        << QStringLiteral("clip.mov is ready.");
    QTest::newRow("stopped, silent") << false << QVariant(false) << QStringLiteral("Upscale failed")
                                     << QStringLiteral("clip.mov could not be upscaled.");
    QTest::newRow("settings never set") << true << QVariant() << QStringLiteral("Upscale complete")
                                        << QStringLiteral("clip.mov is ready.");
}

void TestNotifier::finishedJobIsShown()
{
    QFETCH(bool, success);
    QFETCH(QVariant, withSound);
    QFETCH(QString, title);
    QFETCH(QString, body);

    QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Korvane"));
    settings.remove(AppSettings::notifyOnFinishKey);
    if (withSound.isValid())
        AppSettings::setNotifyWithSound(withSound.toBool());
    else
        settings.remove(AppSettings::notifyWithSoundKey);
    const bool soundExpected = !withSound.isValid() || withSound.toBool();

    const qsizetype before = m_server.shown.size();
    Notifier::upscaleFinished(QStringLiteral("clip.mov"), success);
    QTRY_COMPARE_WITH_TIMEOUT(m_server.shown.size(), before + 1, waitMs);

    const NotificationServer::Notification& shown = m_server.shown.last();
    QCOMPARE(shown.appName, QStringLiteral("Korvane"));
    QCOMPARE(shown.replacesId, 0u);
    QCOMPARE(shown.summary, title);
    QCOMPARE(shown.body, body);
    if (soundExpected) {
        QCOMPARE(shown.hints.value(QStringLiteral("sound-name")).toString(),
                 QStringLiteral("message-new-instant"));
        QVERIFY(!shown.hints.contains(QStringLiteral("suppress-sound")));
    } else {
        QCOMPARE(shown.hints.value(QStringLiteral("suppress-sound")).toBool(), true);
        QVERIFY(!shown.hints.contains(QStringLiteral("sound-name")));
    }
}

void TestNotifier::sameNameTwiceGivesTwoNotifications()
{
    AppSettings::setNotifyOnFinish(true);
    const qsizetype before = m_server.shown.size();
    Notifier::upscaleFinished(QStringLiteral("same.mov"), true);
    Notifier::upscaleFinished(QStringLiteral("same.mov"), true);
    QTRY_COMPARE_WITH_TIMEOUT(m_server.shown.size(), before + 2, waitMs);
    for (qsizetype i = before; i < m_server.shown.size(); ++i) {
        QCOMPARE(m_server.shown.at(i).body, QStringLiteral("same.mov is ready."));
        // Zero asks the server for a new notification rather than replacing an earlier one.
        QCOMPARE(m_server.shown.at(i).replacesId, 0u);
    }
}

void TestNotifier::nothingShownWhenNotifyOnFinishIsOff_data()
{
    QTest::addColumn<bool>("withSound");
    QTest::newRow("sound on") << true;
    QTest::newRow("sound off") << false;
}

void TestNotifier::nothingShownWhenNotifyOnFinishIsOff()
{
    QFETCH(bool, withSound);
    AppSettings::setNotifyWithSound(withSound);
    AppSettings::setNotifyOnFinish(false);
    const qsizetype before = m_server.shown.size();
    Notifier::upscaleFinished(QStringLiteral("hidden.mov"), true);
    Notifier::upscaleFinished(QStringLiteral("hidden.mov"), false);

    // Calls from one connection arrive in order: once the marker is shown, anything posted
    // before it would have been shown too.
    AppSettings::setNotifyOnFinish(true);
    const QString marker = QUuid::createUuid().toString(QUuid::WithoutBraces);
    Notifier::upscaleFinished(marker, true);
    QTRY_VERIFY_WITH_TIMEOUT(m_server.bodies().contains(marker + QStringLiteral(" is ready.")),
                             waitMs);
    QCOMPARE(m_server.shown.size(), before + 1);
}

void TestNotifier::missingBusDoesNothing()
{
    // A child process with a session bus address that leads nowhere posts and asks once each.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + KorvaneTest::isolatedRoot() +
                           QStringLiteral("/no-bus-here"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--post-without-bus")});
    QVERIFY(child.waitForFinished(waitMs));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardError(), QByteArray());
}

namespace {
// The child of missingBusDoesNothing.
int postWithoutBus(int argc, char** argv)
{
    KorvaneTest::isolateEnvironment();
    QCoreApplication app(argc, argv);
    AppSettings::registerDefaults();
    Notifier::requestAuthorization();
    Notifier::upscaleFinished(QStringLiteral("clip.mov"), true);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--post-without-bus") == 0)
        return postWithoutBus(argc, argv);
    if (!KorvaneTest::onPrivateBus())
        return KorvaneTest::restartOnPrivateBus(argc, argv);
    KorvaneTest::isolateEnvironment();
    QApplication app(argc, argv);
    TestNotifier test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_notifier.moc"
