#include "ui/settings/SecondaryLabel.h"

#include <QLabel>

#include "ui/components/Theme.h"

QLabel* makeSecondaryLabel(const QString& text, int pixelSize, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(Theme::font(pixelSize));
    label->setWordWrap(true);
    QPalette secondary = label->palette();
    secondary.setColor(QPalette::WindowText, Theme::secondaryText());
    label->setPalette(secondary);
    return label;
}
