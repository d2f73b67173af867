#include "GlassCard.h"

#include <QEvent>
#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr qreal kGlassOutlineOpacity = 0.07;
constexpr float kOutlineOpacity = 0.06f;
constexpr float kHeaderAccentOpacity = 0.10f;
} // namespace

GlassCard::GlassCard(qreal radius, QWidget* parent) : GlassCard(Style::Glass, radius, parent) {}

GlassCard::GlassCard(Style style, qreal radius, QWidget* parent)
    : QWidget(parent), m_style(style), m_radius(radius)
{
    setAttribute(Qt::WA_StyledBackground, false);
    watchParent();
}

GlassCard::~GlassCard()
{
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    updateShadowArea(m_lastGeometry);
}

void GlassCard::setRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_radius))
        return;
    m_radius = radius;
    updateShadowArea(geometry());
    update();
}

void GlassCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF area(rect());
    if (m_style == Style::Glass) {
        Theme::paintMaterial(painter, area, m_radius, kGlassOutlineOpacity);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_style == Style::Header) {
        const QColor accent = Theme::appAccent();
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
    // Child cards are painted after this one; their shadows go between.
    for (QObject* child : children()) {
        auto* card = qobject_cast<GlassCard*>(child);
        if (card && card->isVisible())
            card->paintShadow(painter);
    }
}

void GlassCard::paintShadow(QPainter& painter) const
{
    Theme::paintGlassShadow(painter, QRectF(geometry()), m_radius);
}

bool GlassCard::event(QEvent* event)
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

bool GlassCard::eventFilter(QObject* watched, QEvent* event)
{
    // Paint the shadow on the parent before the parent paints itself; children, this card
    // included, are painted afterwards and cover it.
    if (watched == m_watchedParent && event->type() == QEvent::Paint && isVisible()) {
        QPainter painter(m_watchedParent);
        paintShadow(painter);
    }
    return QWidget::eventFilter(watched, event);
}

GlassCard* GlassCard::opaqueParentCard() const
{
    auto* card = qobject_cast<GlassCard*>(parentWidget());
    return card && card->isOpaque() ? card : nullptr;
}

void GlassCard::watchParent()
{
    QWidget* parent = opaqueParentCard() ? nullptr : parentWidget();
    if (m_watchedParent == parent)
        return;
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    m_watchedParent = parent;
    if (m_watchedParent)
        m_watchedParent->installEventFilter(this);
}

void GlassCard::updateShadowArea(const QRect& area)
{
    QWidget* parent = parentWidget();
    if (!parent || area.isEmpty())
        return;
    const QMarginsF margins = Theme::glassShadowMargins();
    parent->update(area.marginsAdded(margins.toMargins() + QMargins(1, 1, 1, 1)));
}
