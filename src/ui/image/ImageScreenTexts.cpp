#include "ui/image/ImageScreenTexts.h"

#include "ui/components/HistoryCard.h"

namespace ImageScreenTexts {

QString outputSize(qint64 srcW, qint64 srcH, int scale)
{
    return QString::number(srcW * scale) + QStringLiteral("×") + QString::number(srcH * scale) +
           QStringLiteral(" px");
}

QString primaryTitle(bool isRunning)
{
    return isRunning ? QStringLiteral("Add to Queue") : QStringLiteral("Upscale Image");
}

QString savedLine(const QString& path)
{
    return QStringLiteral("Saved to ") + HistoryCard::abbreviatedPath(path);
}

QString scaleText(qint64 scale)
{
    return QString::number(scale) + QStringLiteral("×");
}

QString savedToText(const ImageUpscaler::HistoryEntry& entry)
{
    if (entry.savedPath)
        return HistoryCard::abbreviatedPath(*entry.savedPath);
    if (entry.error)
        return *entry.error;
    return QStringLiteral("—");
}

} // namespace ImageScreenTexts
