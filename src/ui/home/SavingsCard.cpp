#include "SavingsCard.h"

#include <QBoxLayout>
#include <QLabel>

#include "processing/Upscaler.h"
#include "ui/components/Labels.h"
#include "ui/components/Theme.h"
#include "ui/home/DashWidgets.h"
#include "ui/home/GradientIcon.h"
#include "ui/home/GradientText.h"

namespace {
const QString kIcon = QStringLiteral("dollarsign.circle.fill");
} // namespace

SavingsCard::SavingsCard(Upscaler& upscaler, bool compact, QWidget* parent)
    : GlassCard(compact ? 16 : 18, parent), m_upscaler(upscaler), m_compact(compact)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (compact)
        buildCompact();
    else
        buildFull();
    connect(&m_upscaler, &Upscaler::historyChanged, this, &SavingsCard::refresh);
    refresh();
}

SavingsCard::~SavingsCard() = default;

void SavingsCard::buildCompact()
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(14);
    row->addWidget(new GradientIcon(kIcon, 24, this));

    auto* amountColumn = new QVBoxLayout;
    amountColumn->setSpacing(2);
    amountColumn->addWidget(
        Labels::secondary(QStringLiteral("Estimated savings"), Theme::font(12), this));
    m_amount = new GradientText(Theme::font(20, QFont::Bold), 0.6, this);
    m_amount->setObjectName(QStringLiteral("amount"));
    amountColumn->addWidget(m_amount);
    row->addLayout(amountColumn, 1);

    addCountFigures(*row, Theme::font(15, QFont::DemiBold), 32);
}

void SavingsCard::addCountFigures(QBoxLayout& row, const QFont& valueFont, int dividerHeight)
{
    QWidget* videos = DashWidgets::figure(QString(), valueFont, QStringLiteral("Videos"), 4,
                                          QStringLiteral("videos"), this);
    row.addWidget(videos);
    row.addWidget(DashWidgets::divider(Qt::Vertical, dividerHeight, this));
    QWidget* footage = DashWidgets::figure(QString(), valueFont, QStringLiteral("Footage"), 4,
                                           QStringLiteral("footage"), this);
    row.addWidget(footage);
    m_videos = videos->findChild<QLabel*>(QStringLiteral("videos"));
    m_footage = footage->findChild<QLabel*>(QStringLiteral("footage"));
}

void SavingsCard::buildFull()
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    auto* title = new QHBoxLayout;
    title->setSpacing(10);
    title->addWidget(new GradientIcon(kIcon, 22, this));
    title->addWidget(Labels::make(QStringLiteral("Savings Calculator"),
                                  Theme::font(18, QFont::Bold), Qt::black, this));
    title->addStretch(1);
    column->addLayout(title);

    auto* amountColumn = new QVBoxLayout;
    amountColumn->setSpacing(4);
    amountColumn->addWidget(
        Labels::secondary(QStringLiteral("You've saved an estimated"), Theme::font(12), this));
    m_amount = new GradientText(Theme::font(34, QFont::Bold), 0.5, this);
    m_amount->setObjectName(QStringLiteral("amount"));
    amountColumn->addWidget(m_amount);
    QLabel* byLocal =
        Labels::secondary(QStringLiteral("by upscaling locally instead of paying a cloud service."),
                          Theme::font(12), this);
    byLocal->setWordWrap(true);
    amountColumn->addWidget(byLocal);
    column->addLayout(amountColumn);

    column->addWidget(DashWidgets::divider(Qt::Horizontal, 0, this));

    auto* metrics = new QHBoxLayout;
    metrics->setSpacing(16);
    const QFont valueFont = Theme::font(18, QFont::DemiBold);
    addCountFigures(*metrics, valueFont, 36);
    metrics->addWidget(DashWidgets::divider(Qt::Vertical, 36, this));
    metrics->addWidget(DashWidgets::figure(SavingsFigures::rateText(), valueFont,
                                           QStringLiteral("Rate used"), 4, QStringLiteral("rate"),
                                           this));
    metrics->addStretch(1);
    column->addLayout(metrics);

    QLabel* note = Labels::secondary(
        QStringLiteral("Estimate based on a typical commercial AI upscaling price of about $0.02 "
                       "to $0.05 per second of video. Actual cloud prices vary by resolution and "
                       "provider."),
        Theme::font(11), this);
    note->setWordWrap(true);
    column->addWidget(note);
}

void SavingsCard::refresh()
{
    m_figures = SavingsFigures::of(m_upscaler.history());
    m_amount->setText(m_figures.amountText());
    m_videos->setText(QString::number(m_figures.videos));
    m_footage->setText(m_figures.footageText());
}
