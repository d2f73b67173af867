#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

// A small account and update server on 127.0.0.1 for development and tests:
//   GET /auth/<provider>/start   a page that sends the browser to korvane://auth?token=<token>
//   GET /me                      {"user": …} for a known bearer token, 401 otherwise
//   GET /apps/korvane.json       the update manifest
//   GET /downloads/<file>        installer files
// Any path can be given a fixed answer, be made to never answer, or have its answer delivered
// late, slowly or with extra headers. The update manifest publishes the SHA-256 checksum of the
// installer it names. Each connection carries one request (the answer closes it).
// Threading: lives on the thread that creates it, which must run an event loop.
class DevServer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DevServer)

public:
    struct Response {
        int status = 200;
        QByteArray contentType = "application/json";
        QByteArray body;
    };

    // How an answer travels: after a delay, trickled in chunks, with a Content-Length that may
    // differ from the body, in chunked encoding, and with extra header lines (such as a
    // redirect's Location).
    struct Delivery {
        int delayMs = 0;
        int trickleMs = 0; // 0: the whole body at once
        qsizetype trickleChunk = 1;
        std::optional<qint64> announcedLength{};
        bool chunked = false; // Transfer-Encoding: chunked (announcedLength still sent if set)
        QList<QPair<QByteArray, QByteArray>> headers{};
    };

    struct Request {
        QString path;
        QByteArray authorization;
    };

    explicit DevServer(QObject* parent = nullptr);
    ~DevServer() override;

    // Listens on 127.0.0.1; port 0 picks a free one. Returns the port, 0 on failure.
    quint16 listen(quint16 port = 0);
    // http://127.0.0.1:<port>
    QString baseUrl() const;

    // A token that /me accepts, with the profile it answers.
    void addAccount(const QString& token, const QJsonObject& user);
    // The token the sign-in start page hands out (an account "dev-token" exists from the start).
    void setStartToken(const QString& token) { m_startToken = token; }
    // The manifest that /apps/korvane.json serves.
    void setManifest(const QJsonObject& manifest);
    // A file under /downloads/.
    void addDownload(const QString& fileName, const QByteArray& contents);
    // Answers path with response from now on, whatever it would have answered.
    void setResponse(const QString& path, const Response& response);
    // Accepts requests for path and never answers them.
    void setStalled(const QString& path);
    // Delivers the answers for path this way from now on.
    void setDelivery(const QString& path, const Delivery& delivery);

    // The lower-case hexadecimal SHA-256 digest of bytes.
    static QByteArray sha256Hex(const QByteArray& bytes);

    QList<Request> requests() const { return m_requests; }
    int requestCount(const QString& path) const;

    // The manifest served until setManifest: version 99.0, its installer on this server, and
    // the installer's checksum once a download named Korvane.AppImage exists.
    QJsonObject defaultManifest() const;
    static QJsonObject sampleUser();

Q_SIGNALS:
    void requestReceived(const QString& path);

private:
    void accept(QTcpSocket* socket);
    void serve(QTcpSocket* socket, const QByteArray& head);
    Response answer(const QString& path, const QByteArray& authorization) const;
    static void send(QTcpSocket* socket, const QByteArray& head, const QByteArray& body,
                     const Delivery& delivery);

    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    QString m_startToken = QStringLiteral("dev-token");
    QHash<QString, QJsonObject> m_accounts;
    QHash<QString, QByteArray> m_downloads;
    QHash<QString, Response> m_fixed;
    QHash<QString, Delivery> m_deliveries;
    QStringList m_stalledPaths;
    std::optional<QJsonObject> m_manifest;
    QList<Request> m_requests;
};
