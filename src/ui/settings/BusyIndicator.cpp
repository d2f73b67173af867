#include "ui/settings/BusyIndicator.h"

#include <algorithm>

#include <QPainter>
#include <QTimer>

BusyIndicator::BusyIndicator(int diameter, const QColor& colour, QWidget* parent)
    : QWidget(parent), m_diameter(diameter), m_colour(colour), m_timer(new QTimer(this))
{
    setFixedSize(diameter, diameter);
    m_timer->setInterval(40);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

bool BusyIndicator::isSpinning() const
{
    return m_timer->isActive();
}

void BusyIndicator::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer->start();
}

void BusyIndicator::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal line = std::max(1.5, m_diameter / 7.0);
    const QRectF ring = QRectF(rect()).adjusted(line, line, -line, -line);
    QColor track = m_colour;
    track.setAlphaF(0.25f);
    painter.setPen(QPen(track, line));
    painter.drawEllipse(ring);
    painter.setPen(QPen(m_colour, line, Qt::SolidLine, Qt::RoundCap));
    // Qt measures arcs in sixteenths of a degree, counter-clockwise from three o'clock.
    painter.drawArc(ring, -m_angle * 16, 100 * 16);
}
