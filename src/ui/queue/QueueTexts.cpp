#include "ui/queue/QueueTexts.h"

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

QString panelCount(qsizetype working, qsizetype interrupted)
{
    if (interrupted == 0)
        return jobCount(working);
    const QString kept = QString::number(interrupted) + QStringLiteral(" interrupted");
    return working == 0 ? kept : jobCount(working) + QStringLiteral(" · ") + kept;
}

QString interruptedCount(qsizetype count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" interrupted upscale")
                                                : QStringLiteral(" interrupted upscales"));
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
    const QList<UpscaleJob> waiting = queue.pending();
    if (!waiting.isEmpty())
        return waiting.constFirst();
    return std::nullopt;
}

QList<UpscaleJob> interruptedJobs(const JobQueue& queue)
{
    QList<UpscaleJob> interrupted;
    for (const UpscaleJob& job : queue.jobs()) {
        if (job.status == UpscaleJob::Status::Interrupted)
            interrupted.append(job);
    }
    return interrupted;
}

} // namespace QueueTexts
