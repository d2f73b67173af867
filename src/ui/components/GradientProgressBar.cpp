#include "ui/components/GradientProgressBar.h"

#include <algorithm>

#include <QPainter>
#include <QVariantAnimation>

#include "ui/components/Theme.h"

GradientProgressBar::GradientProgressBar(int height, QWidget* parent)
    : QWidget(parent), m_animation(new QVariantAnimation(this))
{
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_animation->setDuration(300);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_displayed = value.toDouble();
        update();
    });
}

void GradientProgressBar::setValue(double value, bool animated)
{
    value = std::clamp(value, 0.0, 1.0);
    if (value == m_target && (!animated || m_animation->state() != QAbstractAnimation::Running))
        return;
    m_target = value;
    m_animation->stop();
    if (animated && isVisible()) {
        m_animation->setStartValue(m_displayed);
        m_animation->setEndValue(value);
        m_animation->start();
    } else {
        m_displayed = value;
        update();
    }
}

QSize GradientProgressBar::sizeHint() const
{
    return {120, height()};
}

void GradientProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track = rect();
    const qreal radius = track.height() / 2;
    painter.setBrush(QColor(0, 0, 0, 20));
    painter.drawRoundedRect(track, radius, radius);
    const qreal width = std::max(6.0, track.width() * m_displayed);
    const QRectF fill(track.left(), track.top(), std::min(width, track.width()), track.height());
    painter.setBrush(Theme::appAccentGradient(fill));
    painter.drawRoundedRect(fill, radius, radius);
}
