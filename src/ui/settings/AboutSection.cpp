#include "ui/settings/AboutSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "account/SystemOpener.h"
#include "ui/components/Theme.h"
#include "ui/settings/BusyIndicator.h"
#include "ui/settings/ProductInfo.h"
#include "ui/settings/SettingsButtons.h"
#include "ui/settings/UpdateDownloadControl.h"
#include "ui/settings/UpdateStatusView.h"

AboutSection::AboutSection(UpdateChecker& updater, QWidget* parent)
    : QWidget(parent), m_updater(updater), m_version(new QLabel(this)),
      m_site(SettingsButtons::link(ProductInfo::siteDomain, QStringLiteral("globe"), 12, this)),
      m_status(new UpdateStatusView(this)),
      m_check(SettingsButtons::prominent(QString(), QString(), this)),
      m_spinner(new BusyIndicator(14, Qt::white, m_check)), m_checkText(new QLabel(m_check))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* titleRow = new QHBoxLayout;
    auto* title = new QLabel(ProductInfo::aboutTitle, this);
    title->setFont(Theme::font(14, QFont::Bold));
    m_version->setFont(Theme::font(12, QFont::Normal, true));
    QPalette secondary = m_version->palette();
    secondary.setColor(QPalette::WindowText, Theme::secondaryText());
    m_version->setPalette(secondary);
    m_version->setText(versionText(m_updater.currentVersion(), m_updater.currentBuild()));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    titleRow->addWidget(m_version);
    column->addLayout(titleRow);

    column->addWidget(m_site, 0, Qt::AlignLeft);
    column->addWidget(m_status);

    // The check button's label is a row of its own: a spinner while checking, then the words.
    auto* label = new QHBoxLayout(m_check);
    label->setContentsMargins(14, 0, 14, 0);
    label->setSpacing(8);
    m_checkText->setFont(Theme::font(13, QFont::DemiBold));
    m_checkText->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    m_checkText->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_spinner->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->addStretch(1);
    label->addWidget(m_spinner);
    label->addWidget(m_checkText);
    label->addStretch(1);
    m_check->setMinimumHeight(34);
    column->addWidget(m_check);

    connect(m_site, &QPushButton::clicked, this,
            [] { SystemOpener::open(QUrl(ProductInfo::siteUrl)); });
    connect(m_check, &QPushButton::clicked, this, [this] { m_updater.check(true); });
    connect(m_status->downloadControl(), &UpdateDownloadControl::downloadRequested, this,
            [this](const QUrl& url) { m_updater.downloadUpdate(url); });
    connect(m_status->downloadControl(), &UpdateDownloadControl::cancelRequested, this,
            [this] { m_updater.cancelDownload(); });
    connect(&m_updater, &UpdateChecker::statusChanged, this,
            [this] { showStatus(m_updater.status()); });
    connect(&m_updater, &UpdateChecker::downloadChanged, this,
            [this] { showDownload(m_updater.download()); });
    showStatus(m_updater.status());
    showDownload(m_updater.download());
}

QString AboutSection::versionText(const QString& version, qint64 build)
{
    return QStringLiteral("v") + version + QStringLiteral(" (build ") + QString::number(build) +
           QStringLiteral(")");
}

QString AboutSection::checkButtonText() const
{
    return m_checkText->text();
}

void AboutSection::showStatus(const UpdateChecker::Status& status)
{
    const bool checking = status.kind == UpdateChecker::Status::Kind::Checking;
    m_checkText->setText(checking ? QStringLiteral("Checking…")
                                  : QStringLiteral("Check for Update"));
    m_check->setAccessibleName(m_checkText->text());
    m_spinner->setVisible(checking);
    m_check->setEnabled(!checking);
    m_status->setStatus(status);
}

void AboutSection::showDownload(const UpdateChecker::DownloadState& state)
{
    m_status->downloadControl()->setState(state);
}
