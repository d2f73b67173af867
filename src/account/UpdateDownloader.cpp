#include "account/UpdateDownloader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QThread>

namespace {
// One transfer on the worker thread: the body goes to a temporary file as it arrives.
void runTransfer(QNetworkAccessManager* network, const QUrl& url, const QString& folder,
                 const QString& fileName, const UpdateDownloader::ProgressAction& onProgress,
                 const UpdateDownloader::FinishAction& onFinish)
{
    auto finish = [onFinish](DownloadResult result) {
        if (onFinish)
            onFinish(result);
    };
    auto temp = std::make_shared<QTemporaryFile>(QDir::tempPath() +
                                                 QStringLiteral("/korvane-download-XXXXXX"));
    if (!temp->open()) {
        finish({false, {}, temp->errorString()});
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(UpdateDownloader::idleTimeoutMs);
    QNetworkReply* reply = network->get(request);
    auto writeFailed = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, temp, writeFailed] {
        const QByteArray chunk = reply->readAll();
        if (!*writeFailed && temp->write(chunk) != chunk.size())
            *writeFailed = true;
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [onProgress](qint64 received, qint64 total) {
                         if (total >= 1 && onProgress)
                             onProgress(static_cast<double>(received) / static_cast<double>(total));
                     });
    QObject::connect(
        reply, &QNetworkReply::finished, reply,
        [reply, temp, writeFailed, folder, fileName, finish] {
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError) {
                finish({false, {}, reply->errorString()});
                return;
            }
            // Error pages are not installers: only a successful answer is kept.
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status < 200 || status > 299) {
                finish({false,
                        {},
                        QStringLiteral("The server answered with HTTP status %1.").arg(status)});
                return;
            }
            const QByteArray rest = reply->readAll();
            if (*writeFailed || temp->write(rest) != rest.size() || !temp->flush()) {
                finish({false, {}, temp->errorString()});
                return;
            }
            temp->close();
            QDir().mkpath(folder);
            const QString destination = UpdateDownloader::freeDestination(folder, fileName);
            QFile::remove(destination);
            if (!QFile::rename(temp->fileName(), destination)) {
                finish({false,
                        {},
                        QStringLiteral("Could not move the download to %1.").arg(destination)});
                return;
            }
            temp->setAutoRemove(false);
            finish({true, destination, {}});
        });
}
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

void UpdateDownloader::start(const QUrl& url, const QString& folder, const QString& fileName)
{
    ensureSession();
    QObject* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker, url, folder, fileName, onProgress = m_onProgress, onFinish = m_onFinish] {
            // The session's network access lives on the worker thread with the worker.
            auto* network = worker->findChild<QNetworkAccessManager*>();
            if (!network)
                network = new QNetworkAccessManager(worker);
            runTransfer(network, url, folder, fileName, onProgress, onFinish);
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
