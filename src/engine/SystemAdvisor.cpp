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

UpscaleRecommendation recommend(qint64 srcW, qint64 srcH)
{
    UpscaleRecommendation recommendation;
    if (srcW < 1 || srcH < 1)
        return recommendation;
    const QString size = QString::number(srcW) + QChar(0x00D7) + QString::number(srcH);
    if (srcH < 2160) {
        const QString orientation =
            srcW < srcH ? QStringLiteral("portrait") : QStringLiteral("landscape");
        recommendation.message = QStringLiteral("Recommended: Detailed at 4K for this ") + size +
                                 QLatin1Char(' ') + orientation + QStringLiteral(" clip on ") +
                                 chip() + QStringLiteral(" (") + QString::number(ramInt()) +
                                 QStringLiteral(" GB). (Max = sharper but slower.)");
    } else {
        recommendation.message = QStringLiteral("This video is already 4K (") + size +
                                 QStringLiteral(") — upscaling isn't needed.");
    }
    return recommendation;
}

} // namespace SystemAdvisor
