#include "GlassCard.h"

#include <QEvent>
#include <QPainter>

#include "ui/components/Theme.h"

GlassCard::GlassCard(qreal radius, QWidget* parent) : QWidget(parent), m_radius(radius)
{
    setAttribute(Qt::WA_StyledBackground, false);
    watchParent();
}

GlassCard::~GlassCard()
{
    if (m_watchedParent) {
        m_watchedParent->removeEventFilter(this);
        updateShadowArea(m_lastGeometry);
    }
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
    Theme::paintMaterial(painter, QRectF(rect()), m_radius, 0.07);
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
        Theme::paintGlassShadow(painter, QRectF(geometry()), m_radius);
    }
    return QWidget::eventFilter(watched, event);
}

void GlassCard::watchParent()
{
    if (m_watchedParent == parentWidget())
        return;
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    m_watchedParent = parentWidget();
    if (m_watchedParent)
        m_watchedParent->installEventFilter(this);
}

void GlassCard::updateShadowArea(const QRect& area)
{
    if (!m_watchedParent || area.isEmpty())
        return;
    const QMarginsF margins = Theme::glassShadowMargins();
    m_watchedParent->update(area.marginsAdded(margins.toMargins() + QMargins(1, 1, 1, 1)));
}
