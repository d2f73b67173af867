#include "WipeView.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {
constexpr qreal kLineWidth = 2;
} // namespace

WipeView::WipeView(const QString& leftCaption, const QString& rightCaption, const Look& look,
                   QWidget* parent)
    : QWidget(parent), m_leftCaption(leftCaption), m_rightCaption(rightCaption), m_look(look)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCursor(Qt::SizeHorCursor);
    setFont(Theme::font(11, QFont::DemiBold));
}

WipeView::~WipeView() = default;

void WipeView::setFrac(qreal frac)
{
    frac = std::clamp<qreal>(frac, 0, 1);
    if (qFuzzyCompare(frac + 1, m_frac + 1))
        return;
    m_frac = frac;
    update();
    Q_EMIT fracChanged(m_frac);
}

void WipeView::followPointer(qreal x)
{
    // With no width to divide by, the raw position is used (and kept within 0 and 1).
    setFrac(width() < 1 ? x : x / width());
}

void WipeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        followPointer(event->position().x());
}

void WipeView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        followPointer(event->position().x());
}

QRectF WipeView::rightOfLine(const QRectF& area) const
{
    return QRectF(QPointF(lineX(area), 0), area.bottomRight() + QPointF(1, 1));
}

void WipeView::paintTag(QPainter& painter, const QRectF& area, const QString& text,
                        const QColor& fill, bool alignRight) const
{
    if (text.isEmpty())
        return;
    const QFontMetricsF metrics(painter.font());
    const QSizeF size(metrics.horizontalAdvance(text) + 2 * m_look.tagPadX,
                      metrics.height() + 2 * m_look.tagPadY);
    const qreal x =
        alignRight ? area.right() - m_look.tagInset - size.width() : area.left() + m_look.tagInset;
    const QRectF tag(QPointF(x, area.top() + m_look.tagInset), size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(tag, tag.height() / 2, tag.height() / 2);
    painter.setPen(Qt::white);
    painter.drawText(tag, Qt::AlignCenter, text);
}

void WipeView::paintOverlay(QPainter& painter, const QRectF& area) const
{
    paintTag(painter, area, m_leftCaption, m_look.leftTagFill, false);
    paintTag(painter, area, m_rightCaption, m_look.rightTagFill, true);

    // The wipe line and its knob, centred on the line at half height, with a soft shadow.
    const qreal x = lineX(area);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(x - kLineWidth / 2, 0, kLineWidth, area.height()));
    const QPointF centre(x, area.height() / 2);
    const qreal radius = m_look.knobDiameter / 2;
    const QRectF knob(centre.x() - radius, centre.y() - radius, m_look.knobDiameter,
                      m_look.knobDiameter);
    const qreal drop = m_look.knobShadowDrop;
    for (int ring = 3; ring >= 1; --ring) {
        painter.setBrush(QColor(0, 0, 0, 84 / (ring + 1)));
        painter.drawEllipse(knob.adjusted(-ring, -ring + drop, ring, ring + drop));
    }
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    const qreal icon = m_look.knobIcon;
    const QRectF iconRect(centre.x() - icon / 2, centre.y() - icon / 2, icon, icon);
    Icons::paint(painter, iconRect, QStringLiteral("arrow.left.and.right"), QColor(128, 128, 133));
}
