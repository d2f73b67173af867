#pragma once

#include <QWidget>

#include "account/UpdateChecker.h"

class BusyIndicator;
class QLabel;
class QPushButton;
class UpdateStatusView;

// The About block of the settings panel: the product name with its version and build, the link
// to the web site, the outcome of the last update check with the installer download, and the
// check button. It follows the update checker's status and download as they change.
// Threading: main thread.
class AboutSection final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutSection)
public:
    explicit AboutSection(UpdateChecker& updater, QWidget* parent = nullptr);

    // "v" + version + " (build " + build + ")".
    static QString versionText(const QString& version, qint64 build);

    // Shows a status or download state (the checker's own changes arrive here too).
    void showStatus(const UpdateChecker::Status& status);
    void showDownload(const UpdateChecker::DownloadState& state);

    QLabel* versionLabel() const { return m_version; }
    QPushButton* siteLink() const { return m_site; }
    QPushButton* checkButton() const { return m_check; }
    // The check button's words: "Check for Update", or "Checking…" while a check runs.
    QString checkButtonText() const;
    BusyIndicator* checkSpinner() const { return m_spinner; }
    UpdateStatusView* statusView() const { return m_status; }

private:
    UpdateChecker& m_updater;
    QLabel* m_version;
    QPushButton* m_site;
    UpdateStatusView* m_status;
    QPushButton* m_check;
    BusyIndicator* m_spinner;
    QLabel* m_checkText;
};
