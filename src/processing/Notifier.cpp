#include "processing/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

namespace Notifier {

void requestAuthorization()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities"));
    bus.asyncCall(call);
}

} // namespace Notifier
