#include "ui/components/ToggleSwitch.h"

#include <algorithm>

#include <QPainter>
#include <QVariantAnimation>

#include "ui/components/Theme.h"

namespace {
constexpr int kTrackWidth = 38;
constexpr int kTrackHeight = 22;
constexpr qreal kKnobInset = 2;
constexpr int kTextGap = 12;
constexpr int kFocusRoom = 2; // around the track, for the focus ring
} // namespace

ToggleSwitch::ToggleSwitch(QWidget* parent) : ToggleSwitch(QString(), parent) {}

ToggleSwitch::ToggleSwitch(const QString& text, QWidget* parent)
    : QAbstractButton(parent), m_slide(new QVariantAnimation(this))
{
    setText(text);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    if (text.isEmpty()) {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    } else {
        setFont(Theme::font(13));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    m_slide->setDuration(150);
    m_slide->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_position = value.toReal();
        update();
    });
}

QSize ToggleSwitch::sizeHint() const
{
    const QSize track(kTrackWidth + 2 * kFocusRoom, kTrackHeight + 2 * kFocusRoom);
    if (text().isEmpty())
        return track;
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + kTextGap + track.width(),
                 std::max(track.height(), metrics.height() + 4));
}

QSize ToggleSwitch::minimumSizeHint() const
{
    if (text().isEmpty())
        return sizeHint();
    // The text is shortened with an ellipsis before the row gets narrower than this.
    return QSize(kTrackWidth + 2 * kFocusRoom + kTextGap + 40, sizeHint().height());
}

void ToggleSwitch::checkStateSet()
{
    // Set from code: jump to the new state, unless the knob is already sliding there.
    const qreal target = isChecked() ? 1 : 0;
    if (m_slide->state() == QAbstractAnimation::Running && m_slide->endValue().toReal() == target)
        return;
    m_slide->stop();
    m_position = target;
    update();
}

void ToggleSwitch::nextCheckState()
{
    // The slide starts before the state changes, so that the state being set (and written back
    // by whoever follows it) finds the knob already on its way.
    m_slide->stop();
    m_slide->setStartValue(m_position);
    m_slide->setEndValue(isChecked() ? 0.0 : 1.0);
    m_slide->start();
    QAbstractButton::nextCheckState();
}

QRectF ToggleSwitch::trackRect() const
{
    const qreal top = (height() - kTrackHeight) / 2.0;
    if (text().isEmpty())
        return QRectF((width() - kTrackWidth) / 2.0, top, kTrackWidth, kTrackHeight);
    return QRectF(width() - kTrackWidth - kFocusRoom, top, kTrackWidth, kTrackHeight);
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.5);
    const QRectF track = trackRect();
    const qreal radius = track.height() / 2;

    if (!text().isEmpty()) {
        const QRectF label(0, 0, track.left() - kTextGap, height());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(label, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text(), Qt::ElideRight, int(label.width())));
    }

    // The off track is a light grey; the accent fades in as the knob slides across.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 26));
    painter.drawRoundedRect(track, radius, radius);
    QColor accent = Theme::appAccent();
    accent.setAlphaF(static_cast<float>(m_position));
    painter.setBrush(accent);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knob = track.height() - 2 * kKnobInset;
    const qreal travel = track.width() - knob - 2 * kKnobInset;
    const QRectF knobRect(track.left() + kKnobInset + travel * m_position, track.top() + kKnobInset,
                          knob, knob);
    painter.setBrush(QColor(0, 0, 0, 30));
    painter.drawEllipse(knobRect.translated(0, 0.75));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knobRect);

    if (hasFocus()) {
        QColor ring = Theme::appAccent();
        ring.setAlphaF(0.5f);
        painter.setPen(QPen(ring, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
    }
}
