#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// Making and colouring text labels in the application's fonts and colours.
// Threading: main thread (they make and change widgets).
namespace Labels {

// A label showing text in the font and colour. The text is shown as it is, never read as markup,
// so file names and messages with angle brackets appear literally.
QLabel* make(const QString& text, const QFont& font, const QColor& colour,
             QWidget* parent = nullptr);
// The same in the secondary text colour.
QLabel* secondary(const QString& text, const QFont& font, QWidget* parent = nullptr);
// Sets the colour the widget draws its text in.
void setTextColour(QWidget& widget, const QColor& colour);

} // namespace Labels
