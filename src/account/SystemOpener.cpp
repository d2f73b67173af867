#include "account/SystemOpener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>

namespace SystemOpener {

namespace {
Interceptor g_interceptor;
} // namespace

bool open(const QUrl& url)
{
    if (g_interceptor) {
        g_interceptor(Action::Open, url);
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void reveal(const QString& filePath, const std::function<void()>& failed)
{
    const QUrl fileUrl = QUrl::fromLocalFile(filePath);
    if (g_interceptor) {
        g_interceptor(Action::Reveal, fileUrl);
        return;
    }
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(filePath).absolutePath());
    const auto openFolder = [folder, failed] {
        if (!QDesktopServices::openUrl(folder) && failed)
            failed();
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUrl.toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [openFolder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError())
                             openFolder();
                         finished->deleteLater();
                     });
}

void setInterceptor(Interceptor interceptor)
{
    g_interceptor = std::move(interceptor);
}

} // namespace SystemOpener
