#include "ui/settings/UpdateDownloadControl.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "account/SystemOpener.h"
#include "ui/components/Theme.h"
#include "ui/settings/SecondaryLabel.h"
#include "ui/settings/SettingsButtons.h"
#include "ui/settings/StatusLine.h"

namespace {
constexpr int kProgressSteps = 1000;

QWidget* group(QWidget* parent, QVBoxLayout*& column, int spacing)
{
    auto* widget = new QWidget(parent);
    column = new QVBoxLayout(widget);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    return widget;
}
} // namespace

UpdateDownloadControl::UpdateDownloadControl(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    QVBoxLayout* idle = nullptr;
    m_idle = group(this, idle, 6);
    m_download = SettingsButtons::prominent(QStringLiteral("Download & Install"),
                                            QStringLiteral("arrow.down.circle.fill"), m_idle);
    idle->addWidget(m_download);
    column->addWidget(m_idle);

    QVBoxLayout* failed = nullptr;
    m_failed = group(this, failed, 6);
    m_failure = new StatusLine(QStringLiteral("exclamationmark.triangle"), 12, QFont::Normal,
                               StatusLine::warningColour(), m_failed);
    m_retry = SettingsButtons::prominent(QStringLiteral("Try Again"),
                                         QStringLiteral("arrow.clockwise"), m_failed);
    m_retry->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    failed->addWidget(m_failure);
    failed->addWidget(m_retry, 0, Qt::AlignLeft);
    column->addWidget(m_failed);

    m_browser = SettingsButtons::plain(QStringLiteral("Open in browser instead"), 11, this);
    column->addWidget(m_browser, 0, Qt::AlignHCenter);

    QVBoxLayout* running = nullptr;
    m_running = group(this, running, 6);
    m_progress = new QProgressBar(m_running);
    m_progress->setRange(0, kProgressSteps);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(6);
    m_progress->setStyleSheet(
        QStringLiteral("QProgressBar { background: rgba(0,0,0,20); border: none; "
                       "border-radius: 3px; }"
                       "QProgressBar::chunk { background: %1; border-radius: 3px; }")
            .arg(Theme::appAccent().name()));
    m_progressText = makeSecondaryLabel(QString(), 11, m_running);
    m_cancel = SettingsButtons::plain(QStringLiteral("Cancel"), 11, m_running);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progressText, 1);
    progressRow->addWidget(m_cancel);
    running->addWidget(m_progress);
    running->addLayout(progressRow);
    column->addWidget(m_running);

    QVBoxLayout* finished = nullptr;
    m_finished = group(this, finished, 6);
    m_done = new StatusLine(QStringLiteral("checkmark.circle.fill"), 12, QFont::Medium,
                            Theme::successColor(), m_finished);
    finished->addWidget(m_done);
    finished->addWidget(makeSecondaryLabel(
        QStringLiteral("Run the downloaded installer to finish, then relaunch."), 11, m_finished));
    m_showFile = SettingsButtons::bordered(QStringLiteral("Show in Folder"),
                                           QStringLiteral("folder"), m_finished);
    finished->addWidget(m_showFile, 0, Qt::AlignLeft);
    column->addWidget(m_finished);

    connect(m_download, &QPushButton::clicked, this, [this] { Q_EMIT downloadRequested(m_url); });
    connect(m_retry, &QPushButton::clicked, this, [this] { Q_EMIT downloadRequested(m_url); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { Q_EMIT cancelRequested(); });
    connect(m_browser, &QPushButton::clicked, this, [this] { SystemOpener::open(m_url); });
    connect(m_showFile, &QPushButton::clicked, this, [this] {
        if (!m_file.isEmpty())
            SystemOpener::reveal(m_file);
    });

    setState(UpdateChecker::DownloadState::idle());
}

QString UpdateDownloadControl::finishedText() const
{
    return m_done->text();
}

QString UpdateDownloadControl::downloadingText(double fraction)
{
    const double percent = std::trunc(std::clamp(fraction, 0.0, 1.0) * 100);
    return QStringLiteral("Downloading… %1%").arg(static_cast<int>(percent));
}

void UpdateDownloadControl::setState(const UpdateChecker::DownloadState& state)
{
    using Kind = UpdateChecker::DownloadState::Kind;
    m_idle->setVisible(state.kind == Kind::Idle);
    m_failed->setVisible(state.kind == Kind::Failed);
    m_browser->setVisible(state.kind == Kind::Idle || state.kind == Kind::Failed);
    m_running->setVisible(state.kind == Kind::Downloading);
    m_finished->setVisible(state.kind == Kind::Finished);
    m_file = state.kind == Kind::Finished ? state.file : QString();
    if (state.kind == Kind::Downloading) {
        const double fraction = std::clamp(state.fraction, 0.0, 1.0);
        m_progress->setValue(static_cast<int>(std::lround(fraction * kProgressSteps)));
        m_progressText->setText(downloadingText(fraction));
    }
    if (state.kind == Kind::Failed)
        m_failure->setText(state.message);
    // Only an installer that matched its published checksum is opened.
    if (state.kind == Kind::Finished)
        m_done->setText(state.verified
                            ? QStringLiteral("Downloaded — opening the installer…")
                            : QStringLiteral("Downloaded — not verified, so it was not opened"));
}
