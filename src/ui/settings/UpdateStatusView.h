#pragma once

#include <QWidget>

#include "account/UpdateChecker.h"

class QLabel;
class StatusLine;
class UpdateDownloadControl;

// The outcome of the last update check: nothing while idle, a line while checking, when up to
// date or after a failure, and for an available update a tinted box with the version, the notes
// and the download control. It shows the status it is given; the owner follows the checker.
// Threading: main thread.
class UpdateStatusView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateStatusView)
public:
    explicit UpdateStatusView(QWidget* parent = nullptr);

    void setStatus(const UpdateChecker::Status& status);

    UpdateDownloadControl* downloadControl() const { return m_downloadControl; }
    // The line shown for checking, up to date or failed; empty otherwise.
    QString lineText() const;
    QLabel* notesLabel() const { return m_notes; }

private:
    StatusLine* m_line;
    QWidget* m_available;
    StatusLine* m_availableTitle;
    QLabel* m_notes;
    UpdateDownloadControl* m_downloadControl;
};
