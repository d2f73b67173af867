#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QUrl>

class QThread;
class QObject;

// How one installer transfer ended: the saved file, or a description of the failure.
struct DownloadResult {
    bool ok = false;
    QString file;
    QString error;
};

// Carries the installer download: it fetches the file into a temporary file on its own worker
// thread, then moves it to a free name in the destination folder.
//
// Threading: start() and the setters are called on the main thread. The transfer, the disk work
// and the calls of onProgress and onFinish happen on the downloader's worker thread; the actions
// must post to the main thread themselves. stop() and the destructor end and join the worker
// thread.
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

    // Downloads url into folder under fileName, or the first free "<base>-<n><extension>" beside
    // it. Progress is reported as received ÷ expected bytes while the size is known. An answer
    // outside HTTP 200–299 fails instead of being saved.
    void start(const QUrl& url, const QString& folder, const QString& fileName);

    // folder/fileName, or folder/<base>-1<extension>, -2, … for the first name not taken. The
    // extension is ".deb" or ".AppImage" for those installers (any case), else the last suffix.
    static QString freeDestination(const QString& folder, const QString& fileName);

    // Ends the worker thread and waits for it; a running transfer is abandoned and its
    // temporary file removed. A later start() begins a new session.
    void stop();

    // How long the transfer may sit without receiving anything.
    static constexpr int idleTimeoutMs = 60000;

private:
    void ensureSession();

    ProgressAction m_onProgress;
    FinishAction m_onFinish;
    std::unique_ptr<QThread> m_thread;
    QObject* m_worker = nullptr; // lives on m_thread; deleted when it finishes
};
