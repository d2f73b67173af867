#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "support/TestSupport.h"

namespace KorvaneTest {

// A stand-in for the desktop's notification server that records what it is asked to show. Tests
// that use it run on a private session bus (see restartOnPrivateBus) and register it with
// registerOnSessionBus().
class NotificationServer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotificationServer)
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        QString appName;
        uint replacesId = 0;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    NotificationServer() = default;

    // Serves org.freedesktop.Notifications on a session-bus connection of its own, so its calls
    // cross the bus like a real server's. Returns false (with a warning) when that fails.
    bool registerOnSessionBus();

    QList<Notification> shown;
    int capabilityQueries = 0;

    // The bodies of the notifications shown so far.
    QStringList bodies() const;

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);
    QStringList GetCapabilities();
};

// True when this process already runs on the private session bus made by restartOnPrivateBus.
bool onPrivateBus();
// Starts this executable again under dbus-run-session, which gives it a private session bus.
// Returns only when that fails (with status 1).
int restartOnPrivateBus(int argc, char** argv);

} // namespace KorvaneTest

// Like KORVANE_TEST_MAIN, on a private session bus.
#define KORVANE_TEST_MAIN_ON_PRIVATE_BUS(TestObject)                                               \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        if (!KorvaneTest::onPrivateBus())                                                          \
            return KorvaneTest::restartOnPrivateBus(argc, argv);                                   \
        KorvaneTest::isolateEnvironment();                                                         \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
