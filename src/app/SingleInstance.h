#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

class QLocalServer;
class QLocalSocket;

// One running Korvane per user. A later launch connects to the running one's local socket, sends
// the URLs it was started with (one encoded URL per line) and exits; the running one delivers
// them through UrlHandoff and asks for its window to come to the front.
//
// Threading: main thread only. handToRunning() waits briefly on a local socket: it runs once at
// launch, before any window exists, in a process that exits right after.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // A socket in the user's runtime folder, or a per-user name in the temporary folder.
    static QString defaultServerName();
    QString serverName() const { return m_serverName; }

    // Hands urls to a running instance. True when one took them, so this process should exit.
    bool handToRunning(const QList<QUrl>& urls, int timeoutMs = 3000);
    // Becomes the running instance, replacing a socket left behind by one that died. Only this
    // user can connect.
    bool listen();

Q_SIGNALS:
    // Another launch reached this instance (with or without URLs): show the window.
    void activated();

private:
    void accept(QLocalSocket* socket);

    const QString m_serverName;
    QLocalServer* m_server = nullptr;
};
