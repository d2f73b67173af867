#include "ActivityChart.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr int kHeight = 110;
constexpr qreal kBarRadius = 3;
constexpr qreal kLabelGap = 4;
// The share of each day's slot that its bar covers.
constexpr qreal kBarShare = 0.6;
} // namespace

ActivityChart::ActivityChart(const QColor& colour, QWidget* parent)
    : QWidget(parent), m_colour(colour)
{
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ActivityChart::setPoints(const QList<DashboardFigures::ActivityPoint>& points)
{
    m_points = points;
    update();
}

void ActivityChart::paintEvent(QPaintEvent*)
{
    if (m_points.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont labelFont = Theme::font(10);
    const QFontMetricsF metrics(labelFont);
    const qreal plotBottom = height() - metrics.height() - kLabelGap;
    int highest = 1;
    for (const auto& point : m_points)
        highest = std::max(highest, point.count);

    // A faint base line under the bars.
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.08f), 1));
    painter.drawLine(QPointF(0, plotBottom + 0.5), QPointF(width(), plotBottom + 0.5));

    const qreal slot = width() / static_cast<qreal>(m_points.size());
    const QLocale locale;
    QColor light = m_colour;
    light.setAlphaF(0.55f);
    for (qsizetype i = 0; i < m_points.size(); ++i) {
        const auto& point = m_points.at(i);
        const qreal left = i * slot;
        if (point.count > 0) {
            const qreal barHeight = plotBottom * point.count / highest;
            const qreal barWidth = slot * kBarShare;
            const QRectF bar(left + (slot - barWidth) / 2, plotBottom - barHeight, barWidth,
                             barHeight);
            QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
            fill.setColorAt(0, m_colour);
            fill.setColorAt(1, light);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(bar, kBarRadius, kBarRadius);
        }
        painter.setPen(Theme::secondaryText());
        painter.setFont(labelFont);
        const QString label = locale.toString(point.day.date(), QStringLiteral("MMM d"));
        painter.drawText(QRectF(left, plotBottom + kLabelGap, slot, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop,
                         metrics.elidedText(label, Qt::ElideRight, slot));
    }
}
