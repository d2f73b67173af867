#include "ui/queue/QueuePanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "processing/JobQueue.h"
#include "ui/components/GradientProgressBar.h"
#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/RoundedBox.h"
#include "ui/components/Theme.h"
#include "ui/queue/QueueTexts.h"

namespace {
constexpr qreal kRadius = 22;
constexpr int kShadowRoom = 28;
// From the widget's edge to the panel's content: the shadow room and the panel's padding.
constexpr int kContentInset = kShadowRoom + 18;
// The tallest a list of rows grows before it scrolls: about three rows.
constexpr int kRowsMaxHeight = 210;

QLabel* makeCaption(const QString& text, QWidget* parent)
{
    QFont font = Theme::font(10, QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    font.setCapitalization(QFont::AllUppercase);
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

// A job's row: its icon, its name and a secondary line, in a rounded box. Buttons and further
// lines are added by the caller to `buttons` and `texts`.
struct JobRow {
    QWidget* box;
    QHBoxLayout* buttons;
    QVBoxLayout* texts;
};

JobRow makeJobRow(const UpscaleJob& job, const QString& secondLine, QWidget* parent)
{
    auto* box = new RoundedBox(QColor(0, 0, 0, 10), QColor(0, 0, 0, 15), 12, parent);
    box->setObjectName(job.id.toString(QUuid::WithoutBraces));
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(10);
    auto* icon = new QLabel(box);
    icon->setPixmap(
        Icons::pixmap(job.icon, QSize(18, 18), box->devicePixelRatioF(), Theme::secondaryText()));
    icon->setFixedWidth(20);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* name = Labels::make(job.name, Theme::font(13, QFont::Medium),
                              box->palette().color(QPalette::WindowText), box);
    name->setMinimumWidth(0);
    name->setToolTip(job.name);
    texts->addWidget(name);
    texts->addWidget(Labels::secondary(secondLine, Theme::font(11), box));
    layout->addLayout(texts, 1);
    return {box, layout, texts};
}

} // namespace

QueuePanel::QueuePanel(JobQueue& queue, QWidget* parent) : QWidget(parent), m_queue(queue)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    // The panel is drawn inset from the widget to leave room for its shadow (see paintEvent).
    column->setContentsMargins(kContentInset, kContentInset - 12, kContentInset,
                               kContentInset + 12);
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

    m_upNextCaption = makeCaption(QStringLiteral("UP NEXT"), this);
    column->addWidget(m_upNextCaption);
    m_empty = Labels::secondary(QStringLiteral("No jobs waiting"), Theme::font(12), this);
    m_empty->setContentsMargins(0, 10, 0, 10);
    column->addWidget(m_empty);
    m_pending = makeRowList();
    column->addWidget(m_pending.scroll);

    m_interruptedCaption = makeCaption(QStringLiteral("Interrupted"), this);
    column->addWidget(m_interruptedCaption);
    m_interrupted = makeRowList();
    column->addWidget(m_interrupted.scroll);

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
    const auto running = m_queue.active();
    const QList<UpscaleJob> waiting = m_queue.pending();
    const QList<UpscaleJob> interrupted = QueueTexts::interruptedJobs(m_queue);
    m_count->setText(
        QueueTexts::panelCount(waiting.size() + (running ? 1 : 0), interrupted.size()));

    m_activeCard->setVisible(running.has_value());
    m_stop->setVisible(running.has_value());
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
    for (const UpscaleJob& job : waiting)
        pendingIds.append(job.id);
    if (pendingIds != m_shownPending || reordering != m_shownReordering) {
        m_shownPending = pendingIds;
        m_shownReordering = reordering;
        rebuildPendingRows();
    }
    // With only interrupted jobs listed there is no "up next" to speak of.
    const bool working = running || !pendingIds.isEmpty();
    m_upNextCaption->setVisible(working);
    m_empty->setVisible(working && pendingIds.isEmpty());
    m_pending.scroll->setVisible(!pendingIds.isEmpty());

    QList<QUuid> interruptedIds;
    for (const UpscaleJob& job : interrupted)
        interruptedIds.append(job.id);
    if (interruptedIds != m_shownInterrupted) {
        m_shownInterrupted = interruptedIds;
        rebuildInterruptedRows();
    }
    m_interruptedCaption->setVisible(!interruptedIds.isEmpty());
    m_interrupted.scroll->setVisible(!interruptedIds.isEmpty());

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
    m_changeQueue->setVisible(working || reordering);
    m_reorderMessage->setVisible(reordering);
}

QueuePanel::RowList QueuePanel::makeRowList()
{
    RowList list;
    list.scroll = new QScrollArea(this);
    list.scroll->setFrameShape(QFrame::NoFrame);
    list.scroll->setWidgetResizable(true);
    list.scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.scroll->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    list.host = new QWidget(list.scroll);
    list.host->setAutoFillBackground(false);
    list.rows = new QVBoxLayout(list.host);
    list.rows->setContentsMargins(0, 0, 0, 0);
    list.rows->setSpacing(8);
    list.rows->addStretch();
    list.scroll->setWidget(list.host);
    return list;
}

QList<QWidget*> QueuePanel::rowsOf(const RowList& list)
{
    QList<QWidget*> rows;
    for (int i = 0; i < list.rows->count(); ++i) {
        if (QWidget* row = list.rows->itemAt(i)->widget())
            rows.append(row);
    }
    return rows;
}

void QueuePanel::setRows(const RowList& list, const QList<QWidget*>& rows) const
{
    // Deleted later: the click that changed the queue may come from a button of an old row.
    for (QWidget* old : rowsOf(list)) {
        list.rows->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    // The rows' width once the now bar has placed the panel; a guess from their size hints before.
    const int width = this->width() - 2 * kContentInset;
    int index = 0;
    int height = 0;
    for (QWidget* row : rows) {
        list.rows->insertWidget(index++, row);
        const bool wraps = row->hasHeightForWidth() && width >= 200;
        height += (wraps ? row->heightForWidth(width) : row->sizeHint().height()) +
                  (index > 1 ? list.rows->spacing() : 0);
    }
    // Exactly as tall as the rows up to about three of them; more scroll within the area. (The
    // scroll area's own size hint is taken once and would go stale as rows come and go.)
    list.scroll->setFixedHeight(std::min(kRowsMaxHeight, height));
}

QList<QWidget*> QueuePanel::pendingRows() const
{
    return rowsOf(m_pending);
}

QList<QWidget*> QueuePanel::interruptedRows() const
{
    return rowsOf(m_interrupted);
}

void QueuePanel::rebuildPendingRows()
{
    QList<QWidget*> rows;
    for (const UpscaleJob& job : m_queue.pending())
        rows.append(makePendingRow(job, m_shownReordering));
    setRows(m_pending, rows);
}

void QueuePanel::rebuildInterruptedRows()
{
    QList<QWidget*> rows;
    for (const UpscaleJob& job : QueueTexts::interruptedJobs(m_queue))
        rows.append(makeInterruptedRow(job));
    setRows(m_interrupted, rows);
}

QWidget* QueuePanel::makePendingRow(const UpscaleJob& job, bool reordering)
{
    const JobRow row = makeJobRow(job, job.detail + QStringLiteral(" · Queued"), m_pending.host);
    const QUuid id = job.id;
    if (reordering) {
        auto* up = makeIconButton(QStringLiteral("chevron.up"), QStringLiteral("Move up"), row.box);
        auto* down =
            makeIconButton(QStringLiteral("chevron.down"), QStringLiteral("Move down"), row.box);
        connect(up, &QToolButton::clicked, this, [this, id] { m_queue.bump(id, -1); });
        connect(down, &QToolButton::clicked, this, [this, id] { m_queue.bump(id, +1); });
        row.buttons->addWidget(up);
        row.buttons->addWidget(down);
    }
    auto* remove = makeIconButton(QStringLiteral("trash"), QStringLiteral("Remove"), row.box);
    connect(remove, &QToolButton::clicked, this, [this, id] { m_queue.remove(id); });
    row.buttons->addWidget(remove);
    return row.box;
}

QWidget* QueuePanel::makeInterruptedRow(const UpscaleJob& job)
{
    const bool resumable = job.resumeProblem.isEmpty();
    // What was done, unless the job can't go on: then why, on a line of its own.
    QString done = job.detail;
    if (!job.statusText.isEmpty() && job.statusText != job.resumeProblem)
        done += QStringLiteral(" · ") + job.statusText;
    const JobRow row = makeJobRow(job, done, m_interrupted.host);
    if (!resumable) {
        auto* problem =
            Labels::make(job.resumeProblem, Theme::font(11), Theme::failureColor(), row.box);
        problem->setObjectName(QStringLiteral("problem"));
        problem->setWordWrap(true);
        row.texts->addWidget(problem);
    }
    const QUuid id = job.id;
    const auto addButton = [&row, &job](const QString& icon, const QString& text) {
        auto* button = new QPushButton(Icons::icon(icon), text, row.box);
        button->setAccessibleName(text + QLatin1Char(' ') + job.name);
        button->setToolTip(button->accessibleName());
        row.buttons->addWidget(button, 0, Qt::AlignVCenter);
        return button;
    };
    if (resumable) {
        QPushButton* resume = addButton(QStringLiteral("play.fill"), QStringLiteral("Resume"));
        connect(resume, &QPushButton::clicked, this, [this, id] { m_queue.resume(id); });
    }
    QPushButton* discard = addButton(QStringLiteral("trash"), QStringLiteral("Discard"));
    connect(discard, &QPushButton::clicked, this, [this, id] { m_queue.discard(id); });
    return row.box;
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
