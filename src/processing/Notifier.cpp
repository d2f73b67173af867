#include "processing/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "processing/AppSettings.h"

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");

// Sends a call without waiting for its answer. Without a session bus nothing is sent.
void send(const QDBusMessage& call)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.asyncCall(call);
}
} // namespace

namespace Notifier {

void upscaleFinished(const QString& name, bool success)
{
    if (!AppSettings::notifyOnFinish())
        return;
    const QString title =
        success ? QStringLiteral("Upscale complete") : QStringLiteral("Upscale failed");
    const QString body = success ? name + QStringLiteral(" is ready.")
                                 : name + QStringLiteral(" could not be upscaled.");
    QVariantMap hints;
    if (AppSettings::notifyWithSound())
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    else
        hints.insert(QStringLiteral("suppress-sound"), true);

    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    // app_name, replaces_id (0: always a new notification), app_icon, summary, body, actions,
    // hints, expire_timeout (-1: the server's default).
    call << QStringLiteral("Korvane") << quint32(0) << QString() << title << body << QStringList()
         << hints << qint32(-1);
    send(call);
}

void requestAuthorization()
{
    send(QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities")));
}

} // namespace Notifier
