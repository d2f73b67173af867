#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>

// Reads and writes the history files on one serial background writer shared by every history, so
// the writes of a file happen in the order they were asked for. Several Korvane processes (the
// window, any number of command lines) share the files: a change is read, merged and written
// under the file's lock ("<file>.lock"), so no process drops what another added. Each write
// replaces the file atomically.
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
            deliver(guard, done, readValue(path, decode));
        });
    }

    // Under the file's lock, on the writer thread: reads path as load() does, applies change to
    // what it holds and writes the outcome; then delivers the outcome to done on the main thread
    // (only while receiver exists). A file that can't be written, or whose unreadable content
    // could not be moved aside, is left as it is; done still gets the outcome.
    template <typename T>
    void update(const QString& path, std::function<std::optional<T>(const QByteArray&)> decode,
                std::function<T(T)> change, std::function<QByteArray(const T&)> encode,
                QObject* receiver, std::function<void(T)> done)
    {
        QPointer<QObject> guard(receiver);
        enqueue([this, path, decode = std::move(decode), change = std::move(change),
                 encode = std::move(encode), guard, done = std::move(done)] {
            T value;
            {
                const Locked lock = lockFor(path);
                value = change(readValue(path, decode));
                writeFile(path, encode(value));
            }
            deliver(guard, done, std::move(value));
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

    // update() that puts entry in front of the file's entries (replacing one with its id); saved
    // runs on the main thread once it is written (while receiver exists).
    template <typename Entry>
    void addEntry(const QString& path,
                  std::function<std::optional<QList<Entry>>(const QByteArray&)> decode,
                  std::function<QByteArray(const QList<Entry>&)> encode, const Entry& entry,
                  QObject* receiver, std::function<void()> saved)
    {
        update<QList<Entry>>(
            path, std::move(decode),
            [entry](QList<Entry> entries) {
                entries.removeIf([&](const Entry& e) { return e.id == entry.id; });
                entries.prepend(entry);
                return entries;
            },
            std::move(encode), receiver, [saved = std::move(saved)](const QList<Entry>&) {
                if (saved)
                    saved();
            });
    }

private:
    // Holds a history file's lock for a read, merge and write (see FileLock).
    struct Locked {
        std::shared_ptr<void> lock;
    };
    static Locked lockFor(const QString& path);

    template <typename T>
    T readValue(const QString& path, const std::function<std::optional<T>(const QByteArray&)>& decode)
    {
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
        return value;
    }

    template <typename T>
    static void deliver(const QPointer<QObject>& guard, const std::function<void(T)>& done, T value)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, value = std::move(value)] {
                if (guard)
                    done(value);
            },
            Qt::QueuedConnection);
    }

    void enqueue(std::function<void()> task);
    // Writes bytes to path atomically unless the path is protected. Writer thread only.
    void writeFile(const QString& path, const QByteArray& bytes);
    // Writer thread only.
    static ReadOutcome readFile(const QString& path, QByteArray* bytes, QString* problem);
    void moveAside(const QString& path, const QString& reason);

    QThreadPool m_writer;
    // Files whose unreadable content could not be moved aside. Writer thread only.
    QStringList m_protected;
};
