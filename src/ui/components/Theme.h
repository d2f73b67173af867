#pragma once

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QMarginsF>
#include <QRectF>

class QPainter;

// The application's colours, fonts and the translucent card look shared by every screen.
// Sizes are in device-independent pixels: one design point is one pixel at scale factor 1.
namespace Theme {

QColor appAccent();
QColor appAccent2();
QColor appBG();
// Secondary text and glyphs (captions, hints).
QColor secondaryText();
QColor successColor();
QColor failureColor();

// appAccent at the top-left corner of rect to appAccent2 at its bottom-right corner.
QLinearGradient appAccentGradient(const QRectF& rect);

// The system font at a pixel size and weight; monospaced when asked.
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal, bool monospaced = false);

// Glass card: a translucent light fill in a rounded rectangle, a 1-pixel outline of black at 7 %
// and a soft shadow of black at 5 % (blur radius 12, 6 down). The shadow reaches past rect by
// glassShadowMargins(); the caller must leave that room painted by the same painter.
void paintGlassCard(QPainter& painter, const QRectF& rect, qreal radius);
// Only the shadow part of the glass card.
void paintGlassShadow(QPainter& painter, const QRectF& rect, qreal radius);
// How far the shadow reaches past each edge of the card (left, top, right, bottom).
QMarginsF glassShadowMargins();

// The material of segmented controls and other translucent chrome, without the shadow.
void paintMaterial(QPainter& painter, const QRectF& rect, qreal radius, qreal outlineOpacity);

} // namespace Theme
