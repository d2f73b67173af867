#include "DashboardFigures.h"

#include <algorithm>
#include <cmath>

#include "ui/home/SavingsFigures.h"

namespace {
constexpr int kActivityDays = 7;
constexpr int kRecentCount = 3;

template <typename Entry> QList<QDate> successDays(const QList<Entry>& history)
{
    QList<QDate> days;
    for (const Entry& entry : history) {
        if (entry.success)
            days.append(entry.date.toLocalTime().date());
    }
    return days;
}

QList<DashboardFigures::ActivityPoint> activity(const QList<QDate>& successDays, const QDate& today,
                                                const QString& kind)
{
    QList<DashboardFigures::ActivityPoint> points;
    for (int offset = 1 - kActivityDays; offset <= 0; ++offset) {
        const QDate day = today.addDays(offset);
        if (!day.isValid())
            continue;
        const auto count = std::count(successDays.cbegin(), successDays.cend(), day);
        points.append({QUuid::createUuid(), day.startOfDay(), kind, static_cast<int>(count)});
    }
    return points;
}
} // namespace

QString DashboardFigures::savingsText() const
{
    return QString::asprintf("$%.2f\u2013$%.2f", footageSeconds * SavingsFigures::lowRatePerSecond,
                             footageSeconds * SavingsFigures::highRatePerSecond);
}

QString DashboardFigures::footageText() const
{
    if (footageSeconds >= 60)
        return QString::asprintf("%.0f min", footageSeconds / 60);
    return QString::number(static_cast<qint64>(std::trunc(footageSeconds))) + QLatin1Char('s');
}

QString DashboardFigures::insight() const
{
    if (successes == 0)
        return QStringLiteral("Upscale a video or photo to start tracking your savings.");
    return QStringLiteral("You've upscaled ") + QString::number(successes) +
           (successes == 1 ? QStringLiteral(" item") : QStringLiteral(" items")) +
           QStringLiteral(" locally, saving about ") + savingsText() +
           QStringLiteral(" vs. cloud tools.");
}

QString DashboardFigures::splitText() const
{
    return QString::number(videoSuccesses) +
           (videoSuccesses == 1 ? QStringLiteral(" video · ") : QStringLiteral(" videos · ")) +
           QString::number(imageSuccesses) +
           (imageSuccesses == 1 ? QStringLiteral(" image") : QStringLiteral(" images"));
}

QString DashboardFigures::successPercentText() const
{
    return QString::number(successPercent) + QLatin1Char('%');
}

DashboardFigures DashboardFigures::compute(const QList<Upscaler::HistoryEntry>& videos,
                                           const QList<ImageUpscaler::HistoryEntry>& images,
                                           const QDateTime& now)
{
    DashboardFigures figures;
    const SavingsFigures savings = SavingsFigures::of(videos);
    figures.videoSuccesses = savings.videos;
    figures.footageSeconds = savings.footageSeconds;
    figures.imageSuccesses = std::count_if(images.cbegin(), images.cend(),
                                           [](const auto& entry) { return entry.success; });
    figures.attempts = videos.size() + images.size();
    figures.successes = figures.videoSuccesses + figures.imageSuccesses;
    if (figures.attempts > 0) {
        figures.successRate =
            static_cast<double>(figures.successes) / static_cast<double>(figures.attempts);
        // Whole numbers, so 29 of 100 reads 29% and not the 28% a binary fraction would give.
        figures.successPercent = static_cast<int>(figures.successes * 100 / figures.attempts);
    }

    const QDate today = now.toLocalTime().date();
    figures.videoActivity = activity(successDays(videos), today, QStringLiteral("Videos"));
    figures.imageActivity = activity(successDays(images), today, QStringLiteral("Images"));

    QList<RecentItem> recent;
    for (const Upscaler::HistoryEntry& entry : videos)
        recent.append(
            {QUuid::createUuid(), entry.name, entry.date, entry.success, QStringLiteral("film")});
    for (const ImageUpscaler::HistoryEntry& entry : images)
        recent.append(
            {QUuid::createUuid(), entry.name, entry.date, entry.success, QStringLiteral("photo")});
    std::stable_sort(recent.begin(), recent.end(),
                     [](const RecentItem& a, const RecentItem& b) { return a.date > b.date; });
    figures.recent = recent.mid(0, kRecentCount);
    return figures;
}

QString DashboardFigures::greeting(const QDateTime& now, const QString& userName)
{
    const int hour = now.toLocalTime().time().hour();
    QString text = hour < 12   ? QStringLiteral("Good morning")
                   : hour < 17 ? QStringLiteral("Good afternoon")
                               : QStringLiteral("Good evening");
    if (!userName.isEmpty())
        text += QStringLiteral(", ") + userName;
    return text;
}
