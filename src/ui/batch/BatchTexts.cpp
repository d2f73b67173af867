#include "ui/batch/BatchTexts.h"

namespace BatchTexts {

bool isRunningPhase(const QString& status)
{
    return status != QStringLiteral("Queued") && status != QStringLiteral("Ready") &&
           status != QStringLiteral("Done") && status != QStringLiteral("Failed") &&
           status != QStringLiteral("Stopped");
}

QString shownStatus(const QString& status, bool running)
{
    return !running && status == QStringLiteral("Queued") ? QStringLiteral("Ready") : status;
}

QString statusLine(const QString& status, const QString& eta)
{
    if (eta.isEmpty())
        return status;
    return status + QStringLiteral(" · ") + eta;
}

QString countText(int completed, int total, const QString& suffix)
{
    return QString::number(completed) + QLatin1Char('/') + QString::number(total) + suffix;
}

QString runningNote(int completed, int total)
{
    return countText(completed, total, QStringLiteral(" done · see the Now bar"));
}

QString primaryTitle(bool running)
{
    return running ? QStringLiteral("In Queue…") : QStringLiteral("Upscale All & Save…");
}

QString stateIcon(bool hasOutput, bool failed, const QString& idleIcon)
{
    if (hasOutput)
        return QStringLiteral("checkmark.circle.fill");
    if (failed)
        return QStringLiteral("xmark.circle.fill");
    return idleIcon;
}

} // namespace BatchTexts
