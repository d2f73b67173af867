#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QString>
#include <QUrl>

class QThread;
class QObject;

// One installer transfer to carry out.
struct DownloadRequest {
    QUrl url;
    QString folder;
    QString fileName;
    QByteArray sha256; // lower-case hex digest the file must have; empty when none is published
};

// How one installer transfer ended.
struct DownloadResult {
    enum class Outcome {
        Saved,     // file holds the installer
        Failed,    // the transfer or the disk failed; error says how
        Damaged,   // the file did not match the published checksum and was deleted
        Cancelled, // cancel() ended it
    };
    Outcome outcome = Outcome::Failed;
    QString file;
    bool verified = false; // Saved: the file matched the published checksum
    QString error;
};

// Carries the installer download on its own worker thread. The body is written as it arrives to
// a private ".part" file in the destination folder (so the final rename stays on one disk) and
// hashed on the way; it is then given the first free name, never replacing a file. The transfer
// ends at the first failed write, when more arrives than the server announced or than
// maxInstallerBytes, when nothing arrives for idleTimeoutMs, or on cancel(); the ".part" file is
// removed then. Only https addresses are fetched (http only on a loopback host), and redirects
// stay on https. A verified AppImage is made executable.
//
// Threading: start(), cancel() and the setters are called on the main thread. The transfer, the
// disk work and the calls of onProgress and onFinish happen on the worker thread; the actions
// must post to the main thread themselves. stop() and the destructor end and join the worker.
class UpdateDownloader final {
public:
    using ProgressAction = std::function<void(double fraction)>;
    using FinishAction = std::function<void(const DownloadResult& result)>;

    UpdateDownloader();
    ~UpdateDownloader();
    UpdateDownloader(const UpdateDownloader&) = delete;
    UpdateDownloader& operator=(const UpdateDownloader&) = delete;

    // Replaced by each download; a running transfer keeps the actions it started with.
    void setOnProgress(ProgressAction action) { m_onProgress = std::move(action); }
    void setOnFinish(FinishAction action) { m_onFinish = std::move(action); }

    // Starts the transfer. Progress is reported as received ÷ announced bytes while the size is
    // known. An answer outside HTTP 200–299 fails instead of being saved.
    void start(const DownloadRequest& request);
    // Ends the running transfer, if any; its onFinish reports Cancelled.
    void cancel();

    // folder/fileName, or folder/<base>-1<extension>, -2, … for the first name not taken. The
    // extension is ".deb" or ".AppImage" for those installers (any case), else the last suffix.
    static QString freeDestination(const QString& folder, const QString& fileName);
    // Renames from to the first free name for fileName in folder without ever replacing a file
    // (a name taken meanwhile moves on to the next). Returns the name used, or an empty string.
    static QString placeWithoutReplacing(const QString& from, const QString& folder,
                                         const QString& fileName);

    // Ends the worker thread and waits for it; a running transfer is abandoned and its ".part"
    // file removed. A later start() begins a new session.
    void stop();

    // How long the transfer may sit without receiving anything.
    static constexpr int idleTimeoutMs = 60000;
    // No installer is larger than this.
    static constexpr qint64 maxInstallerBytes = qint64(2) << 30;

private:
    void ensureSession();

    ProgressAction m_onProgress;
    FinishAction m_onFinish;
    std::unique_ptr<QThread> m_thread;
    QObject* m_worker = nullptr; // lives on m_thread; deleted when it finishes
};
