#pragma once

#include <QString>

// A work folder of one engine operation, inside the per-user work folder (see root()). Created
// by the constructor (a failure is thrown with the system's reason), marked in use for as long
// as the object lives, and removed with everything in it by the destructor unless it is kept for
// a later resume.
class WorkFolder final {
public:
    // A fresh folder: prefix + a fresh upper-case UUID.
    explicit WorkFolder(const QString& prefix);
    // The folder of a resumable job (created when missing, its content left as it is). Throws
    // when another process (or another object of this one) holds it.
    struct Job {
        QString name;
    };
    explicit WorkFolder(const Job& job);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const QString& path() const { return m_path; }
    QString filePath(const QString& name) const;
    // The destructor leaves the folder and its content for a later resume.
    void keepForResume() { m_remove = false; }

    // The per-user work folder, $XDG_CACHE_HOME/Korvane/work, private to its user (0700); made
    // when missing. Nothing of this application's work lives anywhere else.
    static QString root();
    // Where root() is, without touching the disk.
    static QString rootPath();
    // prefix + a fresh upper-case UUID + suffix, in the work folder.
    static QString freshTempPath(const QString& prefix, const QString& suffix = {});
    // Creates a folder and any missing parents, private to this user; throws the system's reason
    // when it cannot.
    static void makeFolder(const QString& path);
    // Removes a folder and its content if it exists; failures are ignored.
    static void removeFolder(const QString& path);
    // Entries of a folder; a listing failure counts as none.
    static int countEntries(const QString& path);
    // True while some process holds the folder as its work folder.
    static bool inUse(const QString& path);

    // A finished result that could not be put in its place is kept for the user: moved into the
    // work folder itself when it lies deeper (a job's folder is removed with its content; the
    // file is then named "<job folder>-<name>") and marked by an empty "<name>.kept" file beside
    // it, which the start-up sweep honours. Returns where the file now is.
    static QString keep(const QString& file);
    static QString keptMarker(const QString& path) { return path + QStringLiteral(".kept"); }
    // True for a kept result, and for the marker of one that still exists.
    static bool isKept(const QString& path);

private:
    // Takes the folder's in-use lock; false when someone else holds it.
    bool claim();

    QString m_path;
    int m_lockFd = -1;
    bool m_remove = true;
};
