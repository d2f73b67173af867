#include "engine/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Resources {

QString folder()
{
    const QString configured = qEnvironmentVariable("KORVANE_RESOURCES");
    if (!configured.isEmpty())
        return QDir(configured).absolutePath();
    const QString appDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                        : QFileInfo(QStringLiteral("/proc/self/exe"))
                                                              .symLinkTarget()
                                                              .section(QLatin1Char('/'), 0, -2);
    const QStringList candidates{appDir + QStringLiteral("/resources"),
                                 appDir + QStringLiteral("/../share/korvane")};
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return QDir(candidate).absolutePath();
    }
    return QDir(candidates.constFirst()).absolutePath();
}

QString toolsArchive()
{
    const QString path = folder() + QStringLiteral("/Tools.zip");
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace Resources
