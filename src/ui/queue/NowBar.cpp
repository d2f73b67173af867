#include "ui/queue/NowBar.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>

#include "processing/JobQueue.h"
#include "ui/queue/NowPill.h"
#include "ui/queue/QueuePanel.h"
#include "ui/queue/QueueTexts.h"

namespace {
// Black at 12 % over the window; a click on it closes the panel.
class Backdrop final : public QWidget {
public:
    std::function<void()> onClick;
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0, 0, 0, 31)); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && onClick)
            onClick();
    }
};
} // namespace

NowBar::NowBar(JobQueue& queue, QWidget* parent)
    : QWidget(parent), m_queue(queue), m_backdrop(new Backdrop(this)), m_pill(new NowPill(this)),
      m_panel(new QueuePanel(queue, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    static_cast<Backdrop*>(m_backdrop)->onClick = [this] { collapse(); };
    m_backdrop->hide();
    m_pill->hide();
    m_panel->hide();
    connect(m_pill, &NowPill::openRequested, this, [this] { setExpanded(true); });
    connect(m_pill, &NowPill::stopRequested, this, [this] { m_queue.stopActive(); });
    connect(m_panel, &QueuePanel::stopRequested, this, [this] { m_queue.stopActive(); });
    connect(m_panel, &QueuePanel::collapseRequested, this, &NowBar::collapse);
    connect(&m_queue, &JobQueue::jobsChanged, this, &NowBar::refresh);
    parent->installEventFilter(this);
    // The panel grows and shrinks with its rows and messages.
    m_panel->installEventFilter(this);
    setGeometry(parent->rect());
    refresh();
}

void NowBar::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    refresh();
    if (m_expanded)
        setFocus(Qt::OtherFocusReason);
    Q_EMIT expandedChanged(m_expanded);
}

void NowBar::collapse()
{
    if (m_queue.reordering()) {
        m_queue.setReordering(false);
        m_queue.startNext();
    }
    setExpanded(false);
}

void NowBar::refresh()
{
    const auto job = QueueTexts::displayJob(m_queue);
    const qsizetype interrupted = QueueTexts::interruptedJobs(m_queue).size();
    m_shown = job || interrupted > 0;
    if (!m_shown && m_expanded) {
        // The queue emptied: the panel closes with it.
        m_expanded = false;
        Q_EMIT expandedChanged(false);
    }
    if (job) {
        // The jobs waiting behind the one shown.
        const qsizetype behind =
            m_queue.pending().size() - (job->status == UpscaleJob::Status::Queued ? 1 : 0);
        m_pill->setJob(*job, behind);
    } else if (interrupted > 0) {
        m_pill->setInterrupted(interrupted);
    }
    const bool showPill = m_shown && !m_expanded;
    if (job && showPill && !m_pulseStarted) {
        m_pulseStarted = true;
        m_pill->startPulse();
    }
    fade(m_pill, showPill);
    fade(m_panel, m_expanded);
    fade(m_backdrop, m_expanded);
    setVisible(m_shown);
    if (m_shown)
        raise();
    relayout();
}

void NowBar::relayout()
{
    const QRect area = rect();
    m_backdrop->setGeometry(area);
    const QSize pillHint = m_pill->sizeHint();
    const int pillWidth = std::min(pillHint.width(), area.width());
    // The pill's own shadow room is part of the widget; its visible edge sits 26 above the bottom.
    m_pill->setGeometry((area.width() - pillWidth) / 2, area.height() - 26 - pillHint.height() + 30,
                        pillWidth, pillHint.height());
    const int panelWidth = std::min(660 + 56, area.width() - 2 * 24 + 56);
    const int panelHeight = std::min(m_panel->sizeHint().height(), area.height());
    m_panel->setGeometry((area.width() - panelWidth) / 2, 16 - 16, panelWidth, panelHeight);
    // From the pill's visible top edge to the bottom, with a little air above it.
    const int reserved =
        m_shown ? area.height() - (m_pill->y() + m_pill->visibleRect().top()) + 12 : 0;
    if (reserved != m_reserved) {
        m_reserved = reserved;
        Q_EMIT reservedHeightChanged(reserved);
    }
    // Clicks reach the window wherever nothing of the bar is shown.
    if (m_expanded)
        clearMask();
    else if (m_pill->isVisible())
        setMask(QRegion(m_pill->geometry()));
    else
        setMask(QRegion(0, 0, 1, 1));
}

void NowBar::fade(QWidget* widget, bool visible)
{
    if (widget->isVisible() == visible)
        return;
    if (!visible) {
        // Gone at once for input and layout.
        widget->hide();
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(widget);
    widget->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", widget);
    animation->setDuration(220);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    connect(animation, &QPropertyAnimation::finished, widget,
            [widget] { widget->setGraphicsEffect(nullptr); });
    widget->show();
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

bool NowBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        relayout();
    } else if (watched == m_panel && event->type() == QEvent::LayoutRequest) {
        relayout();
    }
    return QWidget::eventFilter(watched, event);
}

void NowBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_expanded) {
        collapse();
        return;
    }
    QWidget::keyPressEvent(event);
}
