#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// Small building blocks shared by the dashboard and the savings card.
namespace DashWidgets {

// A thin divider line: vertical and length tall, or horizontal across the available width.
QWidget* divider(Qt::Orientation orientation, int length, QWidget* parent);
// A column of a figure over its caption (11 points, secondary), spacing apart. The figure label
// is named valueName so tests and callers can find it.
QWidget* figure(const QString& value, const QFont& valueFont, const QString& caption, int spacing,
                const QString& valueName, QWidget* parent);

} // namespace DashWidgets
