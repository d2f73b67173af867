#pragma once

#include <QList>
#include <QString>

#include "processing/Upscaler.h"

// The savings estimate over the video history: successful upscales, seconds of footage and what
// a cloud service would have charged for them at $0.02 to $0.05 per second.
struct SavingsFigures {
    static constexpr double lowRatePerSecond = 0.02;
    static constexpr double highRatePerSecond = 0.05;

    qsizetype videos = 0;
    double footageSeconds = 0;
    double low = 0;
    double high = 0;

    // "$2.40 to $6.00".
    QString amountText() const;
    // "2.0 min" from a minute on, else whole seconds rounded: "60 sec" for 59.9 seconds.
    QString footageText() const;
    // "$0.02–0.05/sec".
    static QString rateText();

    static SavingsFigures of(const QList<Upscaler::HistoryEntry>& history);
};
