#include "account/UpdateDownloader.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTemporaryFile>
#include <QThread>

#include "account/NetworkPolicy.h"

namespace {
using Outcome = DownloadResult::Outcome;

// Renames without replacing: EEXIST when to is taken.
bool renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without that flag: a hard link is made only under a free name too.
    if (::link(source.constData(), target.constData()) != 0)
        return false;
    ::unlink(source.constData());
    return true;
}

const QString transferName = QStringLiteral("korvane.transfer");

bool isAppImage(const QString& path)
{
    return path.endsWith(QLatin1String(".AppImage"), Qt::CaseInsensitive);
}

// One transfer on the worker thread. It deletes itself once it has reported its end.
class Transfer final : public QObject {
public:
    Transfer(QNetworkAccessManager* network, DownloadRequest request,
             UpdateDownloader::ProgressAction onProgress, UpdateDownloader::FinishAction onFinish)
        : QObject(network), m_network(network), m_request(std::move(request)),
          m_onProgress(std::move(onProgress)), m_onFinish(std::move(onFinish))
    {
        setObjectName(transferName);
    }

    void begin()
    {
        if (!NetworkPolicy::isSecureOrLoopback(m_request.url))
            return end(Outcome::Failed, QStringLiteral("Only secure addresses are downloaded."));
        if (!QDir().mkpath(m_request.folder))
            return end(Outcome::Failed,
                       QStringLiteral("Could not create the folder %1.").arg(m_request.folder));
        m_part = std::make_unique<QTemporaryFile>(
            QDir(m_request.folder)
                .filePath(QLatin1Char('.') + m_request.fileName + QStringLiteral("-XXXXXX.part")));
        if (!m_part->open())
            return end(Outcome::Failed, m_part->errorString());

        QNetworkRequest request(m_request.url);
        request.setTransferTimeout(UpdateDownloader::idleTimeoutMs);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
        // The installer's bytes as published: no transparent decompression that could grow them.
        request.setRawHeader("Accept-Encoding", "identity");
        m_reply = m_network->get(request);
        NetworkPolicy::guardRedirects(m_reply);
        connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
            const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
            m_announced = length.isValid() ? length.toLongLong() : -1;
            if (m_announced > UpdateDownloader::maxInstallerBytes)
                fail(QStringLiteral("The download is larger than any installer."));
        });
        connect(m_reply, &QNetworkReply::readyRead, this, [this] { receive(); });
        connect(m_reply, &QNetworkReply::finished, this, [this] { finish(); });
    }

    void cancel()
    {
        if (!m_reply || m_ended)
            return;
        end(Outcome::Cancelled, QStringLiteral("Cancelled"));
    }

private:
    void receive()
    {
        if (m_ended)
            return;
        const QByteArray chunk = m_reply->readAll();
        m_received += chunk.size();
        if ((m_announced >= 0 && m_received > m_announced) ||
            m_received > UpdateDownloader::maxInstallerBytes)
            return fail(QStringLiteral("The server sent more than it announced."));
        if (m_part->write(chunk) != chunk.size())
            return fail(m_part->errorString());
        m_hash.addData(chunk);
        if (m_announced >= 1 && m_onProgress)
            m_onProgress(static_cast<double>(m_received) / static_cast<double>(m_announced));
    }

    void finish()
    {
        if (m_ended)
            return;
        if (m_reply->error() != QNetworkReply::NoError)
            return end(Outcome::Failed, m_reply->errorString());
        // Error pages are not installers: only a successful answer is kept.
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status < 200 || status > 299)
            return end(Outcome::Failed,
                       QStringLiteral("The server answered with HTTP status %1.").arg(status));
        receive();
        if (m_ended)
            return;
        if (m_announced >= 0 && m_received != m_announced)
            return end(Outcome::Failed, QStringLiteral("The download ended early."));
        if (!m_part->flush() || ::fsync(m_part->handle()) != 0)
            return end(Outcome::Failed, m_part->errorString());
        m_part->close();
        const bool verified = !m_request.sha256.isEmpty();
        if (verified && m_hash.result().toHex() != m_request.sha256)
            return end(Outcome::Damaged, QStringLiteral("The checksum does not match."));
        const QString saved = UpdateDownloader::placeWithoutReplacing(
            m_part->fileName(), m_request.folder, m_request.fileName);
        if (saved.isEmpty())
            return end(
                Outcome::Failed,
                QStringLiteral("Could not move the download into %1.").arg(m_request.folder));
        m_part->setAutoRemove(false);
        // Only an installer whose checksum matched is made runnable.
        const auto readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                              QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
        const auto runnable = QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
        QFile::setPermissions(saved,
                              verified && isAppImage(saved) ? readable | runnable : readable);
        end(Outcome::Saved, {}, saved, verified);
    }

    void fail(const QString& error) { end(Outcome::Failed, error); }

    // Reports the end once; anything but a saved file takes the ".part" file with it.
    void end(Outcome outcome, const QString& error, const QString& file = {}, bool verified = false)
    {
        if (m_ended)
            return;
        m_ended = true;
        if (m_reply) {
            m_reply->disconnect(this);
            m_reply->abort();
            m_reply->deleteLater();
        }
        if (outcome != Outcome::Saved && m_part)
            m_part->remove();
        m_part.reset();
        if (m_onFinish)
            m_onFinish({outcome, file, verified, error});
        deleteLater();
    }

    QNetworkAccessManager* m_network;
    const DownloadRequest m_request;
    const UpdateDownloader::ProgressAction m_onProgress;
    const UpdateDownloader::FinishAction m_onFinish;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QTemporaryFile> m_part;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    qint64 m_announced = -1;
    qint64 m_received = 0;
    bool m_ended = false;
};
} // namespace

UpdateDownloader::UpdateDownloader() = default;

UpdateDownloader::~UpdateDownloader()
{
    stop();
}

void UpdateDownloader::stop()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
    m_worker = nullptr;
}

void UpdateDownloader::ensureSession()
{
    if (m_thread)
        return;
    m_thread = std::make_unique<QThread>();
    m_thread->setObjectName(QStringLiteral("korvane.download"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

void UpdateDownloader::start(const DownloadRequest& request)
{
    ensureSession();
    QObject* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker, request, onProgress = m_onProgress, onFinish = m_onFinish] {
            // The session's network access lives on the worker thread with the worker.
            auto* network = worker->findChild<QNetworkAccessManager*>();
            if (!network)
                network = new QNetworkAccessManager(worker);
            (new Transfer(network, request, onProgress, onFinish))->begin();
        },
        Qt::QueuedConnection);
}

void UpdateDownloader::cancel()
{
    if (!m_worker)
        return;
    QObject* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            const QList<QObject*> transfers = worker->findChildren<QObject*>(transferName);
            for (QObject* transfer : transfers)
                static_cast<Transfer*>(transfer)->cancel();
        },
        Qt::QueuedConnection);
}

QString UpdateDownloader::freeDestination(const QString& folder, const QString& fileName)
{
    const QDir dir(folder);
    QString candidate = dir.filePath(fileName);
    // Installers keep their type's usual spelling in the numbered names.
    QString extension;
    if (fileName.endsWith(QLatin1String(".deb"), Qt::CaseInsensitive))
        extension = QStringLiteral(".deb");
    else if (fileName.endsWith(QLatin1String(".AppImage"), Qt::CaseInsensitive))
        extension = QStringLiteral(".AppImage");
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    if (extension.isEmpty() && dot > 0)
        extension = fileName.mid(dot);
    for (int n = 1; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = dir.filePath(base + QLatin1Char('-') + QString::number(n) + extension);
    return candidate;
}

QString UpdateDownloader::placeWithoutReplacing(const QString& from, const QString& folder,
                                                const QString& fileName)
{
    // Another program may take the chosen name between the look and the rename.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = freeDestination(folder, fileName);
        if (renameNoReplace(from, candidate))
            return candidate;
        if (errno != EEXIST)
            return {};
    }
    return {};
}
