#include "engine/SystemAdvisor.h"

#include <cmath>

#include "engine/SystemFacts.h"

namespace SystemAdvisor {

qint64 ramInt()
{
    return qint64(std::round(double(SystemFacts::physicalMemoryBytes()) / double(1ULL << 30)));
}

QString chip()
{
    const QString brand = SystemFacts::processorBrand();
    return brand.isEmpty() ? QStringLiteral("your computer") : brand;
}

UpscaleRecommendation recommend(qint64 srcW, qint64 srcH, SystemFacts::AiDevice device)
{
    UpscaleRecommendation recommendation;
    const bool onProcessor = device == SystemFacts::AiDevice::Processor;
    if (onProcessor) {
        // Without a GPU a minute of 1080p takes hours with Detailed; Fast keeps it to what a
        // person waits for, and 1080p unless the source already has that many lines.
        recommendation.quality = AIQuality::Fast;
        recommendation.targetHeight = srcH >= 1080 ? 2160 : 1080;
    }
    if (srcW < 1 || srcH < 1)
        return recommendation;
    const QString size = QString::number(srcW) + QChar(0x00D7) + QString::number(srcH);
    if (srcH >= 2160) {
        recommendation.message = QStringLiteral("This video is already 4K (") + size +
                                 QStringLiteral(") — upscaling isn't needed.");
        return recommendation;
    }
    const QString orientation =
        srcW < srcH ? QStringLiteral("portrait") : QStringLiteral("landscape");
    const QString machine =
        chip() + QStringLiteral(" (") + QString::number(ramInt()) + QStringLiteral(" GB)");
    if (!onProcessor) {
        recommendation.message = QStringLiteral("Recommended: Detailed at 4K for this ") + size +
                                 QLatin1Char(' ') + orientation + QStringLiteral(" clip on ") +
                                 machine + QStringLiteral(". (Max = sharper but slower.)");
        return recommendation;
    }
    const QString target =
        recommendation.targetHeight == 2160 ? QStringLiteral("4K") : QStringLiteral("1080p");
    recommendation.message =
        QStringLiteral("Recommended: Fast at ") + target + QStringLiteral(" for this ") + size +
        QLatin1Char(' ') + orientation +
        QStringLiteral(" clip. No GPU was found, so the AI runs on ") + machine +
        QStringLiteral(", which is much slower. (Detailed and Max take several times "
                       "longer.)");
    return recommendation;
}

UpscaleRecommendation recommend(qint64 srcW, qint64 srcH)
{
    return recommend(srcW, srcH, SystemFacts::aiDevice());
}

} // namespace SystemAdvisor
