#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One running Korvane per user. A lock file decides, before any window exists, which launch
// becomes the running instance; that one listens on a local socket in the user's private runtime
// folder. A later launch connects, sends the URLs it was started with and exits; the running one
// delivers them through UrlHandoff and asks for its window to come to the front.
//
// Both ends check that the process on the other side runs as the same user. The message is one
// encoded URL per line, then an empty line; the running instance answers "ok" once it has taken
// them.
//
// Threading: main thread only. claim() and handToRunning() wait on a lock and a local socket:
// they run once at launch, before any window exists.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    enum class Role {
        Running,     // this launch is the running instance
        HandedOver,  // another instance took the URLs: this launch should exit
        Unreachable, // another instance holds the lock but never answered
    };

    // folder must be private to this user; an empty folder turns the hand-off off.
    explicit SingleInstance(QString folder = defaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The user's runtime folder ($XDG_RUNTIME_DIR) when it is private to this user, else a
    // folder of Korvane's own in the user's cache folder, made private (0700). Empty when no
    // private folder can be had; a guessable name in a shared folder is never used.
    static QString defaultFolder();
    // Makes path a folder owned by this user with no access for others: created 0700 when
    // missing, tightened when it is this user's; false for a link, a file or another's folder.
    static bool ensurePrivateFolder(const QString& path);

    QString folder() const { return m_folder; }
    QString serverName() const;

    // Decides this launch's role. The first launch takes the lock, listens and returns Running.
    // A later one hands urls to the running instance, retrying while that one starts, for up to
    // wait; it becomes the running instance itself if the lock's holder exits meanwhile.
    Role claim(const QList<QUrl>& urls, std::chrono::milliseconds wait = std::chrono::seconds(10));
    // Hands urls to a running instance. True when one took them, so this process should exit.
    bool handToRunning(const QList<QUrl>& urls, int timeoutMs = 3000);
    // Listens, replacing a socket left behind by an instance that died. Call with the lock held.
    bool listen();

    // The user whose processes are trusted on the socket: this process's own user unless a test
    // says otherwise.
    void setTrustedUid(uid_t uid) { m_trustedUid = uid; }
    // Whether the process at the other end of a connected local socket runs as trusted.
    static bool peerIsTrusted(qintptr socketDescriptor, uid_t trusted);

Q_SIGNALS:
    // Another launch reached this instance (with or without URLs): show the window.
    void activated();

private:
    void accept(QLocalSocket* socket);

    const QString m_folder;
    uid_t m_trustedUid;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
