#include "DashWidgets.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "ui/components/Labels.h"
#include "ui/components/Theme.h"

namespace DashWidgets {

QWidget* divider(Qt::Orientation orientation, int length, QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setAutoFillBackground(true);
    QPalette colours = line->palette();
    colours.setColor(QPalette::Window, QColor(0, 0, 0, 28));
    line->setPalette(colours);
    if (orientation == Qt::Vertical) {
        line->setFixedSize(1, length);
    } else {
        line->setFixedHeight(1);
        line->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    return line;
}

QWidget* figure(const QString& value, const QFont& valueFont, const QString& caption, int spacing,
                const QString& valueName, QWidget* parent)
{
    auto* column = new QWidget(parent);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    auto* valueLabel = new QLabel(value, column);
    valueLabel->setObjectName(valueName);
    valueLabel->setFont(valueFont);
    valueLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(valueLabel);
    layout->addWidget(Labels::secondary(caption, Theme::font(11), column));
    return column;
}

} // namespace DashWidgets
