#pragma once

#include <chrono>
#include <optional>

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include "account/UpdateDownloader.h"

class QNetworkAccessManager;
class QNetworkReply;

// Finds out whether a newer build is published (a JSON manifest at a fixed address) and, on
// request, downloads its installer to the Downloads folder and shows it. The installer is opened
// only when the manifest published its SHA-256 checksum and the download matched it.
//
// Threading: main thread only. The manifest request answers on the main thread; the download runs
// on the downloader's worker thread and its progress and end are posted back here.
class UpdateChecker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateChecker)
    Q_PROPERTY(UpdateChecker::Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(UpdateChecker::DownloadState download READ download NOTIFY downloadChanged)

public:
    // The outcome of the last check.
    struct Status {
        enum class Kind { Idle, Checking, UpToDate, Available, Failed };
        Kind kind = Kind::Idle;
        QString version;   // Available
        QUrl url;          // Available: where the installer is
        QString notes;     // Available: empty when the manifest has none
        QString message;   // Failed
        QByteArray sha256; // Available: the installer's lower-case hex digest; empty when none
        bool operator==(const Status&) const = default;

        static Status idle() { return {}; }
        static Status checking() { return {Kind::Checking, {}, {}, {}, {}, {}}; }
        static Status upToDate() { return {Kind::UpToDate, {}, {}, {}, {}, {}}; }
        static Status available(const QString& version, const QUrl& url, const QString& notes,
                                const QByteArray& sha256 = {})
        {
            return {Kind::Available, version, url, notes, {}, sha256};
        }
        static Status failed(const QString& message)
        {
            return {Kind::Failed, {}, {}, {}, message, {}};
        }
    };

    // The installer download.
    struct DownloadState {
        enum class Kind { Idle, Downloading, Finished, Failed };
        Kind kind = Kind::Idle;
        double fraction = 0;  // Downloading, 0 to 1
        QString file;         // Finished: the saved installer
        QString message;      // Failed
        bool verified = true; // Finished: it matched the published checksum and was opened
        bool operator==(const DownloadState&) const = default;

        static DownloadState idle() { return {}; }
        static DownloadState downloading(double fraction)
        {
            return {Kind::Downloading, fraction, {}, {}, true};
        }
        static DownloadState finished(const QString& file, bool verified = true)
        {
            return {Kind::Finished, 1, file, {}, verified};
        }
        static DownloadState failed(const QString& message)
        {
            return {Kind::Failed, 0, {}, message, true};
        }
    };

    // The running application's version and build number texts.
    struct BuildInfo {
        QString version;
        QString build;
        static BuildInfo compiledIn();
    };

    // The whole manifest request ends after this, however steadily it receives.
    static constexpr std::chrono::milliseconds defaultManifestTimeout{20000};
    // A manifest is a few lines.
    static constexpr qint64 maxManifestBytes = 64 * 1024;

    // The one instance of the application, created on first use and never destroyed.
    static UpdateChecker& shared();

    explicit UpdateChecker(BuildInfo build = BuildInfo::compiledIn(),
                           std::chrono::milliseconds manifestTimeout = defaultManifestTimeout,
                           QObject* parent = nullptr);
    ~UpdateChecker() override;

    // The manifest address: KORVANE_UPDATE_URL when set, else the production address.
    static QString configuredManifestUrl();
    QString manifestURLString() const { return m_manifestUrl; }
    QString currentVersion() const;
    qint64 currentBuild() const;

    Status status() const { return m_status; }
    DownloadState download() const { return m_download; }
    UpdateDownloader& downloader() { return m_downloader; }

    // Starts a check and returns at once. A user-initiated check shows "checking" and reports
    // failures; an automatic one is silent and leaves idle behind when it fails.
    void check(bool userInitiated);
    // Starts the installer download unless one is running; returns at once. The download is
    // checked against the checksum the manifest published for url, if any.
    void downloadUpdate(const QUrl& url);
    // Ends a running download; the state goes back to idle and the partial file is removed.
    void cancelDownload();

    // 1 when version text a is newer than b, -1 when older, 0 when equal ("1.0" == "1.0.0").
    static int compareVersions(const QString& a, const QString& b);
    // An optional sign followed by decimal digits gives its value; anything else gives 0.
    static qint64 parseInteger(const QString& text);
    // The URL's last path component when it names an installer (".AppImage" or ".deb" in any
    // case), else "Korvane.AppImage".
    static QString installerFileName(const QUrl& url);
    // The Downloads folder, or the temporary folder when the desktop names none.
    static QString downloadFolder();

Q_SIGNALS:
    void statusChanged();
    void downloadChanged();

private:
    void finishCheck(QNetworkReply* reply, bool userInitiated);
    void finishDownload(const DownloadResult& result);
    void setStatus(Status status);
    void setDownload(DownloadState state);

    const BuildInfo m_build;
    const std::chrono::milliseconds m_manifestTimeout;
    const QString m_manifestUrl;
    QNetworkAccessManager* m_network = nullptr;
    Status m_status;
    DownloadState m_download;
    // The published checksum of each installer address an available update named.
    QHash<QUrl, QByteArray> m_checksums;
    // Counts downloads, so that the end of a cancelled one is not taken for a newer one's.
    quint64 m_downloadSerial = 0;
    UpdateDownloader m_downloader;
};
