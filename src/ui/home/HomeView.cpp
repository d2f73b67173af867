#include "HomeView.h"

#include <algorithm>

#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QTextLayout>

#include "account/AuthManager.h"
#include "processing/ImageUpscaler.h"
#include "processing/Upscaler.h"
#include "ui/account/ProfileTexts.h"
#include "ui/components/ElidedLabel.h"
#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/Theme.h"
#include "ui/home/ActivityChart.h"
#include "ui/home/CapsuleMenuButton.h"
#include "ui/components/GlassCard.h"
#include "ui/home/DashWidgets.h"
#include "ui/home/GradientIcon.h"
#include "ui/home/SplitBar.h"
#include "ui/home/SuccessRing.h"

namespace {
constexpr int kMaxContentWidth = 1100;

// True when every character of text has a glyph in font or in a fallback font the system has;
// an emoji without an emoji font would show as an empty box.
bool drawable(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (const quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0)
                return false;
        }
    }
    return true;
}

QString noFailuresCaption(const QFont& font)
{
    const QString party = QStringLiteral("🎉");
    return drawable(party, font) ? QStringLiteral("No failed jobs ") + party
                                 : QStringLiteral("No failed jobs");
}

constexpr int kPadding = 20;
constexpr int kSectionSpacing = 16;
constexpr int kCardSpacing = 14;
constexpr int kRecentColumns = 3;

QLabel* named(QLabel* label, const QString& name)
{
    label->setObjectName(name);
    return label;
}

QLabel* caption(const QString& text, QWidget* parent)
{
    return Labels::secondary(text, Theme::font(11), parent);
}

// The icon and title at the top of every dashboard card, in the secondary colour.
QLayout* cardHeader(const QString& icon, const QString& title, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    auto* glyph = new QLabel(parent);
    glyph->setPixmap(Icons::icon(icon, Theme::secondaryText()).pixmap(QSize(12, 12)));
    row->addWidget(glyph);
    row->addWidget(Labels::secondary(title, Theme::font(12, QFont::DemiBold), parent));
    row->addStretch(1);
    return row;
}

// The 34-point circle holding a recent item's icon.
QWidget* iconBadge(const QString& icon, QWidget* parent)
{
    auto* badge = new QLabel(parent);
    badge->setFixedSize(34, 34);
    badge->setStyleSheet(
        QStringLiteral("background-color: %1; border-radius: 17px;").arg(Theme::appBG().name()));
    auto* layout = new QHBoxLayout(badge);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new GradientIcon(icon, 16, badge), 0, Qt::AlignCenter);
    return badge;
}
} // namespace

HomeView::HomeView(Upscaler& upscaler, ImageUpscaler& imageUpscaler, AuthManager& auth,
                   QWidget* parent)
    : QWidget(parent), m_upscaler(upscaler), m_imageUpscaler(imageUpscaler), m_auth(auth),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setBackgroundRole(QPalette::Window);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    auto* canvas = new QWidget(scroll);
    canvas->setBackgroundRole(QPalette::Window);
    auto* centring = new QHBoxLayout(canvas);
    centring->setContentsMargins(0, 0, 0, 0);
    // The padding lives inside the column so the cards' shadows at its edges stay visible.
    auto* column = new QWidget(canvas);
    column->setMaximumWidth(kMaxContentWidth + 2 * kPadding);
    centring->addWidget(column);
    auto* sections = new QVBoxLayout(column);
    sections->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    sections->setSpacing(kSectionSpacing);
    sections->addWidget(buildHeader(column));
    sections->addLayout(buildMetrics(column));
    sections->addLayout(buildActivity(column));
    m_column = column;
    m_recentLayout = new QHBoxLayout;
    m_recentLayout->setSpacing(kCardSpacing);
    sections->addLayout(m_recentLayout);
    sections->addStretch(1);
    scroll->setWidget(canvas);

    connect(&m_upscaler, &Upscaler::historyChanged, this, &HomeView::refresh);
    connect(&m_imageUpscaler, &ImageUpscaler::historyChanged, this, &HomeView::refresh);
    connect(&m_auth, &AuthManager::userChanged, this, &HomeView::refresh);
    refresh();
}

HomeView::~HomeView() = default;

QString HomeView::userName() const
{
    return ProfileTexts::userName(m_auth.user());
}

void HomeView::setClock(Clock clock)
{
    m_clock = std::move(clock);
    refresh();
}

void HomeView::showEvent(QShowEvent* event)
{
    // Day boundaries and the greeting follow the clock; they are brought up to date whenever the
    // tab comes into view (there is no timer).
    refresh();
    QWidget::showEvent(event);
}

QWidget* HomeView::buildHeader(QWidget* parent)
{
    auto* header = new GlassCard(GlassCard::Style::Header, 22, parent);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(22, 22, 22, 22);
    row->setSpacing(12);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(6);
    m_greeting = named(Labels::make(QString(), Theme::font(34, QFont::Bold), Qt::black, header),
                       QStringLiteral("greeting"));
    m_greeting->setWordWrap(true); // a long name wraps instead of widening the window
    titles->addWidget(m_greeting);
    titles->addWidget(
        Labels::secondary(QStringLiteral("Dashboard Overview"), Theme::font(15), header));
    titles->addStretch(1);
    row->addLayout(titles, 1);

    auto* insight = new GlassCard(GlassCard::Style::White, 16, header);
    insight->setFixedWidth(300);
    auto* insightColumn = new QVBoxLayout(insight);
    insightColumn->setContentsMargins(16, 16, 16, 16);
    insightColumn->setSpacing(10);
    auto* insightTitle = new QHBoxLayout;
    insightTitle->setSpacing(6);
    insightTitle->addWidget(new GradientIcon(QStringLiteral("bolt.fill"), 13, insight));
    insightTitle->addWidget(Labels::make(QStringLiteral("Account Insight"),
                                         Theme::font(12, QFont::DemiBold), Qt::black, insight));
    insightTitle->addStretch(1);
    insightColumn->addLayout(insightTitle);
    m_insight = named(Labels::make(QString(), Theme::font(13, QFont::Medium), Qt::black, insight),
                      QStringLiteral("insight"));
    m_insight->setWordWrap(true);
    insightColumn->addWidget(m_insight);

    auto* button =
        new CapsuleMenuButton(QStringLiteral("sparkles"), QStringLiteral("New Upscale"), insight);
    m_menu = new QMenu(button);
    connect(m_menu->addAction(QStringLiteral("New Video")), &QAction::triggered, this,
            &HomeView::videoRequested);
    connect(m_menu->addAction(QStringLiteral("New Image")), &QAction::triggered, this,
            &HomeView::imageRequested);
    button->setMenu(m_menu);
    insightColumn->addWidget(button, 0, Qt::AlignLeft);
    row->addWidget(insight, 0, Qt::AlignVCenter);
    return header;
}

GlassCard* HomeView::metricCard(const QString& icon, const QString& title, QWidget* parent)
{
    auto* card = new GlassCard(GlassCard::Style::White, 18, parent);
    card->setMinimumHeight(150);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(8);
    column->addLayout(cardHeader(icon, title, card));
    return card;
}

QLayout* HomeView::buildMetrics(QWidget* row)
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(kCardSpacing);
    const QFont figureFont = Theme::font(30, QFont::Bold);

    GlassCard* processed =
        metricCard(QStringLiteral("tray.full"), QStringLiteral("Processed Items"), row);
    auto* processedColumn = static_cast<QVBoxLayout*>(processed->layout());
    m_processed = named(new QLabel(processed), QStringLiteral("processed"));
    m_processed->setFont(figureFont);
    processedColumn->addWidget(m_processed);
    processedColumn->addStretch(1);
    m_split = new SplitBar(processed);
    processedColumn->addWidget(m_split);
    m_splitText = named(caption(QString(), processed), QStringLiteral("split"));
    processedColumn->addWidget(m_splitText);

    GlassCard* rate =
        metricCard(QStringLiteral("checkmark.seal"), QStringLiteral("Success Rate"), row);
    auto* rateColumn = static_cast<QVBoxLayout*>(rate->layout());
    rateColumn->setSpacing(4);
    m_ring = new SuccessRing(rate);
    rateColumn->addWidget(m_ring, 0, Qt::AlignHCenter);
    rateColumn->addStretch(1);

    GlassCard* failed =
        metricCard(QStringLiteral("exclamationmark.triangle"), QStringLiteral("Failed"), row);
    auto* failedColumn = static_cast<QVBoxLayout*>(failed->layout());
    m_failed = named(new QLabel(failed), QStringLiteral("failed"));
    m_failed->setFont(figureFont);
    failedColumn->addWidget(m_failed);
    failedColumn->addStretch(1);
    m_failedCaption = named(caption(QString(), failed), QStringLiteral("failedCaption"));
    failedColumn->addWidget(m_failedCaption);

    GlassCard* footage = metricCard(QStringLiteral("clock"), QStringLiteral("Footage"), row);
    auto* footageColumn = static_cast<QVBoxLayout*>(footage->layout());
    m_footage = named(new QLabel(footage), QStringLiteral("footage"));
    m_footage->setFont(figureFont);
    footageColumn->addWidget(m_footage);
    footageColumn->addStretch(1);
    footageColumn->addWidget(caption(QStringLiteral("Total video processed"), footage));

    for (GlassCard* card : {processed, rate, failed, footage})
        layout->addWidget(card, 1);
    return layout;
}

GlassCard* HomeView::activityCard(const QString& title, const QString& icon, const QColor& colour,
                                  const QString& stat1Label, const QString& stat2Label,
                                  const QString& prefix, ActivityCard& parts, QWidget* parent)
{
    auto* card = new GlassCard(GlassCard::Style::White, 18, parent);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    column->addLayout(cardHeader(icon, title, card));

    auto* stats = new QHBoxLayout;
    stats->setSpacing(24);
    const QFont statFont = Theme::font(22, QFont::Bold);
    QWidget* stat1 = DashWidgets::figure(QString(), statFont, stat1Label, 2,
                                         prefix + QStringLiteral("Upscaled"), card);
    QWidget* stat2 =
        DashWidgets::figure(QString(), statFont, stat2Label, 2, prefix + stat2Label, card);
    stats->addWidget(stat1);
    stats->addWidget(stat2);
    stats->addStretch(1);
    column->addLayout(stats);
    parts.stat1 = stat1->findChild<QLabel*>(prefix + QStringLiteral("Upscaled"));
    parts.stat2 = stat2->findChild<QLabel*>(prefix + stat2Label);

    parts.chart = new ActivityChart(colour, card);
    column->addWidget(parts.chart);
    parts.empty =
        named(Labels::secondary(QStringLiteral("Last 7 days — nothing yet"), Theme::font(12), card),
              prefix + QStringLiteral("Empty"));
    parts.empty->setAlignment(Qt::AlignCenter);
    parts.empty->setMinimumHeight(110);
    column->addWidget(parts.empty);
    return card;
}

QLayout* HomeView::buildActivity(QWidget* row)
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(kCardSpacing);
    layout->addWidget(activityCard(QStringLiteral("Video Activity"), QStringLiteral("film"),
                                   Theme::appAccent(), QStringLiteral("Upscaled"),
                                   QStringLiteral("Footage"), QStringLiteral("video"), m_videoCard,
                                   row),
                      1, Qt::AlignTop);
    layout->addWidget(activityCard(QStringLiteral("Image Activity"), QStringLiteral("photo"),
                                   Theme::appAccent2(), QStringLiteral("Upscaled"),
                                   QStringLiteral("Saved"), QStringLiteral("image"), m_imageCard,
                                   row),
                      1, Qt::AlignTop);
    return layout;
}

void HomeView::refresh()
{
    const QDateTime now = m_clock();
    m_figures = DashboardFigures::compute(m_upscaler.history(), m_imageUpscaler.history(), now);
    const DashboardFigures& f = m_figures;

    m_greeting->setText(DashboardFigures::greeting(now, userName()));
    m_insight->setText(f.insight());
    m_processed->setText(QString::number(f.successes));
    m_split->setCounts(f.videoSuccesses, f.successes);
    m_splitText->setText(f.splitText());
    m_ring->setValue(f.successRate, f.successPercentText());
    m_failed->setText(QString::number(f.failures()));
    m_failedCaption->setText(f.failures() == 0 ? noFailuresCaption(m_failedCaption->font())
                                               : QStringLiteral("Failed or stopped jobs"));
    m_footage->setText(f.footageText());

    const auto showActivity = [](ActivityCard& card, const QList<ActivityPoint>& points,
                                 const QString& stat1, const QString& stat2) {
        card.stat1->setText(stat1);
        card.stat2->setText(stat2);
        const bool any = std::any_of(points.cbegin(), points.cend(),
                                     [](const ActivityPoint& point) { return point.count > 0; });
        card.chart->setPoints(points);
        card.chart->setVisible(any);
        card.empty->setVisible(!any);
    };
    showActivity(m_videoCard, f.videoActivity, QString::number(f.videoSuccesses), f.footageText());
    showActivity(m_imageCard, f.imageActivity, QString::number(f.imageSuccesses),
                 QString::number(f.imageSuccesses));
    refreshRecent();
}

void HomeView::refreshRecent()
{
    while (QLayoutItem* item = m_recentLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const RecentItem& item : std::as_const(m_figures.recent)) {
        auto* card = new GlassCard(GlassCard::Style::White, 18, m_column);
        auto* row = new QHBoxLayout(card);
        row->setContentsMargins(12, 12, 12, 12);
        row->setSpacing(10);
        row->addWidget(iconBadge(item.icon, card));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto* name = new ElidedLabel(item.name, card);
        name->setObjectName(QStringLiteral("recentName"));
        name->setFont(Theme::font(13, QFont::DemiBold));
        texts->addWidget(name);
        texts->addWidget(named(
            Labels::make(item.success ? QStringLiteral("Completed") : QStringLiteral("Failed"),
                         Theme::font(11),
                         item.success ? Theme::successColor() : Theme::failureColor(), card),
            QStringLiteral("recentStatus")));
        row->addLayout(texts, 1);
        m_recentLayout->addWidget(card, 1);
    }
    // Columns left over stay empty.
    for (qsizetype i = m_figures.recent.size(); i < kRecentColumns && !m_figures.recent.isEmpty();
         ++i)
        m_recentLayout->addWidget(new QWidget(m_column), 1);
}
