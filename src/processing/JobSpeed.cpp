#include "processing/JobSpeed.h"

#include <cmath>
#include <mutex>

#include <QSettings>

namespace {
std::mutex g_mutex;

QString keyFor(AIQuality quality)
{
    return QStringLiteral("jobSpeed/") + AIQualities::rawValue(quality);
}
} // namespace

namespace JobSpeed {

void record(AIQuality quality, double outputPixels, double seconds)
{
    if (outputPixels <= 0 || seconds <= 0 || !std::isfinite(seconds))
        return;
    const double measured = seconds / (outputPixels / 1e6);
    std::lock_guard lock(g_mutex);
    QSettings settings;
    const double known = settings.value(keyFor(quality), 0.0).toDouble();
    settings.setValue(keyFor(quality), known > 0 ? (known + measured) / 2 : measured);
}

std::optional<double> estimate(AIQuality quality, double outputPixels)
{
    if (outputPixels <= 0)
        return std::nullopt;
    double perMegapixel = 0;
    {
        std::lock_guard lock(g_mutex);
        perMegapixel = QSettings().value(keyFor(quality), 0.0).toDouble();
    }
    if (perMegapixel <= 0 || !std::isfinite(perMegapixel))
        return std::nullopt;
    return perMegapixel * outputPixels / 1e6;
}

double outputPixels(qint64 srcW, qint64 srcH, double seconds, double fps, qint64 targetHeight)
{
    if (srcW < 1 || srcH < 1 || seconds <= 0 || fps <= 0 || targetHeight < 1)
        return 0;
    const double width =
        std::max(2.0, std::round(double(srcW) * double(targetHeight) / double(srcH)));
    const double frames = std::max(1.0, std::round(seconds * fps));
    return frames * width * double(targetHeight);
}

QString durationText(double seconds)
{
    const QString lead = QStringLiteral("Takes about ");
    const QString tail = QStringLiteral(" on this computer");
    if (seconds < 60)
        return QStringLiteral("Takes under a minute") + tail;
    const qint64 minutes = qint64(std::ceil(seconds / 60));
    if (minutes < 60)
        return lead + QString::number(minutes) + QStringLiteral(" min") + tail;
    const qint64 hours = minutes / 60;
    const qint64 rest = minutes % 60;
    return lead + QString::number(hours) + QStringLiteral(" h") +
           (rest ? QLatin1Char(' ') + QString::number(rest) + QStringLiteral(" min") : QString()) +
           tail;
}

} // namespace JobSpeed
