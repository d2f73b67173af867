#include "ui/queue/NowPill.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVariantAnimation>

#include "ui/components/GradientProgressBar.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"
#include "ui/queue/QueueTexts.h"

namespace {
constexpr qreal kPadX = 16;
constexpr qreal kPadY = 12;
constexpr qreal kCircle = 34;
constexpr qreal kRadius = 20;
constexpr qreal kShadowRoom = 24; // the shadow is drawn inside the widget, around the pill
constexpr int kStopSize = 26;

void paintSoftShadow(QPainter& painter, const QRectF& rect, qreal radius, qreal opacity, qreal blur,
                     qreal dy)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    const int steps = 8;
    for (int i = steps; i >= 1; --i) {
        const qreal grow = blur * i / steps;
        QColor color(0, 0, 0);
        color.setAlphaF(float(opacity / steps));
        painter.setBrush(color);
        painter.drawRoundedRect(
            rect.translated(0, dy).adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2),
            radius + grow / 2, radius + grow / 2);
    }
    painter.restore();
}
} // namespace

NowPill::NowPill(QWidget* parent)
    : QWidget(parent), m_stop(new QToolButton(this)), m_progress(new GradientProgressBar(5, this)),
      m_pulse(new QVariantAnimation(this))
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    m_stop->setAutoRaise(true);
    m_stop->setIcon(Icons::icon(QStringLiteral("stop.circle.fill"), Theme::secondaryText()));
    m_stop->setIconSize(QSize(22, 22));
    m_stop->setToolTip(QStringLiteral("Stop current job"));
    m_stop->setAccessibleName(QStringLiteral("Stop current job"));
    m_stop->setCursor(Qt::ArrowCursor);
    m_stop->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    connect(m_stop, &QToolButton::clicked, this, &NowPill::stopRequested);

    m_pulse->setStartValue(0.94);
    m_pulse->setEndValue(1.06);
    m_pulse->setDuration(900);
    m_pulse->setEasingCurve(QEasingCurve::InOutSine);
    connect(m_pulse, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_pulseScale = value.toDouble();
        update(contentRect().toAlignedRect());
    });
    // Breathes back and forth for as long as the pill lives.
    connect(m_pulse, &QVariantAnimation::finished, this, [this] {
        m_pulse->setDirection(m_pulse->direction() == QAbstractAnimation::Forward
                                  ? QAbstractAnimation::Backward
                                  : QAbstractAnimation::Forward);
        m_pulse->start();
    });
}

void NowPill::startPulse()
{
    if (m_pulse->state() != QAbstractAnimation::Running)
        m_pulse->start();
}

void NowPill::setJob(const UpscaleJob& job, qsizetype waiting)
{
    const bool sameJob = job.id == m_jobId;
    m_interrupted = false;
    m_jobId = job.id;
    m_icon = job.icon;
    m_name = job.name;
    m_status = job.statusText;
    m_eta = job.eta;
    m_waiting = waiting;
    m_progress->setValue(job.progress, sameJob);
    m_progress->show();
    m_stop->setVisible(job.status == UpscaleJob::Status::Running);
    setToolTip(m_name);
    describeForAccessibility();
    update();
}

// The texts are painted; screen readers get them as the pill's name and description.
void NowPill::describeForAccessibility()
{
    setAccessibleName(m_name);
    setAccessibleDescription(statusText());
}

void NowPill::setInterrupted(qsizetype count)
{
    m_interrupted = true;
    m_jobId = QUuid();
    m_icon = QStringLiteral("pause.fill");
    m_name = QueueTexts::interruptedCount(count);
    m_status = QStringLiteral("Open the queue to resume or discard");
    m_eta.clear();
    m_waiting = 0;
    m_progress->hide();
    m_stop->hide();
    setToolTip(m_name);
    describeForAccessibility();
    update();
}

QString NowPill::statusText() const
{
    return QueueTexts::statusLine(m_status, m_eta);
}

QString NowPill::badgeText() const
{
    return QueueTexts::badge(m_waiting);
}

QSize NowPill::sizeHint() const
{
    return {560 + int(2 * kShadowRoom), int(kPadY * 2 + kCircle + 8 + 5 + 2 * kShadowRoom)};
}

QRectF NowPill::contentRect() const
{
    return QRectF(rect()).adjusted(kShadowRoom, kShadowRoom - 6, -kShadowRoom, -kShadowRoom - 6);
}

QRectF NowPill::badgeRect() const
{
    if (m_waiting <= 0)
        return {};
    const QFont font = Theme::font(12, QFont::Bold);
    const qreal textWidth = QFontMetricsF(font).horizontalAdvance(badgeText());
    const QRectF content = contentRect().adjusted(kPadX, kPadY, -kPadX, -kPadY);
    const qreal width = textWidth + 18;
    const qreal height = QFontMetricsF(font).height() + 8;
    const qreal right = content.right() - 12 - 11 - (m_stop->isHidden() ? 0 : 12 + kStopSize);
    return {right - width, rowTop() + (kCircle - height) / 2, width, height};
}

qreal NowPill::rowTop() const
{
    const qreal top = contentRect().top() + kPadY;
    return m_interrupted ? top + (8 + 5) / 2.0 : top;
}

void NowPill::layoutChildren()
{
    const QRectF content = contentRect().adjusted(kPadX, kPadY, -kPadX, -kPadY);
    m_stop->setGeometry(int(content.right() - 11 - 12 - kStopSize),
                        int(content.top() + (kCircle - kStopSize) / 2), kStopSize, kStopSize);
    m_progress->setGeometry(int(content.left()), int(content.top() + kCircle + 8),
                            int(content.width()), 5);
}

void NowPill::resizeEvent(QResizeEvent*)
{
    layoutChildren();
}

void NowPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF pill = contentRect();
    paintSoftShadow(painter, pill, kRadius, 0.15, 18, 8);
    painter.setPen(QPen(QColor(0, 0, 0, 20), 1));
    painter.setBrush(QColor(255, 255, 255, 240));
    painter.drawRoundedRect(pill.adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);

    const QRectF content = pill.adjusted(kPadX, kPadY, -kPadX, -kPadY);
    const qreal top = rowTop();
    // The icon circle: breathing while work goes on, still and grey while it is only interrupted.
    const qreal size = m_interrupted ? kCircle : kCircle * m_pulseScale;
    const QRectF circle(content.left() + (kCircle - size) / 2, top + (kCircle - size) / 2, size,
                        size);
    painter.setPen(Qt::NoPen);
    if (m_interrupted)
        painter.setBrush(Theme::secondaryText());
    else
        painter.setBrush(Theme::appAccentGradient(circle));
    painter.drawEllipse(circle);
    const QRectF glyph(content.left() + (kCircle - 15) / 2, top + (kCircle - 15) / 2, 15, 15);
    Icons::paint(painter, glyph, m_icon, Qt::white);

    // Name above the status line.
    const QRectF badge = badgeRect();
    const QRectF chevron(content.right() - 11, top + (kCircle - 11) / 2, 11, 11);
    const qreal textLeft = content.left() + kCircle + 12;
    const qreal textRight = (!badge.isNull()       ? badge.left()
                             : !m_stop->isHidden() ? m_stop->geometry().left()
                                                   : chevron.left()) -
                            12;
    const QFont nameFont = Theme::font(13, QFont::DemiBold);
    const QFont statusFont = Theme::font(11);
    const QFontMetricsF nameMetrics(nameFont);
    const QFontMetricsF statusMetrics(statusFont);
    const qreal textHeight = nameMetrics.height() + statusMetrics.height();
    const qreal textTop = top + (kCircle - textHeight) / 2;
    const qreal width = std::max<qreal>(0, textRight - textLeft);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(nameFont);
    painter.drawText(QRectF(textLeft, textTop, width, nameMetrics.height()), Qt::AlignLeft,
                     nameMetrics.elidedText(m_name, Qt::ElideMiddle, width));
    painter.setPen(Theme::secondaryText());
    painter.setFont(statusFont);
    painter.drawText(
        QRectF(textLeft, textTop + nameMetrics.height(), width, statusMetrics.height()),
        Qt::AlignLeft, statusMetrics.elidedText(statusText(), Qt::ElideRight, width));

    if (!badge.isNull()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::appAccent());
        painter.drawRoundedRect(badge, badge.height() / 2, badge.height() / 2);
        painter.setPen(Qt::white);
        painter.setFont(Theme::font(12, QFont::Bold));
        painter.drawText(badge, Qt::AlignCenter, badgeText());
    }
    Icons::paint(painter, chevron, QStringLiteral("chevron.up"), Theme::secondaryText());
}

void NowPill::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && contentRect().contains(event->position()))
        Q_EMIT openRequested();
}
