#include "StatusTag.h"

#include <QFontMetricsF>
#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr qreal kPadX = 9;
constexpr qreal kPadY = 3;
} // namespace

StatusTag::StatusTag(bool success, QWidget* parent) : QWidget(parent), m_success(success)
{
    setFont(Theme::font(11, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusTag::setSuccess(bool success)
{
    if (success == m_success)
        return;
    m_success = success;
    updateGeometry();
    update();
}

QString StatusTag::text() const
{
    return m_success ? QStringLiteral("Success") : QStringLiteral("Failed");
}

QSize StatusTag::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSizeF(metrics.horizontalAdvance(text()) + 2 * kPadX, metrics.height() + 2 * kPadY)
        .toSize()
        .expandedTo(QSize(1, 1));
}

void StatusTag::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = m_success ? Theme::successColor() : Theme::failureColor();
    QColor fill = colour;
    fill.setAlphaF(0.14f);
    const QSize hint = sizeHint();
    const QRectF capsule(0, (height() - hint.height()) / 2.0, hint.width(), hint.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.setPen(colour);
    painter.drawText(capsule, Qt::AlignCenter, text());
}
