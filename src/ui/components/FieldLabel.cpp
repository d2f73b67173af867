#include "FieldLabel.h"

#include "ui/components/Theme.h"

FieldLabel::FieldLabel(const QString& text, QWidget* parent) : QLabel(parent)
{
    QFont captionFont = Theme::font(11, QFont::Bold);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    setFont(captionFont);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Theme::secondaryText());
    setPalette(colours);
    setCaption(text);
}

void FieldLabel::setCaption(const QString& text)
{
    setText(text.toUpper());
}
