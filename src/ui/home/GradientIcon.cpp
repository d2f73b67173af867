#include "GradientIcon.h"

#include <QPainter>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

GradientIcon::GradientIcon(const QString& name, int size, QWidget* parent)
    : QWidget(parent), m_name(name)
{
    setFixedSize(size, size);
}

void GradientIcon::setName(const QString& name)
{
    if (name == m_name)
        return;
    m_name = name;
    update();
}

void GradientIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF area(rect());
    Icons::paint(painter, area, m_name, Theme::appAccentGradient(area));
}
