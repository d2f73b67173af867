#include "RoundedBox.h"

#include <QPainter>

RoundedBox::RoundedBox(const QColor& fill, const QColor& outline, qreal radius, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_outline(outline), m_radius(radius)
{}

RoundedBox::~RoundedBox() = default;

void RoundedBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(m_fill);
    QRectF area(rect());
    if (m_outline.isValid()) {
        painter.setPen(QPen(m_outline, 1));
        area.adjust(0.5, 0.5, -0.5, -0.5);
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.drawRoundedRect(area, m_radius, m_radius);
}
