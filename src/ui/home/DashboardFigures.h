#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include "processing/ImageUpscaler.h"
#include "processing/Upscaler.h"

// Every figure of the dashboard, computed from the video and image histories at a given moment.
// Days and hours are those of the local calendar and time zone.
struct DashboardFigures {
    // One of the most recent history entries, videos and images alike.
    struct RecentItem {
        QUuid id; // fresh each time the list is built
        QString name;
        QDateTime date;
        bool success = false;
        QString icon; // "film" or "photo"
    };

    // The successful upscales of one kind on one day.
    struct ActivityPoint {
        QUuid id;      // fresh each time the list is built
        QDateTime day; // the start of the day
        QString kind;  // "Videos" or "Images"
        int count = 0;
    };

    qsizetype videoSuccesses = 0;
    qsizetype imageSuccesses = 0;
    qsizetype attempts = 0;
    qsizetype successes = 0;
    double footageSeconds = 0;
    // Successes over attempts; 1 when nothing was attempted.
    double successRate = 1;
    // The success rate in whole per cent, truncated: 2 of 3 is 66.
    int successPercent = 100;
    // One point per day of the last seven (oldest first), today included.
    QList<ActivityPoint> videoActivity;
    QList<ActivityPoint> imageActivity;
    // The three newest entries of both histories, failures included, newest first.
    QList<RecentItem> recent;

    qsizetype failures() const { return attempts - successes; }
    // "$2.40–$6.00".
    QString savingsText() const;
    // "2 min" from a minute on (rounded), else whole seconds truncated: "59s".
    QString footageText() const;
    // The sentence of the insight card.
    QString insight() const;
    // "12 videos · 3 images".
    QString splitText() const;
    // "66%".
    QString successPercentText() const;

    static DashboardFigures compute(const QList<Upscaler::HistoryEntry>& videos,
                                    const QList<ImageUpscaler::HistoryEntry>& images,
                                    const QDateTime& now);
    // "Good morning" before noon, "Good afternoon" until five, "Good evening" after; followed by
    // ", " and the name when there is one.
    static QString greeting(const QDateTime& now, const QString& userName);
};
