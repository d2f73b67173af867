#include "account/UpdateChecker.h"

#include <cmath>

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include "account/NetworkPolicy.h"
#include "account/SystemOpener.h"

namespace {
const QString productionManifestUrl = QStringLiteral("https://korvane.app/apps/korvane.json");
const QString checkFailedText =
    QStringLiteral("Couldn't check for updates. Check your connection and try again.");
const QString downloadFailedText =
    QStringLiteral("Download failed. Please try again or use your browser.");
const QString damagedText = QStringLiteral("The download was damaged or altered. Try again.");
// The manifest may trickle in for up to its deadline, but not sit silent for longer than this.
constexpr std::chrono::milliseconds manifestSilence{15000};

struct Manifest {
    QString version;
    std::optional<qint64> build;
    QString downloadURL;
    QString notes;
    QByteArray sha256;
};

// 64 hexadecimal digits, returned in lower case.
std::optional<QByteArray> parseSha256(const QJsonValue& value)
{
    static const QRegularExpression digest(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!value.isString() || !digest.match(value.toString()).hasMatch())
        return std::nullopt;
    return value.toString().toLower().toLatin1();
}

// Required "version" and "downloadURL" texts; optional integer "build", text "notes" and
// hexadecimal "sha256" of the installer.
std::optional<Manifest> decodeManifest(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(QLatin1String("version"));
    const QJsonValue url = object.value(QLatin1String("downloadURL"));
    const QJsonValue build = object.value(QLatin1String("build"));
    const QJsonValue notes = object.value(QLatin1String("notes"));
    const QJsonValue sha256 = object.value(QLatin1String("sha256"));
    if (!version.isString() || !url.isString())
        return std::nullopt;
    Manifest manifest{version.toString(), std::nullopt, url.toString(), QString(), QByteArray()};
    if (!build.isUndefined() && !build.isNull()) {
        const double number = build.toDouble(std::nan(""));
        if (!build.isDouble() || std::trunc(number) != number || std::abs(number) > 9.0e15)
            return std::nullopt;
        manifest.build = static_cast<qint64>(number);
    }
    if (!notes.isUndefined() && !notes.isNull()) {
        if (!notes.isString())
            return std::nullopt;
        manifest.notes = notes.toString();
    }
    if (!sha256.isUndefined() && !sha256.isNull()) {
        const std::optional<QByteArray> digest = parseSha256(sha256);
        if (!digest)
            return std::nullopt;
        manifest.sha256 = *digest;
    }
    return manifest;
}

// Installers come over https only (plain http only from the local development server).
std::optional<QUrl> parseDownloadUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!NetworkPolicy::isSecureOrLoopback(url))
        return std::nullopt;
    return url;
}
} // namespace

UpdateChecker::BuildInfo UpdateChecker::BuildInfo::compiledIn()
{
    return {QStringLiteral(KORVANE_VERSION), QStringLiteral(KORVANE_BUILD_NUMBER)};
}

UpdateChecker& UpdateChecker::shared()
{
    static UpdateChecker* const instance = new UpdateChecker();
    return *instance;
}

UpdateChecker::UpdateChecker(BuildInfo build, std::chrono::milliseconds manifestTimeout,
                             QObject* parent)
    : QObject(parent), m_build(std::move(build)), m_manifestTimeout(manifestTimeout),
      m_manifestUrl(configuredManifestUrl()), m_network(new QNetworkAccessManager(this))
{
    // The shared checker lives until the process ends; its download thread must not.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { m_downloader.stop(); });
}

UpdateChecker::~UpdateChecker()
{
    const QList<QNetworkReply*> replies = m_network->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies)
        reply->disconnect(this);
}

QString UpdateChecker::configuredManifestUrl()
{
    const QString configured = qEnvironmentVariable("KORVANE_UPDATE_URL");
    return configured.isEmpty() ? productionManifestUrl : configured;
}

QString UpdateChecker::currentVersion() const
{
    return m_build.version;
}

qint64 UpdateChecker::currentBuild() const
{
    return parseInteger(m_build.build);
}

void UpdateChecker::check(bool userInitiated)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QUrl url(m_manifestUrl, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        if (userInitiated)
            setStatus(Status::failed(QStringLiteral("Update URL is not configured.")));
        return;
    }
    if (userInitiated)
        setStatus(Status::checking());
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(
        static_cast<int>(std::min(m_manifestTimeout, manifestSilence).count()));
    QNetworkReply* reply = m_network->get(request);
    NetworkPolicy::bound(reply, m_manifestTimeout, maxManifestBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply, userInitiated] {
        reply->deleteLater();
        finishCheck(reply, userInitiated);
    });
}

void UpdateChecker::finishCheck(QNetworkReply* reply, bool userInitiated)
{
    const auto fail = [this, userInitiated] {
        setStatus(userInitiated ? Status::failed(checkFailedText) : Status::idle());
    };
    const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || httpStatus < 200 || httpStatus > 299 ||
        NetworkPolicy::exceededLimit(reply) != NetworkPolicy::Limit::None)
        return fail();
    const std::optional<Manifest> manifest = decodeManifest(reply->readAll());
    if (!manifest)
        return fail();
    const std::optional<QUrl> downloadUrl = parseDownloadUrl(manifest->downloadURL);
    if (!downloadUrl)
        return fail();
    const bool newer = manifest->build ? currentBuild() < *manifest->build
                                       : compareVersions(manifest->version, currentVersion()) > 0;
    if (newer) {
        m_checksums.insert(*downloadUrl, manifest->sha256);
        setStatus(
            Status::available(manifest->version, *downloadUrl, manifest->notes, manifest->sha256));
    } else
        setStatus(Status::upToDate());
}

void UpdateChecker::downloadUpdate(const QUrl& url)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_download.kind == DownloadState::Kind::Downloading)
        return;
    setDownload(DownloadState::downloading(0));
    const quint64 serial = ++m_downloadSerial;

    // The actions run on the downloader's thread; they post to the main thread and hold the
    // checker weakly. A download that was cancelled or replaced reports nothing.
    const QPointer<UpdateChecker> weak(this);
    const auto current = [weak, serial] {
        return weak && weak->m_downloadSerial == serial &&
               weak->m_download.kind == DownloadState::Kind::Downloading;
    };
    m_downloader.setOnProgress([weak, current](double fraction) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, current, fraction] {
                if (current())
                    weak->setDownload(DownloadState::downloading(fraction));
            },
            Qt::QueuedConnection);
    });
    m_downloader.setOnFinish([weak, current](const DownloadResult& result) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, current, result] {
                if (current())
                    weak->finishDownload(result);
            },
            Qt::QueuedConnection);
    });
    m_downloader.start(
        {url, downloadFolder(), installerFileName(url), m_checksums.value(url, QByteArray())});
}

void UpdateChecker::finishDownload(const DownloadResult& result)
{
    using Outcome = DownloadResult::Outcome;
    switch (result.outcome) {
    case Outcome::Saved:
        setDownload(DownloadState::finished(result.file, result.verified));
        SystemOpener::reveal(result.file);
        // A file nobody vouched for is shown, never started.
        if (result.verified)
            SystemOpener::open(QUrl::fromLocalFile(result.file));
        return;
    case Outcome::Damaged:
        setDownload(DownloadState::failed(damagedText));
        return;
    case Outcome::Cancelled:
        setDownload(DownloadState::idle());
        return;
    case Outcome::Failed:
        setDownload(DownloadState::failed(downloadFailedText));
        return;
    }
}

void UpdateChecker::cancelDownload()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_download.kind != DownloadState::Kind::Downloading)
        return;
    m_downloader.cancel();
    setDownload(DownloadState::idle());
}

int UpdateChecker::compareVersions(const QString& a, const QString& b)
{
    const QStringList left = a.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const QStringList right = b.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const qsizetype length = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < length; ++i) {
        const qint64 x = i < left.size() ? parseInteger(left[i]) : 0;
        const qint64 y = i < right.size() ? parseInteger(right[i]) : 0;
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

qint64 UpdateChecker::parseInteger(const QString& text)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return 0;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? value : 0;
}

QString UpdateChecker::installerFileName(const QUrl& url)
{
    const QString last = url.fileName();
    if (!last.isEmpty() && (last.endsWith(QLatin1String(".AppImage"), Qt::CaseInsensitive) ||
                            last.endsWith(QLatin1String(".deb"), Qt::CaseInsensitive)))
        return last;
    return QStringLiteral("Korvane.AppImage");
}

QString UpdateChecker::downloadFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return downloads.isEmpty() ? QDir::tempPath() : downloads;
}

void UpdateChecker::setStatus(Status status)
{
    if (m_status == status)
        return;
    m_status = std::move(status);
    Q_EMIT statusChanged();
}

void UpdateChecker::setDownload(DownloadState state)
{
    if (m_download == state)
        return;
    m_download = std::move(state);
    Q_EMIT downloadChanged();
}
