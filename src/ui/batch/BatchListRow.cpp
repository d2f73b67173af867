#include "ui/batch/BatchListRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/batch/BatchTexts.h"
#include "ui/components/GradientProgressBar.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {
constexpr qreal kRadius = 12;
constexpr int kIconSize = 20;

QColor iconColor(const QString& icon)
{
    if (icon == QStringLiteral("checkmark.circle.fill"))
        return Theme::successColor();
    if (icon == QStringLiteral("xmark.circle.fill"))
        return Theme::failureColor();
    return Theme::appAccent();
}

QToolButton* makeIconButton(const QString& icon, const QColor& color, const QString& tip,
                            QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setIcon(Icons::icon(icon, color));
    button->setIconSize(QSize(15, 15));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}
} // namespace

BatchListRow::BatchListRow(const QString& idleIcon, bool showsProgress, QWidget* parent)
    : QWidget(parent), m_idleIcon(idleIcon), m_showsProgress(showsProgress)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);

    m_icon = new QLabel(this);
    m_icon->setFixedSize(kIconSize, kIconSize);
    row->addWidget(m_icon, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    m_name = new QLabel(this);
    m_name->setFont(Theme::font(13, QFont::Medium));
    m_name->setTextFormat(Qt::PlainText);
    m_name->setMinimumWidth(40);
    m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    texts->addWidget(m_name);
    m_progress = new GradientProgressBar(4, this);
    m_progress->hide();
    texts->addWidget(m_progress);
    m_status = new QLabel(this);
    m_status->setFont(Theme::font(11));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette secondary = m_status->palette();
    secondary.setColor(QPalette::WindowText, Theme::secondaryText());
    m_status->setPalette(secondary);
    texts->addWidget(m_status);
    row->addLayout(texts, 1);

    // "Show in Folder" stands in for the other platform's "Reveal in Finder".
    m_reveal = makeIconButton(QStringLiteral("folder"), Theme::appAccent(),
                              QStringLiteral("Show in Folder"), this);
    connect(m_reveal, &QToolButton::clicked, this, [this] {
        Q_EMIT revealRequested(m_entry.outputURL.isEmpty() ? m_entry.keptURL : m_entry.outputURL);
    });
    row->addWidget(m_reveal, 0, Qt::AlignVCenter);
    m_remove = makeIconButton(QStringLiteral("xmark"), Theme::secondaryText(),
                              QStringLiteral("Remove"), this);
    connect(m_remove, &QToolButton::clicked, this, [this] { Q_EMIT removeRequested(m_entry.id); });
    row->addWidget(m_remove, 0, Qt::AlignVCenter);
}

void BatchListRow::setEntry(const Entry& entry, bool running)
{
    const bool firstTime = m_entry.id != entry.id;
    m_entry = entry;

    const QString icon =
        BatchTexts::stateIcon(!entry.outputURL.isEmpty(), entry.failed, m_idleIcon);
    if (icon != m_iconName) {
        m_iconName = icon;
        m_icon->setPixmap(
            Icons::pixmap(icon, QSize(kIconSize, kIconSize), devicePixelRatioF(), iconColor(icon)));
    }
    m_name->setText(entry.name);
    m_name->setToolTip(entry.name);

    const bool live = m_showsProgress && BatchTexts::isRunningPhase(entry.status);
    const bool showBar = live && entry.progress > 0 && entry.progress < 1;
    m_progress->setVisible(showBar);
    if (showBar)
        m_progress->setValue(entry.progress, !firstTime);
    m_status->setText(live ? BatchTexts::statusLine(entry.status, entry.eta) : entry.status);

    m_reveal->setVisible(!entry.outputURL.isEmpty() || !entry.keptURL.isEmpty());
    m_remove->setVisible(!running);
}

QString BatchListRow::statusText() const
{
    return m_status->text();
}

void BatchListRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Theme::paintMaterial(painter, QRectF(rect()), kRadius, 0.07);
}
