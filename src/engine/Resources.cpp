#include "engine/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Resources {

namespace {
QString executableFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QFileInfo(QStringLiteral("/proc/self/exe"))
                                              .symLinkTarget()
                                              .section(QLatin1Char('/'), 0, -2);
}
} // namespace

QString folder()
{
    const QString configured = qEnvironmentVariable("KORVANE_RESOURCES");
    if (!configured.isEmpty())
        return QDir(configured).absolutePath();
    const QString appDir = executableFolder();
    const QStringList candidates{appDir + QStringLiteral("/resources"),
                                 appDir + QStringLiteral("/../share/korvane")};
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return QDir(candidate).absolutePath();
    }
    return QDir(candidates.constFirst()).absolutePath();
}

QString layerFolder()
{
    const QString inResources = folder() + QStringLiteral("/vklayer");
    if (QFileInfo(inResources).isDir())
        return inResources;
    // Installed: beside /usr/bin/korvane's private folder, or beside the window program in it.
    const QString appDir = executableFolder();
    for (const QString& installed : QStringList{appDir + QStringLiteral("/../lib/korvane/vklayer"),
                                                appDir + QStringLiteral("/vklayer")}) {
        if (QFileInfo(installed).isDir())
            return QDir(installed).absolutePath();
    }
    return inResources;
}

QString toolsArchive()
{
    const QString path = folder() + QStringLiteral("/Tools.zip");
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace Resources
