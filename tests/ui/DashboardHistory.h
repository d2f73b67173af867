#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include "processing/ImageUpscaler.h"
#include "processing/Upscaler.h"

// History entries for the dashboard tests.
namespace DashboardHistory {

inline Upscaler::HistoryEntry video(const QString& name, const QDateTime& date, bool success,
                                    double seconds = 10)
{
    Upscaler::HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.name = name;
    entry.date = date;
    entry.success = success;
    entry.durationSec = seconds;
    return entry;
}

inline ImageUpscaler::HistoryEntry image(const QString& name, const QDateTime& date, bool success)
{
    ImageUpscaler::HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.name = name;
    entry.date = date;
    entry.success = success;
    return entry;
}

} // namespace DashboardHistory
