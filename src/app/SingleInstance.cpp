#include "app/SingleInstance.h"

#include <cerrno>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSharedPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "app/UrlHandoff.h"

namespace {
// A hand-off is a few URLs; anything longer is not from Korvane.
constexpr qint64 maxMessageBytes = 1 << 20;
// A launch that connects and then says nothing is dropped after this.
constexpr int messageTimeoutMs = 5000;
const QByteArray acknowledgement = "ok\n";

// The URLs of a complete message (lines up to the first empty one); nullopt while incomplete.
std::optional<QList<QUrl>> parseMessage(const QByteArray& buffer)
{
    const qsizetype end = buffer.startsWith('\n') ? 0 : buffer.indexOf("\n\n");
    if (end < 0)
        return std::nullopt;
    QList<QUrl> urls;
    for (const QByteArray& line : buffer.left(end).split('\n')) {
        const QUrl url = QUrl::fromEncoded(line.trimmed(), QUrl::StrictMode);
        if (!line.trimmed().isEmpty() && url.isValid())
            urls.append(url);
    }
    return urls;
}
} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_trustedUid(::getuid())
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty() && ensurePrivateFolder(runtime))
            return runtime;
    }
    // Without a runtime folder (su, some remote sessions, containers) a folder of our own in the
    // user's home stands in: a name in the shared temporary folder could be taken by anyone.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir().mkpath(cache))
        return {};
    const QString own = cache + QStringLiteral("/korvane-runtime");
    return ensurePrivateFolder(own) ? own : QString();
}

bool SingleInstance::ensurePrivateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), S_IRWXU) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid())
        return false;
    return (info.st_mode & (S_IRWXG | S_IRWXO)) == 0 || ::chmod(native.constData(), S_IRWXU) == 0;
}

QString SingleInstance::serverName() const
{
    return m_folder + QStringLiteral("/korvane-instance");
}

SingleInstance::Role SingleInstance::claim(const QList<QUrl>& urls, std::chrono::milliseconds wait)
{
    // Without a private folder there is no safe place to meet: this launch runs on its own.
    if (m_folder.isEmpty())
        return Role::Running;
    m_lock = std::make_unique<QLockFile>(serverName() + QStringLiteral(".lock"));
    // Held for the whole run: only a lock whose process is gone counts as stale.
    m_lock->setStaleLockTime(std::chrono::milliseconds::zero());
    const QDeadlineTimer deadline(wait);
    for (;;) {
        if (m_lock->tryLock(std::chrono::milliseconds::zero())) {
            listen();
            return Role::Running;
        }
        if (m_lock->error() != QLockFile::LockFailedError) {
            // The folder refuses a lock file at all; nobody else can be using it either.
            m_lock.reset();
            return Role::Running;
        }
        // The holder may still be starting and not listen yet.
        if (handToRunning(urls, 1000))
            return Role::HandedOver;
        if (deadline.hasExpired())
            return Role::Unreachable;
        QThread::msleep(100);
    }
}

bool SingleInstance::handToRunning(const QList<QUrl>& urls, int timeoutMs)
{
    if (m_folder.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // Whoever listens here must be this user: the URLs may carry a sign-in token.
    if (!peerIsTrusted(socket.socketDescriptor(), m_trustedUid)) {
        socket.abort();
        return false;
    }
    QByteArray message;
    for (const QUrl& url : urls)
        message += url.toEncoded() + '\n';
    message += '\n';
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray answer;
    for (;;) {
        answer += socket.readAll();
        if (answer.contains('\n') || deadline.hasExpired())
            break;
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            answer += socket.readAll();
            break;
        }
    }
    return answer.startsWith(acknowledgement);
}

bool SingleInstance::listen()
{
    if (m_folder.isEmpty())
        return false;
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            accept(socket);
    });
    // The lock is held, so a socket found here was left by an instance that died.
    QLocalServer::removeServer(serverName());
    return m_server->listen(serverName());
}

bool SingleInstance::peerIsTrusted(qintptr socketDescriptor, uid_t trusted)
{
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials,
                     &size) != 0)
        return false;
    return credentials.uid == trusted;
}

void SingleInstance::accept(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!peerIsTrusted(socket->socketDescriptor(), m_trustedUid)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    QTimer::singleShot(messageTimeoutMs, socket, [socket] { socket->abort(); });
    auto buffer = QSharedPointer<QByteArray>::create();
    auto done = QSharedPointer<bool>::create(false);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer, done] {
        if (*done)
            return;
        *buffer += socket->readAll();
        if (buffer->size() > maxMessageBytes) {
            *done = true;
            socket->abort();
            return;
        }
        const std::optional<QList<QUrl>> urls = parseMessage(*buffer);
        if (!urls)
            return;
        *done = true;
        socket->write(acknowledgement);
        socket->flush();
        socket->disconnectFromServer();
        Q_EMIT activated();
        UrlHandoff::deliver(*urls);
    });
}
