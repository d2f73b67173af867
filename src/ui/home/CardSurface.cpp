#include "CardSurface.h"

#include <QEvent>
#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr float kOutlineOpacity = 0.06f;
constexpr float kHeaderAccentOpacity = 0.10f;
} // namespace

CardSurface::CardSurface(Style style, qreal radius, QWidget* parent)
    : QWidget(parent), m_style(style), m_radius(radius)
{
    watchParent();
}

CardSurface::~CardSurface()
{
    if (m_watchedParent) {
        m_watchedParent->removeEventFilter(this);
        updateShadowArea(m_lastGeometry);
    }
}

void CardSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(rect());
    if (m_style == Style::Glass) {
        Theme::paintMaterial(painter, area, m_radius, 0.07);
    } else {
        if (m_style == Style::Header) {
            QColor accent = Theme::appAccent();
            accent.setAlphaF(kHeaderAccentOpacity);
            // White blended towards the accent, so the wash stays opaque over any background.
            QLinearGradient wash(area.topLeft(), area.topRight());
            wash.setColorAt(0, Qt::white);
            wash.setColorAt(1, QColor::fromRgbF(1 - (1 - accent.redF()) * kHeaderAccentOpacity,
                                                1 - (1 - accent.greenF()) * kHeaderAccentOpacity,
                                                1 - (1 - accent.blueF()) * kHeaderAccentOpacity));
            painter.setBrush(wash);
        } else {
            painter.setBrush(Qt::white);
        }
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(area, m_radius, m_radius);
        painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, kOutlineOpacity), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    }
    // Child cards are painted after this one; their shadows go between.
    for (QObject* child : children()) {
        auto* card = qobject_cast<CardSurface*>(child);
        if (card && card->isVisible())
            card->paintShadow(painter);
    }
}

void CardSurface::paintShadow(QPainter& painter) const
{
    Theme::paintGlassShadow(painter, QRectF(geometry()), m_radius);
}

bool CardSurface::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        watchParent();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        // The shadow lies on the parent: repaint where it was and where it is now.
        updateShadowArea(m_lastGeometry);
        updateShadowArea(geometry());
        m_lastGeometry = geometry();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool CardSurface::eventFilter(QObject* watched, QEvent* event)
{
    // A plain parent: paint the shadow before the parent paints; its children, this card
    // included, cover it afterwards.
    if (watched == m_watchedParent && event->type() == QEvent::Paint && isVisible()) {
        QPainter painter(m_watchedParent);
        painter.setRenderHint(QPainter::Antialiasing);
        paintShadow(painter);
    }
    return QWidget::eventFilter(watched, event);
}

void CardSurface::watchParent()
{
    QWidget* parent = parentWidget();
    // A parent card paints its children's shadows itself, over its own fill.
    if (qobject_cast<CardSurface*>(parent))
        parent = nullptr;
    if (m_watchedParent == parent)
        return;
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    m_watchedParent = parent;
    if (m_watchedParent)
        m_watchedParent->installEventFilter(this);
}

void CardSurface::updateShadowArea(const QRect& area)
{
    QWidget* parent = parentWidget();
    if (!parent || area.isEmpty())
        return;
    const QMarginsF margins = Theme::glassShadowMargins();
    parent->update(area.marginsAdded(margins.toMargins() + QMargins(1, 1, 1, 1)));
}
