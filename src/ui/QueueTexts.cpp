#include "ui/QueueTexts.h"

#include <algorithm>

#include "processing/JobQueue.h"

namespace QueueTexts {

QString statusLine(const QString& statusText, const QString& eta)
{
    return eta.isEmpty() ? statusText : statusText + QStringLiteral(" · ETA ") + eta;
}

QString sectionStatusLine(const QString& statusText, const QString& eta)
{
    return eta.isEmpty() ? statusText : statusText + QStringLiteral(" · ") + eta;
}

QString jobCount(qsizetype count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" job") : QStringLiteral(" jobs"));
}

QString badge(qsizetype waiting)
{
    return waiting > 0 ? QLatin1Char('+') + QString::number(waiting) : QString();
}

QString percent(double progress)
{
    return QString::number(int(std::clamp(progress, 0.0, 1.0) * 100.0)) + QLatin1Char('%');
}

std::optional<UpscaleJob> displayJob(const JobQueue& queue)
{
    if (auto running = queue.active())
        return running;
    if (!queue.jobs().isEmpty())
        return queue.jobs().constFirst();
    return std::nullopt;
}

} // namespace QueueTexts
