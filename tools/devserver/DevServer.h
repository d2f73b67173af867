#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
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
// Any path can be given a fixed answer, or be made to never answer. Each connection carries one
// request (the answer closes it).
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

    QList<Request> requests() const { return m_requests; }
    int requestCount(const QString& path) const;

    // The manifest served until setManifest: version 99.0, its installer on this server.
    QJsonObject defaultManifest() const;
    static QJsonObject sampleUser();

Q_SIGNALS:
    void requestReceived(const QString& path);

private:
    void accept(QTcpSocket* socket);
    void serve(QTcpSocket* socket, const QByteArray& head);
    Response answer(const QString& path, const QByteArray& authorization) const;

    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    QString m_startToken = QStringLiteral("dev-token");
    QHash<QString, QJsonObject> m_accounts;
    QHash<QString, QByteArray> m_downloads;
    QHash<QString, Response> m_fixed;
    QStringList m_stalledPaths;
    std::optional<QJsonObject> m_manifest;
    QList<Request> m_requests;
};
