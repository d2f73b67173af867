#include "DevServer.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QHostAddress>
#include <QJsonDocument>
#include <QSharedPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {
QByteArray startPage(const QString& callback)
{
    const QByteArray url = callback.toHtmlEscaped().toUtf8();
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"refresh\" content=\"0; url=" +
           url +
           "\">"
           "<title>Korvane sign-in</title></head><body>"
           "<p>Signed in. Returning to Korvane&hellip;</p>"
           "<p><a href=\"" +
           url +
           "\">Open Korvane</a></p>"
           "<script>window.location.href = \"" +
           url +
           "\";</script>"
           "</body></html>\n";
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// Requests are small; a head that grows past this is not one.
constexpr qsizetype maxHeadBytes = 64 * 1024;
} // namespace

DevServer::DevServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    addAccount(m_startToken, sampleUser());
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection())
            accept(socket);
    });
}

DevServer::~DevServer() = default;

quint16 DevServer::listen(quint16 port)
{
    m_port = m_server->listen(QHostAddress::LocalHost, port) ? m_server->serverPort() : 0;
    return m_port;
}

QString DevServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_port);
}

void DevServer::addAccount(const QString& token, const QJsonObject& user)
{
    m_accounts.insert(token, user);
}

void DevServer::setManifest(const QJsonObject& manifest)
{
    m_manifest = manifest;
}

void DevServer::addDownload(const QString& fileName, const QByteArray& contents)
{
    m_downloads.insert(fileName, contents);
}

void DevServer::setResponse(const QString& path, const Response& response)
{
    m_fixed.insert(path, response);
}

void DevServer::setStalled(const QString& path)
{
    m_stalledPaths.append(path);
}

void DevServer::setDelivery(const QString& path, const Delivery& delivery)
{
    m_deliveries.insert(path, delivery);
}

QByteArray DevServer::sha256Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

int DevServer::requestCount(const QString& path) const
{
    return static_cast<int>(std::count_if(m_requests.cbegin(), m_requests.cend(),
                                          [&path](const Request& r) { return r.path == path; }));
}

QJsonObject DevServer::defaultManifest() const
{
    QJsonObject manifest{
        {QStringLiteral("version"), QStringLiteral("99.0")},
        {QStringLiteral("downloadURL"),
         QString(baseUrl() + QStringLiteral("/downloads/Korvane.AppImage"))},
        {QStringLiteral("notes"), QStringLiteral("A build served by the development server.")},
    };
    const auto installer = m_downloads.constFind(QStringLiteral("Korvane.AppImage"));
    if (installer != m_downloads.cend())
        manifest.insert(QStringLiteral("sha256"), QString::fromLatin1(sha256Hex(*installer)));
    return manifest;
}

QJsonObject DevServer::sampleUser()
{
    return QJsonObject{
        {QStringLiteral("userId"), QStringLiteral("dev-1")},
        {QStringLiteral("provider"), QStringLiteral("google")},
        {QStringLiteral("username"), QStringLiteral("ada")},
        {QStringLiteral("firstName"), QStringLiteral("Ada")},
        {QStringLiteral("lastName"), QStringLiteral("Lovelace")},
        {QStringLiteral("email"), QStringLiteral("ada@example.com")},
        {QStringLiteral("status"), QStringLiteral("active")},
        {QStringLiteral("createdOn"), QStringLiteral("2024-01-15T09:30:00Z")},
        {QStringLiteral("lastLogin"), QStringLiteral("2024-06-01T18:00:00Z")},
    };
}

void DevServer::accept(QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto head = QSharedPointer<QByteArray>::create();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
        if (head->endsWith("\r\n\r\n"))
            return; // already answered or stalled; a request body is not read
        *head += socket->readAll();
        const qsizetype end = head->indexOf("\r\n\r\n");
        if (end < 0) {
            if (head->size() > maxHeadBytes)
                socket->abort();
            return;
        }
        head->truncate(end + 4);
        serve(socket, *head);
    });
}

void DevServer::serve(QTcpSocket* socket, const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    const QString path = QUrl(QString::fromUtf8(requestLine.value(1))).path();
    QByteArray authorization;
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "authorization")
            authorization = line.mid(colon + 1).trimmed();
    }
    m_requests.append({path, authorization});
    Q_EMIT requestReceived(path);
    if (m_stalledPaths.contains(path))
        return;
    const Response response = requestLine.value(0) == "GET"
                                  ? answer(path, authorization)
                                  : Response{405, "text/plain", "Only GET is served.\n"};
    const Delivery delivery = m_deliveries.value(path);
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     reasonPhrase(response.status) + "\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    QByteArray body = response.body;
    if (delivery.chunked) {
        out += "Transfer-Encoding: chunked\r\n";
        body = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
    }
    if (!delivery.chunked || delivery.announcedLength)
        out += "Content-Length: " +
               QByteArray::number(delivery.announcedLength.value_or(body.size())) + "\r\n";
    for (const auto& [name, value] : delivery.headers)
        out += name + ": " + value + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (delivery.delayMs > 0) {
        QTimer::singleShot(delivery.delayMs, socket,
                           [socket, out, body, delivery] { send(socket, out, body, delivery); });
        return;
    }
    send(socket, out, body, delivery);
}

void DevServer::send(QTcpSocket* socket, const QByteArray& head, const QByteArray& body,
                     const Delivery& delivery)
{
    if (delivery.trickleMs <= 0) {
        socket->write(head + body);
        socket->disconnectFromHost();
        return;
    }
    socket->write(head);
    // The body follows one chunk per tick; the timer goes with the socket if the client leaves.
    auto* timer = new QTimer(socket);
    auto sent = QSharedPointer<qsizetype>::create(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body, delivery, sent] {
        socket->write(body.mid(*sent, delivery.trickleChunk));
        *sent += delivery.trickleChunk;
        if (*sent >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(delivery.trickleMs);
}

DevServer::Response DevServer::answer(const QString& path, const QByteArray& authorization) const
{
    if (const auto fixed = m_fixed.constFind(path); fixed != m_fixed.cend())
        return *fixed;
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() == 3 && parts[0] == QLatin1String("auth") &&
        parts[2] == QLatin1String("start")) {
        const QString callback = QStringLiteral("korvane://auth?token=") +
                                 QString::fromUtf8(QUrl::toPercentEncoding(m_startToken));
        return {200, "text/html; charset=utf-8", startPage(callback)};
    }
    if (path == QLatin1String("/me")) {
        const QByteArray prefix = "Bearer ";
        const QString token = authorization.startsWith(prefix)
                                  ? QString::fromUtf8(authorization.mid(prefix.size()))
                                  : QString();
        if (const auto account = m_accounts.constFind(token); account != m_accounts.cend()) {
            const QJsonObject me{{QStringLiteral("user"), *account}};
            return {200, "application/json", QJsonDocument(me).toJson(QJsonDocument::Compact)};
        }
        return {401, "application/json", R"({"error":"unauthorized"})"};
    }
    if (path == QLatin1String("/apps/korvane.json")) {
        const QJsonObject manifest = m_manifest.value_or(defaultManifest());
        return {200, "application/json", QJsonDocument(manifest).toJson(QJsonDocument::Compact)};
    }
    if (parts.size() == 2 && parts[0] == QLatin1String("downloads")) {
        if (const auto file = m_downloads.constFind(parts[1]); file != m_downloads.cend())
            return {200, "application/octet-stream", *file};
    }
    return {404, "text/html; charset=utf-8", "<html><body>Not Found</body></html>\n"};
}
