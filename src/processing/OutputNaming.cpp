#include "processing/OutputNaming.h"

#include <cerrno>
#include <mutex>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace OutputNaming {

namespace {
std::mutex g_mutex;
QStringList g_reserved; // a list: the same name may be reserved (and released) more than once

// True when the name exists. A name that can't be looked at (too long, a folder that can't be
// searched) ends the search: creating it exclusively later fails with the system's reason, and
// nothing is ever written over an entry without that.
bool exists(const QString& path)
{
    struct stat entry {};
    return ::lstat(QFile::encodeName(path).constData(), &entry) == 0;
}

// Callers hold g_mutex.
QString firstFreeLocked(const QString& folder, const QString& stem, const QString& extension)
{
    QString path = numberedPath(folder, stem, extension, 0);
    for (int n = 1; exists(path) || g_reserved.contains(path); ++n)
        path = numberedPath(folder, stem, extension, n);
    return path;
}
} // namespace

QString numberedPath(const QString& folder, const QString& stem, const QString& extension, int n)
{
    const QDir dir(folder);
    const QString suffix = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
    if (n == 0)
        return dir.filePath(stem + suffix);
    return dir.filePath(stem + QLatin1Char('_') + QString::number(n) + suffix);
}

QString baseName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

bool isTaken(const QString& path)
{
    struct stat entry {};
    if (::lstat(QFile::encodeName(path).constData(), &entry) == 0)
        return true;
    // Only a name known to be absent is free; anything the system cannot tell counts as taken.
    return errno != ENOENT;
}

QString firstFreePath(const QString& folder, const QString& stem, const QString& extension)
{
    std::lock_guard lock(g_mutex);
    return firstFreeLocked(folder, stem, extension);
}

QString firstFreeUpscaledPath(const QString& folder, const QString& base, const QString& extension)
{
    return firstFreePath(folder, base + QStringLiteral("_upscaled"), extension);
}

QString reserveFirstFree(const QString& folder, const QString& stem, const QString& extension)
{
    std::lock_guard lock(g_mutex);
    const QString path = firstFreeLocked(folder, stem, extension);
    g_reserved.append(path);
    return path;
}

void reserve(const QString& path)
{
    std::lock_guard lock(g_mutex);
    g_reserved.append(path);
}

void release(const QString& path)
{
    std::lock_guard lock(g_mutex);
    g_reserved.removeOne(path);
}

} // namespace OutputNaming
