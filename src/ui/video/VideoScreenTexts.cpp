#include "ui/video/VideoScreenTexts.h"

#include "processing/OutputNaming.h"
#include "ui/components/HistoryCard.h"

namespace VideoScreenTexts {

bool alreadyHighRes(qint64 sourceHeight, qint64 targetHeight)
{
    return sourceHeight > 0 && sourceHeight >= targetHeight;
}

QString alreadyHighNote(qint64 sourceHeight)
{
    return QStringLiteral("This video is already ") + QString::number(sourceHeight) +
           QStringLiteral("p — at or above the selected output. Pick a higher output or a "
                          "lower-resolution source.");
}

QString primaryTitle(bool previewBusy, bool advancedPreview, bool isRunning)
{
    if (previewBusy)
        return QStringLiteral("Generating preview…");
    if (advancedPreview)
        return isRunning ? QStringLiteral("Preview & Add to Queue")
                         : QStringLiteral("Preview & Upscale");
    return isRunning ? QStringLiteral("Add to Queue") : QStringLiteral("Upscale Video");
}

QString savedToText(const QString& outputPath)
{
    return QStringLiteral("Saved to ") + HistoryCard::abbreviatedPath(outputPath);
}

QString previewSizeText(const QSize& size)
{
    if (size.isEmpty())
        return {};
    return QString::number(size.width()) + QStringLiteral("×") + QString::number(size.height());
}

QString previewCaption(const QString& previewSize)
{
    if (previewSize.isEmpty())
        return {};
    return QStringLiteral("upscaled → ") + previewSize + QStringLiteral(" · click to zoom");
}

QString qualityColumnText(AIQuality quality, qint64 targetHeight)
{
    return AIQualities::label(quality) + QStringLiteral(" · ") + QString::number(targetHeight) +
           QLatin1Char('p');
}

QString copyFileName(const QString& baseName)
{
    return OutputNaming::baseName(baseName) + QStringLiteral("_upscaled.mp4");
}

} // namespace VideoScreenTexts
