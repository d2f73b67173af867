#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>

// Reads and writes the history files on one serial background writer shared by every history, so
// the writes of a file happen in the order they were asked for and the newest snapshot is always
// the one left on disk. Each write replaces the file atomically.
//
// Threading: the public functions are called on the main thread. Reading, writing and removing
// files run on the writer thread, one task at a time, in the order queued; a read's result is
// delivered on the main thread, and only while its receiver still exists.
class HistoryStore final {
public:
    // The store shared by the histories of the application.
    static HistoryStore& shared();

    HistoryStore();
    // Waits for the queued writes to finish.
    ~HistoryStore();
    Q_DISABLE_COPY_MOVE(HistoryStore)

    // How a file turned out when it was read.
    enum class ReadOutcome { Missing, Read, Unreadable };

    // Reads path on the writer thread and decodes it with decode (which runs there too). A missing
    // file gives an empty T. A file that cannot be read or decoded is moved aside as
    // "<name>.corrupt-<timestamp>", which is logged, and gives an empty T; were that move to fail,
    // later saves to path are skipped so the file is never overwritten.
    template <typename T>
    void load(const QString& path, std::function<std::optional<T>(const QByteArray&)> decode,
              QObject* receiver, std::function<void(T)> done)
    {
        QPointer<QObject> guard(receiver);
        enqueue([this, path, decode = std::move(decode), guard, done = std::move(done)] {
            QByteArray bytes;
            T value{};
            QString problem;
            switch (readFile(path, &bytes, &problem)) {
            case ReadOutcome::Missing:
                break;
            case ReadOutcome::Read:
                if (std::optional<T> decoded = decode(bytes))
                    value = std::move(*decoded);
                else
                    moveAside(path, QStringLiteral("it does not hold a readable history"));
                break;
            case ReadOutcome::Unreadable:
                moveAside(path, problem);
                break;
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard, done, value] {
                    if (guard)
                        done(value);
                },
                Qt::QueuedConnection);
        });
    }

    // Writes bytes to path atomically on the writer thread, creating the folder when missing.
    // Failures are ignored.
    void save(const QString& path, const QByteArray& bytes);

    // Removes files on the writer thread; failures are ignored.
    void removeFiles(const QStringList& paths);

    // Blocks until everything queued so far has run. For tests and shutdown only.
    void flush();

    // The name a file moved aside gets: "<path>.corrupt-<yyyyMMdd-HHmmss>", numbered when taken.
    static QString asidePath(const QString& path);

private:
    void enqueue(std::function<void()> task);
    // Writer thread only.
    static ReadOutcome readFile(const QString& path, QByteArray* bytes, QString* problem);
    void moveAside(const QString& path, const QString& reason);

    QThreadPool m_writer;
    // Files whose unreadable content could not be moved aside. Writer thread only.
    QStringList m_protected;
};
