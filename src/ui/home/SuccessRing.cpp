#include "SuccessRing.h"

#include <algorithm>

#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr int kSide = 92;
constexpr qreal kLineWidth = 9;
// An empty rate still shows a dot of the arc.
constexpr double kMinimumRate = 0.001;
} // namespace

SuccessRing::SuccessRing(QWidget* parent) : QWidget(parent)
{
    setFixedSize(kSide, kSide);
}

void SuccessRing::setValue(double rate, const QString& text)
{
    m_rate = rate;
    m_text = text;
    update();
}

void SuccessRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring =
        QRectF(rect()).adjusted(kLineWidth / 2, kLineWidth / 2, -kLineWidth / 2, -kLineWidth / 2);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.08f), kLineWidth));
    painter.drawEllipse(ring);
    QPen arc(QBrush(Theme::appAccentGradient(ring)), kLineWidth);
    arc.setCapStyle(Qt::RoundCap);
    painter.setPen(arc);
    const double fraction = std::clamp(std::max(m_rate, kMinimumRate), 0.0, 1.0);
    // Qt's angles are in sixteenths of a degree, counter-clockwise from 3 o'clock.
    painter.drawArc(ring, 90 * 16, -qRound(fraction * 360 * 16));
    painter.setPen(Qt::black);
    painter.setFont(Theme::font(20, QFont::Bold));
    painter.drawText(QRectF(rect()), Qt::AlignCenter, m_text);
}
