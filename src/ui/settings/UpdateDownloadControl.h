#pragma once

#include <QUrl>
#include <QWidget>

#include "account/UpdateChecker.h"

class QLabel;
class QProgressBar;
class QPushButton;
class StatusLine;

// The installer download of an available update, in each of its states: the download button
// (with a fallback to the browser), the progress while it runs with a way to cancel it, the
// finished file with a way to show it, and a failure with "Try Again". It shows the state it is
// given; the owner follows the update checker. Threading: main thread.
class UpdateDownloadControl final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateDownloadControl)
public:
    explicit UpdateDownloadControl(QWidget* parent = nullptr);

    // The installer address that the buttons download or open in the browser.
    void setUrl(const QUrl& url) { m_url = url; }
    QUrl url() const { return m_url; }
    void setState(const UpdateChecker::DownloadState& state);

    // "Downloading… " and the fraction in whole percent, truncated: 0.429 gives "Downloading… 42%".
    static QString downloadingText(double fraction);

    QPushButton* downloadButton() const { return m_download; }
    QPushButton* retryButton() const { return m_retry; }
    QPushButton* showFileButton() const { return m_showFile; }
    QPushButton* cancelButton() const { return m_cancel; }
    QString finishedText() const;
    QPushButton* browserButton() const { return m_browser; }
    QProgressBar* progressBar() const { return m_progress; }

Q_SIGNALS:
    // "Download & Install" or "Try Again" was pressed for url().
    void downloadRequested(const QUrl& url);
    // "Cancel" was pressed while downloading.
    void cancelRequested();

private:
    QUrl m_url;
    QString m_file;
    QWidget* m_idle;
    QWidget* m_running;
    QWidget* m_finished;
    QWidget* m_failed;
    QPushButton* m_download;
    QPushButton* m_browser;
    QProgressBar* m_progress;
    QLabel* m_progressText;
    QPushButton* m_cancel;
    StatusLine* m_done;
    QPushButton* m_showFile;
    StatusLine* m_failure;
    QPushButton* m_retry;
};
