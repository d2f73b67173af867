#include "CapsuleMenuButton.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {
constexpr qreal kPadX = 12;
constexpr qreal kPadY = 7;
constexpr qreal kIconGap = 5;
} // namespace

CapsuleMenuButton::CapsuleMenuButton(const QString& iconName, const QString& text, QWidget* parent)
    : QToolButton(parent), m_iconName(iconName)
{
    setText(text);
    setFont(Theme::font(12, QFont::DemiBold));
    setPopupMode(QToolButton::InstantPopup);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CapsuleMenuButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal icon = metrics.height();
    return QSizeF(std::ceil(2 * kPadX + icon + kIconGap + metrics.horizontalAdvance(text())),
                  std::ceil(2 * kPadY + metrics.height()))
        .toSize();
}

void CapsuleMenuButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::appAccentGradient(capsule));
    if (isDown())
        painter.setOpacity(0.85);
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);

    const QFontMetricsF metrics(font());
    const qreal iconSide = metrics.height();
    const qreal contentWidth = iconSide + kIconGap + metrics.horizontalAdvance(text());
    const qreal left = (width() - contentWidth) / 2;
    const QRectF iconRect(left, (height() - iconSide) / 2, iconSide, iconSide);
    Icons::paint(painter, iconRect, m_iconName, QBrush(Qt::white));
    painter.setPen(Qt::white);
    painter.drawText(QRectF(iconRect.right() + kIconGap, 0, width(), height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}
