#include "support/NotificationServer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusError>
#include <QtGlobal>

namespace KorvaneTest {

bool NotificationServer::registerOnSessionBus()
{
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                        QStringLiteral("notification-server"));
    if (!bus.isConnected()) {
        qWarning("No session bus: %s", qPrintable(bus.lastError().message()));
        return false;
    }
    return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

QStringList NotificationServer::bodies() const
{
    QStringList list;
    for (const Notification& notification : shown)
        list.append(notification.body);
    return list;
}

uint NotificationServer::Notify(const QString& appName, uint replacesId, const QString&,
                                const QString& summary, const QString& body, const QStringList&,
                                const QVariantMap& hints, int)
{
    shown.append({appName, replacesId, summary, body, hints});
    return uint(shown.size());
}

QStringList NotificationServer::GetCapabilities()
{
    ++capabilityQueries;
    return {QStringLiteral("body"), QStringLiteral("sound")};
}

bool onPrivateBus()
{
    return qEnvironmentVariableIsSet("KORVANE_TEST_PRIVATE_BUS");
}

int restartOnPrivateBus(int argc, char** argv)
{
    qputenv("KORVANE_TEST_PRIVATE_BUS", "1");
    std::vector<char> self(4096, '\0');
    if (::readlink("/proc/self/exe", self.data(), self.size() - 1) <= 0)
        std::strncpy(self.data(), argv[0], self.size() - 1);
    std::vector<char*> arguments{const_cast<char*>("dbus-run-session"), const_cast<char*>("--"),
                                 self.data()};
    for (int i = 1; i < argc; ++i)
        arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    ::execvp("dbus-run-session", arguments.data());
    std::fprintf(stderr, "Could not start dbus-run-session: %s\n", std::strerror(errno));
    return 1;
}

} // namespace KorvaneTest
