#include "SavingsFigures.h"

QString SavingsFigures::amountText() const
{
    return QString::asprintf("$%.2f to $%.2f", low, high);
}

QString SavingsFigures::footageText() const
{
    if (footageSeconds >= 60)
        return QString::asprintf("%.1f min", footageSeconds / 60);
    return QString::asprintf("%.0f sec", footageSeconds);
}

QString SavingsFigures::rateText()
{
    return QString::asprintf("$%.2f\u2013%.2f/sec", lowRatePerSecond, highRatePerSecond);
}

SavingsFigures SavingsFigures::of(const QList<Upscaler::HistoryEntry>& history)
{
    SavingsFigures figures;
    for (const Upscaler::HistoryEntry& entry : history) {
        if (!entry.success)
            continue;
        ++figures.videos;
        figures.footageSeconds += entry.durationSec;
    }
    figures.low = figures.footageSeconds * lowRatePerSecond;
    figures.high = figures.footageSeconds * highRatePerSecond;
    return figures;
}
