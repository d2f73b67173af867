#include "ui/settings/ToggleSwitch.h"

#include <QPainter>
#include <QVariantAnimation>

#include "ui/components/Theme.h"

namespace {
constexpr int kWidth = 38;
constexpr int kHeight = 22;
constexpr qreal kKnobInset = 2;
} // namespace

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : QAbstractButton(parent), m_slide(new QVariantAnimation(this))
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_slide->setDuration(150);
    m_slide->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_position = value.toReal();
        update();
    });
}

QSize ToggleSwitch::sizeHint() const
{
    return QSize(kWidth + 4, kHeight + 4); // room for the focus ring
}

void ToggleSwitch::checkStateSet()
{
    // Set from code: jump to the new state without sliding.
    m_slide->stop();
    m_position = isChecked() ? 1 : 0;
    update();
}

void ToggleSwitch::nextCheckState()
{
    QAbstractButton::nextCheckState();
    m_slide->stop();
    m_slide->setStartValue(m_position);
    m_slide->setEndValue(isChecked() ? 1.0 : 0.0);
    m_slide->start();
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(0, 0, kWidth, kHeight)
                             .translated((width() - kWidth) / 2.0, (height() - kHeight) / 2.0);
    const qreal radius = track.height() / 2;

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
