#include "HomeScreens.h"

#include <QUrl>

#include "ScreenSupport.h"
#include "account/AccountStore.h"
#include "account/AuthManager.h"
#include "processing/ImageUpscaler.h"
#include "processing/Upscaler.h"
#include "ui/home/HomeView.h"
#include "ui/home/SavingsCard.h"

namespace {
using ScreenSupport::saveOnAppBackground;
using ScreenSupport::settle;

// A week of work ending at now: videos and images, a few failures among them.
void fillHistories(Upscaler& videos, ImageUpscaler& images, const QDateTime& now)
{
    QList<Upscaler::HistoryEntry> videoEntries;
    const QList<std::tuple<QString, int, double, bool>> clips = {
        {QStringLiteral("Family trip to the lake, summer 2019.mp4"), 0, 42.5, true},
        {QStringLiteral("drone-flyover.mov"), 1, 95, true},
        {QStringLiteral("wedding-highlights.mp4"), 1, 180, false},
        {QStringLiteral("skate-park.mp4"), 3, 61.2, true},
        {QStringLiteral("old-vhs-tape.avi"), 5, 240, true},
        {QStringLiteral("birthday.mp4"), 9, 30, true},
    };
    for (const auto& [name, daysAgo, seconds, success] : clips) {
        Upscaler::HistoryEntry entry;
        entry.id = QUuid::createUuid();
        entry.name = name;
        entry.date = now.addDays(-daysAgo).addSecs(-3600 * (daysAgo + 1));
        entry.targetHeight = 2160;
        entry.success = success;
        entry.durationSec = seconds;
        if (!success)
            entry.error = QStringLiteral("Cancelled");
        videoEntries.append(entry);
    }
    videos.setHistory(videoEntries);

    QList<ImageUpscaler::HistoryEntry> imageEntries;
    const QList<std::tuple<QString, int, bool>> pictures = {
        {QStringLiteral("portrait.jpg"), 0, true},  {QStringLiteral("scan-0001.png"), 2, true},
        {QStringLiteral("scan-0002.png"), 2, true}, {QStringLiteral("logo.png"), 2, false},
        {QStringLiteral("sunset.heic"), 4, true},   {QStringLiteral("poster.png"), 6, true},
    };
    for (const auto& [name, daysAgo, success] : pictures) {
        ImageUpscaler::HistoryEntry entry;
        entry.id = QUuid::createUuid();
        entry.name = name;
        entry.date = now.addDays(-daysAgo).addSecs(-1800);
        entry.scale = 4;
        entry.success = success;
        imageEntries.append(entry);
    }
    images.setHistory(imageEntries);
}
} // namespace

bool renderHomeScreens(const QDir& out)
{
    bool ok = true;
    const QDateTime now(QDate(2026, 12, 10), QTime(15, 20));
    Upscaler videos;
    ImageUpscaler images;
    settle(); // the history files are read in the background
    {
        AuthManager signedOut(std::chrono::milliseconds(500));
        HomeView home(videos, images, signedOut);
        home.setClock([now] { return now; });
        ok &= saveOnAppBackground(home, QSize(1100, 720), out, QStringLiteral("home-empty.png"));
    }
    fillHistories(videos, images, now);
    {
        AccountStore::setCachedUser(
            R"({"userId":"7f3c2a","firstName":"Ada","lastName":"Lovelace"})");
        AccountStore::setLastCheck(QDateTime::currentDateTimeUtc());
        AuthManager signedIn(std::chrono::milliseconds(500));
        signedIn.handle(QUrl(QStringLiteral("korvane://auth?token=fixture")));
        HomeView home(videos, images, signedIn);
        home.setClock([now] { return now; });
        ok &=
            saveOnAppBackground(home, QSize(1100, 720), out, QStringLiteral("home-populated.png"));
        ok &= saveOnAppBackground(home, QSize(860, 640), out,
                                  QStringLiteral("home-populated-narrow.png"));
        signedIn.signOut();
    }
    {
        QWidget sheet;
        auto* compact = new SavingsCard(videos, true, &sheet);
        auto* full = new SavingsCard(videos, false, &sheet);
        compact->setGeometry(24, 24, 620, compact->sizeHint().height());
        full->setGeometry(24, 60 + compact->height(), 620,
                          full->heightForWidth(620) > 0 ? full->heightForWidth(620)
                                                        : full->sizeHint().height());
        ok &= saveOnAppBackground(sheet, QSize(668, 120 + compact->height() + full->height()), out,
                                  QStringLiteral("savings-cards.png"));
    }
    videos.setHistory({});
    images.setHistory({});
    return ok;
}
