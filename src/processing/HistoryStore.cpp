#include "processing/HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRunnable>
#include <QSaveFile>

#include "engine/EngineLog.h"
#include "engine/FileLock.h"

HistoryStore& HistoryStore::shared()
{
    static HistoryStore instance;
    return instance;
}

HistoryStore::HistoryStore()
{
    // One thread makes the queue serial: tasks of equal priority run in the order queued.
    m_writer.setMaxThreadCount(1);
    m_writer.setExpiryTimeout(-1);
    m_writer.setThreadPriority(QThread::LowPriority);
}

HistoryStore::~HistoryStore()
{
    m_writer.waitForDone();
}

void HistoryStore::enqueue(std::function<void()> task)
{
    m_writer.start(std::move(task));
}

void HistoryStore::save(const QString& path, const QByteArray& bytes)
{
    enqueue([this, path, bytes] {
        const Locked lock = lockFor(path);
        writeFile(path, bytes);
    });
}

HistoryStore::Locked HistoryStore::lockFor(const QString& path)
{
    return Locked{std::make_shared<FileLock>(path + QStringLiteral(".lock"))};
}

void HistoryStore::writeFile(const QString& path, const QByteArray& bytes)
{
    if (m_protected.contains(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

void HistoryStore::removeFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    enqueue([paths] {
        for (const QString& path : paths)
            QFile::remove(path);
    });
}

void HistoryStore::flush()
{
    m_writer.waitForDone();
}

QString HistoryStore::asidePath(const QString& path)
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QStringLiteral(".corrupt-") + stamp;
    QString candidate = base;
    for (int n = 1; QFileInfo::exists(candidate); ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    return candidate;
}

HistoryStore::ReadOutcome HistoryStore::readFile(const QString& path, QByteArray* bytes,
                                                 QString* problem)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return ReadOutcome::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("it could not be opened: ") + file.errorString();
        return ReadOutcome::Unreadable;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *problem = QStringLiteral("it could not be read: ") + file.errorString();
        return ReadOutcome::Unreadable;
    }
    return ReadOutcome::Read;
}

void HistoryStore::moveAside(const QString& path, const QString& reason)
{
    const QString name = QFileInfo(path).fileName();
    const QString aside = asidePath(path);
    if (QFile::rename(path, aside)) {
        EngineLog::line(QStringLiteral("Korvane: ") + name +
                        QStringLiteral(" was moved aside as ") + QFileInfo(aside).fileName() +
                        QStringLiteral(" because ") + reason +
                        QStringLiteral("; the history starts empty."));
        return;
    }
    m_protected.append(path);
    EngineLog::line(QStringLiteral("Korvane: ") + name + QStringLiteral(" could not be used (") +
                    reason + QStringLiteral(") nor moved aside; it is left as it is and the ") +
                    QStringLiteral("history is not saved in this session."));
}
