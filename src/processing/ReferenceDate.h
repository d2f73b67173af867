#pragma once

#include <cmath>

#include <QDateTime>

// Dates in the history files: seconds since 2001-01-01 00:00:00 UTC, as a double.
namespace ReferenceDate {

// 2001-01-01 00:00:00 UTC in milliseconds since the Unix epoch.
inline constexpr qint64 epochMs = 978307200000LL;

inline double toSeconds(const QDateTime& date)
{
    return double(date.toMSecsSinceEpoch() - epochMs) / 1000.0;
}

inline QDateTime fromSeconds(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(epochMs + qint64(std::llround(seconds * 1000.0)),
                                          Qt::UTC);
}

} // namespace ReferenceDate
