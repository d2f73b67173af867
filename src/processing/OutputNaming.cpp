#include "processing/OutputNaming.h"

#include <mutex>

#include <QDir>
#include <QFileInfo>

namespace OutputNaming {

namespace {
std::mutex g_mutex;
QStringList g_reserved; // a list: the same name may be reserved (and released) more than once

bool isReserved(const QString& path)
{
    std::lock_guard lock(g_mutex);
    return g_reserved.contains(path);
}
} // namespace

QString baseName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString firstFreeUpscaledPath(const QString& folder, const QString& base, const QString& extension)
{
    const QDir dir(folder);
    QString candidate = dir.filePath(base + QStringLiteral("_upscaled.") + extension);
    for (int n = 1; QFileInfo::exists(candidate) || isReserved(candidate); ++n)
        candidate = dir.filePath(base + QStringLiteral("_upscaled_") + QString::number(n) +
                                 QLatin1Char('.') + extension);
    return candidate;
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
