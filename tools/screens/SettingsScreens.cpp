#include "SettingsScreens.h"

#include <functional>

#include <QUrl>

#include "ScreenSupport.h"
#include "account/UpdateChecker.h"
#include "processing/AppSettings.h"
#include "processing/Upscaler.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/settings/AboutSection.h"
#include "ui/settings/SettingSwitchRow.h"
#include "ui/settings/SettingsView.h"

namespace {
using Status = UpdateChecker::Status;
using DownloadState = UpdateChecker::DownloadState;

// A few finished videos, so the savings calculator has figures to show.
QList<Upscaler::HistoryEntry> sampleHistory()
{
    QList<Upscaler::HistoryEntry> entries;
    const QList<std::pair<QString, double>> clips = {{QStringLiteral("drone-flyover.mov"), 95},
                                                     {QStringLiteral("old-vhs-tape.avi"), 240},
                                                     {QStringLiteral("skate-park.mp4"), 61.2}};
    for (const auto& [name, seconds] : clips) {
        Upscaler::HistoryEntry entry;
        entry.id = QUuid::createUuid();
        entry.name = name;
        entry.date = QDateTime::currentDateTime().addDays(-1);
        entry.targetHeight = 2160;
        entry.success = true;
        entry.durationSec = seconds;
        entries.append(entry);
    }
    return entries;
}
} // namespace

bool renderSettingsScreens(const QDir& out)
{
    Upscaler upscaler;
    // The model reads its history file first; the sample replaces what it finds.
    ScreenSupport::settleUntil([&] { return upscaler.historyLoaded(); }, 2000);
    upscaler.setHistory(sampleHistory());
    UpdateChecker updater(UpdateChecker::BuildInfo{QStringLiteral("1.0.0"), QStringLiteral("1")});
    AppSettings::setNotifyOnFinish(true);
    AppSettings::setNotifyWithSound(true);
    AppSettings::setAskWhereToSave(false);
    SettingsView view(upscaler, updater);
    view.resize(1100, 720);
    view.show();

    const QUrl installer(QStringLiteral("https://korvane.app/downloads/Korvane-1.2.0.AppImage"));
    const QString notes =
        QStringLiteral("Faster previews on large videos, sharper faces with the Max quality and "
                       "a fix for batch folders on removable drives.");
    AboutSection* about = view.about();
    const auto shot = [&](const QString& name, const std::function<void()>& prepare) {
        prepare();
        return ScreenSupport::save(view, out, name, 250);
    };

    bool ok = true;
    ok &= shot(QStringLiteral("settings.png"), [] {});
    ok &= shot(QStringLiteral("settings-notifications-off.png"), [&] {
        view.notifyRow()->toggle()->click();
        view.askRow()->toggle()->click();
    });
    // Back to the defaults for the update states.
    view.notifyRow()->toggle()->click();
    view.askRow()->toggle()->click();
    ok &= shot(QStringLiteral("settings-checking.png"),
               [&] { about->showStatus(Status::checking()); });
    ok &= shot(QStringLiteral("settings-up-to-date.png"),
               [&] { about->showStatus(Status::upToDate()); });
    ok &= shot(QStringLiteral("settings-check-failed.png"), [&] {
        about->showStatus(Status::failed(
            QStringLiteral("Couldn't check for updates. Check your connection and try again.")));
    });
    ok &= shot(QStringLiteral("settings-update-available.png"), [&] {
        about->showStatus(Status::available(QStringLiteral("1.2.0"), installer, notes));
        about->showDownload(DownloadState::idle());
    });
    ok &= shot(QStringLiteral("settings-update-available-no-notes.png"), [&] {
        about->showStatus(Status::available(QStringLiteral("1.2.0"), installer, QString()));
    });
    about->showStatus(Status::available(QStringLiteral("1.2.0"), installer, notes));
    ok &= shot(QStringLiteral("settings-downloading.png"),
               [&] { about->showDownload(DownloadState::downloading(0.429)); });
    ok &= shot(QStringLiteral("settings-downloaded.png"), [&] {
        about->showDownload(
            DownloadState::finished(QStringLiteral("/home/ada/Downloads/Korvane-1.2.0.AppImage")));
    });
    ok &= shot(QStringLiteral("settings-downloaded-unverified.png"), [&] {
        about->showDownload(DownloadState::finished(
            QStringLiteral("/home/ada/Downloads/Korvane-1.2.0.AppImage"), false));
    });
    ok &= shot(QStringLiteral("settings-download-failed.png"), [&] {
        about->showDownload(DownloadState::failed(
            QStringLiteral("Download failed. Please try again or use your browser.")));
    });
    return ok;
}
