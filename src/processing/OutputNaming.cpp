#include "processing/OutputNaming.h"

#include <QDir>
#include <QFileInfo>

namespace OutputNaming {

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
    for (int n = 1; QFileInfo::exists(candidate); ++n)
        candidate = dir.filePath(base + QStringLiteral("_upscaled_") + QString::number(n) +
                                 QLatin1Char('.') + extension);
    return candidate;
}

} // namespace OutputNaming
