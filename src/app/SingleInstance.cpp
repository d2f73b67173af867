#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSharedPointer>

#include "app/UrlHandoff.h"

namespace {
// A hand-off is a few URLs; anything longer is not from Korvane.
constexpr qint64 maxMessageBytes = 1 << 20;
} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName))
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/korvane-instance");
    return QStringLiteral("korvane-instance-") + QString::number(::getuid());
}

bool SingleInstance::handToRunning(const QList<QUrl>& urls, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    for (const QUrl& url : urls)
        message += url.toEncoded() + '\n';
    if (!message.isEmpty()) {
        socket.write(message);
        while (socket.bytesToWrite() > 0) {
            if (!socket.waitForBytesWritten(timeoutMs))
                return false;
        }
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            accept(socket);
    });
    if (m_server->listen(m_serverName))
        return true;
    // Nobody answered on this name (the caller tried first), so the socket is a leftover.
    QLocalServer::removeServer(m_serverName);
    return m_server->listen(m_serverName);
}

void SingleInstance::accept(QLocalSocket* socket)
{
    auto buffer = QSharedPointer<QByteArray>::create();
    connect(socket, &QLocalSocket::readyRead, this, [socket, buffer] {
        *buffer += socket->readAll();
        if (buffer->size() > maxMessageBytes)
            socket->abort();
    });
    // The sender closes its end once everything is written.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
        socket->deleteLater();
        if (buffer->size() > maxMessageBytes)
            return;
        *buffer += socket->readAll();
        QList<QUrl> urls;
        for (const QByteArray& line : buffer->split('\n')) {
            const QUrl url = QUrl::fromEncoded(line.trimmed(), QUrl::StrictMode);
            if (!line.trimmed().isEmpty() && url.isValid())
                urls.append(url);
        }
        Q_EMIT activated();
        UrlHandoff::deliver(urls);
    });
}
