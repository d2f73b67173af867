#pragma once

#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;

// The application's own line icons, drawn from SVG resources at whatever size and scale factor
// they are shown, so they stay sharp on every screen and look the same whatever icon theme the
// desktop uses. Names follow the screens' icon identifiers ("house.fill", "photo", "film", …).
// An unknown name gives a visible placeholder glyph and a warning, once per name.
namespace Icons {

// The default colour of icons: the text colour of the light appearance.
QColor defaultColor();

// An icon in one colour; the disabled mode draws it faded.
QIcon icon(const QString& name, const QColor& color = defaultColor());

// The icon drawn into a pixmap of a logical size at a device pixel ratio.
QPixmap pixmap(const QString& name, const QSize& logicalSize, qreal devicePixelRatio,
               const QColor& color = defaultColor());

// Paints the icon into rect, filled with any brush (a gradient, for example).
void paint(QPainter& painter, const QRectF& rect, const QString& name, const QBrush& brush);

// Whether the set has an icon of that name.
bool contains(const QString& name);

} // namespace Icons
