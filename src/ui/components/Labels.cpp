#include "Labels.h"

#include <QLabel>

#include "ui/components/Theme.h"

namespace Labels {

QLabel* make(const QString& text, const QFont& font, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    setTextColour(*label, colour);
    return label;
}

QLabel* secondary(const QString& text, const QFont& font, QWidget* parent)
{
    return make(text, font, Theme::secondaryText(), parent);
}

void setTextColour(QWidget& widget, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(widget.foregroundRole(), colour);
    widget.setPalette(palette);
}

} // namespace Labels
