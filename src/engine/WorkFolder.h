#pragma once

#include <QString>

// A work folder of one engine operation: prefix + a fresh upper-case UUID, directly in the
// temporary folder. Created by the constructor (a failure is thrown with the system's reason)
// and removed with everything in it by the destructor, whatever path the operation leaves by.
class WorkFolder final {
public:
    explicit WorkFolder(const QString& prefix);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const QString& path() const { return m_path; }
    QString filePath(const QString& name) const;

    // prefix + a fresh upper-case UUID + suffix, in the temporary folder.
    static QString freshTempPath(const QString& prefix, const QString& suffix = {});
    // Creates a folder and any missing parents; throws the system's reason when it cannot.
    static void makeFolder(const QString& path);
    // Removes a folder and its content if it exists; failures are ignored.
    static void removeFolder(const QString& path);
    // Entries of a folder; a listing failure counts as none.
    static int countEntries(const QString& path);

    // A finished result that could not be put in its place is kept for the user: moved into the
    // temporary folder itself when it lies deeper (a work folder is removed with its content;
    // the file is then named "<work folder>-<name>") and marked by an empty "<name>.kept" file
    // beside it, which the start-up sweep honours. Returns where the file now is.
    static QString keep(const QString& file);
    static QString keptMarker(const QString& path) { return path + QStringLiteral(".kept"); }
    // True for a kept result, and for the marker of one that still exists.
    static bool isKept(const QString& path);

private:
    QString m_path;
};
