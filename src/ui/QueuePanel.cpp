#include "ui/QueuePanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "processing/JobQueue.h"
#include "ui/QueueTexts.h"
#include "ui/components/GradientProgressBar.h"
#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/RoundedBox.h"
#include "ui/components/Theme.h"

namespace {
constexpr qreal kRadius = 22;
constexpr int kShadowRoom = 28;

QLabel* makeCaption(const QString& text, QWidget* parent)
{
    QFont font = Theme::font(10, QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    return Labels::secondary(text, font, parent);
}

QToolButton* makeIconButton(const QString& icon, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(Icons::icon(icon, Theme::secondaryText()));
    button->setIconSize(QSize(14, 14));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}

QPixmap gradientIcon(const QString& name, int size, qreal dpr)
{
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle(0, 0, size, size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::appAccentGradient(circle));
    painter.drawEllipse(circle);
    const qreal glyph = size * 0.45;
    Icons::paint(painter, QRectF((size - glyph) / 2, (size - glyph) / 2, glyph, glyph), name,
                 Qt::white);
    return pixmap;
}

} // namespace

QueuePanel::QueuePanel(JobQueue& queue, QWidget* parent) : QWidget(parent), m_queue(queue)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    // The panel is drawn inset from the widget to leave room for its shadow (see paintEvent).
    column->setContentsMargins(kShadowRoom + 18, kShadowRoom - 12 + 18, kShadowRoom + 18,
                               kShadowRoom + 12 + 18);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->addWidget(Labels::make(QStringLiteral("Processing Queue"), Theme::font(17, QFont::Bold),
                                   palette().color(QPalette::WindowText), this));
    m_count = Labels::secondary(QString(), Theme::font(12), this);
    header->addWidget(m_count);
    header->addStretch();
    auto* collapse =
        makeIconButton(QStringLiteral("chevron.down"), QStringLiteral("Collapse"), this);
    connect(collapse, &QToolButton::clicked, this, &QueuePanel::collapseRequested);
    header->addWidget(collapse);
    column->addLayout(header);

    // The running job.
    m_activeCard = new RoundedBox(QColor(0, 0, 0, 10), QColor(0, 0, 0, 15), 12, this);
    auto* card = new QVBoxLayout(m_activeCard);
    card->setContentsMargins(12, 12, 12, 12);
    card->setSpacing(8);
    auto* cardHeader = new QHBoxLayout;
    cardHeader->addWidget(makeCaption(QStringLiteral("NOW PROCESSING"), m_activeCard));
    cardHeader->addStretch();
    m_activePercent = Labels::secondary(QString(), Theme::font(12, QFont::DemiBold), m_activeCard);
    cardHeader->addWidget(m_activePercent);
    card->addLayout(cardHeader);
    auto* jobRow = new QHBoxLayout;
    jobRow->setSpacing(12);
    m_activeIcon = new QLabel(m_activeCard);
    m_activeIcon->setFixedSize(34, 34);
    jobRow->addWidget(m_activeIcon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_activeName = Labels::make(QString(), Theme::font(13, QFont::DemiBold),
                                palette().color(QPalette::WindowText), m_activeCard);
    m_activeStatus = Labels::secondary(QString(), Theme::font(11), m_activeCard);
    texts->addWidget(m_activeName);
    texts->addWidget(m_activeStatus);
    jobRow->addLayout(texts, 1);
    card->addLayout(jobRow);
    m_activeProgress = new GradientProgressBar(6, m_activeCard);
    card->addWidget(m_activeProgress);
    column->addWidget(m_activeCard);

    column->addWidget(makeCaption(QStringLiteral("UP NEXT"), this));
    m_empty = Labels::secondary(QStringLiteral("No jobs waiting"), Theme::font(12), this);
    m_empty->setContentsMargins(0, 10, 0, 10);
    column->addWidget(m_empty);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setMaximumHeight(210);
    m_scroll->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    m_rowsHost = new QWidget(m_scroll);
    m_rowsHost->setAutoFillBackground(false);
    m_rows = new QVBoxLayout(m_rowsHost);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(8);
    m_rows->addStretch();
    m_scroll->setWidget(m_rowsHost);
    column->addWidget(m_scroll);

    auto* buttons = new QHBoxLayout;
    m_stop = new QPushButton(Icons::icon(QStringLiteral("stop.fill")),
                             QStringLiteral("Stop current"), this);
    connect(m_stop, &QPushButton::clicked, this, &QueuePanel::stopRequested);
    buttons->addWidget(m_stop);
    m_changeQueue = new QPushButton(this);
    m_changeQueue->setMinimumWidth(120);
    connect(m_changeQueue, &QPushButton::clicked, this, [this] {
        if (m_queue.reordering()) {
            m_queue.setReordering(false);
            m_queue.startNext();
        } else {
            m_queue.setReordering(true);
        }
    });
    buttons->addWidget(m_changeQueue);
    buttons->addStretch();
    column->addLayout(buttons);

    m_reorderMessage = Labels::secondary(
        QStringLiteral("Reordering — the current job finishes, then the queue waits until you "
                       "Save."),
        Theme::font(11), this);
    m_reorderMessage->setWordWrap(true);
    column->addWidget(m_reorderMessage);

    connect(&m_queue, &JobQueue::jobsChanged, this, &QueuePanel::refresh);
    connect(&m_queue, &JobQueue::reorderingChanged, this, &QueuePanel::refresh);
    refresh();
}

void QueuePanel::refresh()
{
    m_count->setText(QueueTexts::jobCount(m_queue.jobs().size()));

    const auto running = m_queue.active();
    m_activeCard->setVisible(running.has_value());
    if (running) {
        const bool sameJob = running->id == m_activeId;
        if (!sameJob)
            m_activeIcon->setPixmap(gradientIcon(running->icon, 34, devicePixelRatioF()));
        m_activeId = running->id;
        m_activePercent->setText(QueueTexts::percent(running->progress));
        m_activeName->setText(running->name);
        m_activeStatus->setText(QueueTexts::statusLine(running->statusText, running->eta));
        m_activeProgress->setValue(running->progress, sameJob);
    } else {
        m_activeId = QUuid();
    }

    const bool reordering = m_queue.reordering();
    QList<QUuid> pendingIds;
    for (const UpscaleJob& job : m_queue.pending())
        pendingIds.append(job.id);
    if (pendingIds != m_shownPending || reordering != m_shownReordering) {
        m_shownPending = pendingIds;
        m_shownReordering = reordering;
        rebuildPendingRows();
    }
    m_empty->setVisible(pendingIds.isEmpty());
    m_scroll->setVisible(!pendingIds.isEmpty());

    if (reordering) {
        m_changeQueue->setText(QStringLiteral("Save Queue"));
        m_changeQueue->setIcon(Icons::icon(QStringLiteral("checkmark"), Qt::white));
        m_changeQueue->setEnabled(true);
        m_changeQueue->setStyleSheet(
            QStringLiteral("QPushButton { background: %1; color: white; border-radius: 6px; "
                           "padding: 5px 12px; }")
                .arg(Theme::appAccent().name()));
    } else {
        m_changeQueue->setText(QStringLiteral("Change Queue"));
        m_changeQueue->setIcon(Icons::icon(QStringLiteral("arrow.up.arrow.down")));
        m_changeQueue->setEnabled(pendingIds.size() >= 2);
        m_changeQueue->setStyleSheet(QString());
    }
    m_reorderMessage->setVisible(reordering);
}

QList<QWidget*> QueuePanel::pendingRows() const
{
    QList<QWidget*> rows;
    for (int i = 0; i < m_rows->count(); ++i) {
        if (QWidget* row = m_rows->itemAt(i)->widget())
            rows.append(row);
    }
    return rows;
}

void QueuePanel::rebuildPendingRows()
{
    for (QWidget* row : pendingRows())
        delete row;
    int index = 0;
    for (const UpscaleJob& job : m_queue.pending())
        m_rows->insertWidget(index++, makePendingRow(job, m_shownReordering));
    // Up to three rows show without scrolling; more scroll within the 210-high area.
    m_scroll->setMinimumHeight(std::min(210, index * 56));
}

QWidget* QueuePanel::makePendingRow(const UpscaleJob& job, bool reordering)
{
    auto* row = new RoundedBox(QColor(0, 0, 0, 10), QColor(0, 0, 0, 15), 12, m_rowsHost);
    row->setObjectName(job.id.toString(QUuid::WithoutBraces));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(10);
    auto* icon = new QLabel(row);
    icon->setPixmap(
        Icons::pixmap(job.icon, QSize(18, 18), devicePixelRatioF(), Theme::secondaryText()));
    icon->setFixedWidth(20);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(Labels::make(job.name, Theme::font(13, QFont::Medium),
                                  palette().color(QPalette::WindowText), row));
    texts->addWidget(
        Labels::secondary(job.detail + QStringLiteral(" · Queued"), Theme::font(11), row));
    layout->addLayout(texts, 1);
    const QUuid id = job.id;
    if (reordering) {
        auto* up = makeIconButton(QStringLiteral("chevron.up"), QStringLiteral("Move up"), row);
        auto* down =
            makeIconButton(QStringLiteral("chevron.down"), QStringLiteral("Move down"), row);
        connect(up, &QToolButton::clicked, this, [this, id] { m_queue.bump(id, -1); });
        connect(down, &QToolButton::clicked, this, [this, id] { m_queue.bump(id, +1); });
        layout->addWidget(up);
        layout->addWidget(down);
    }
    auto* remove = makeIconButton(QStringLiteral("trash"), QStringLiteral("Remove"), row);
    connect(remove, &QToolButton::clicked, this, [this, id] { m_queue.remove(id); });
    layout->addWidget(remove);
    return row;
}

void QueuePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel =
        QRectF(rect()).adjusted(kShadowRoom, kShadowRoom - 12, -kShadowRoom, -kShadowRoom - 12);
    painter.setPen(Qt::NoPen);
    for (int i = 8; i >= 1; --i) {
        const qreal grow = 26.0 * i / 8;
        painter.setBrush(QColor(0, 0, 0, int(255 * 0.18 / 8)));
        painter.drawRoundedRect(
            panel.translated(0, 12).adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2),
            kRadius + grow / 2, kRadius + grow / 2);
    }
    painter.setPen(QPen(QColor(0, 0, 0, 20), 1));
    painter.setBrush(QColor(250, 250, 252, 245));
    painter.drawRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
}
