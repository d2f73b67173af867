#include "ui/video/VideoScreenTexts.h"

#include <QDir>
#include <QFileInfo>

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

QString previewCaption(const QString& previewSize, qint64 targetHeight)
{
    if (previewSize.isEmpty())
        return {};
    return QStringLiteral("AI preview ") + previewSize + QStringLiteral(" · video output ") +
           resolutionLabel(targetHeight) + QStringLiteral(" · click to zoom");
}

QString resolutionLabel(qint64 targetHeight)
{
    return targetHeight >= 2160 ? QStringLiteral("4K")
                                : QString::number(targetHeight) + QLatin1Char('p');
}

QString qualityColumnText(AIQuality quality, qint64 targetHeight)
{
    return AIQualities::label(quality) + QStringLiteral(" · ") + QString::number(targetHeight) +
           QLatin1Char('p');
}

QString copyPath(const QString& outputPath)
{
    const QFileInfo output(outputPath);
    const QString stem =
        output.dir().filePath(OutputNaming::baseName(output.fileName()) + QStringLiteral(" copy"));
    QString candidate = stem + QStringLiteral(".mp4");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stem + QLatin1Char(' ') + QString::number(n) + QStringLiteral(".mp4");
    return candidate;
}

} // namespace VideoScreenTexts
