#pragma once

class QLabel;
class QString;
class QWidget;

// A wrapping explanation in the secondary text colour at a small size.
QLabel* makeSecondaryLabel(const QString& text, int pixelSize, QWidget* parent);
