#include "ui/settings/StatusLine.h"

#include <QHBoxLayout>
#include <QLabel>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

StatusLine::StatusLine(const QString& icon, int pixelSize, QFont::Weight weight,
                       const QColor& colour, QWidget* parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_text(new QLabel(this)), m_iconName(icon),
      m_colour(colour), m_pixelSize(pixelSize)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_icon->setFixedSize(pixelSize + 2, pixelSize + 2);
    // Messages and versions come from the update server; they are shown as sent.
    m_text->setTextFormat(Qt::PlainText);
    m_text->setFont(Theme::font(pixelSize, weight));
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(m_icon, 0, Qt::AlignTop);
    row->addWidget(m_text, 1);
    setColour(colour);
}

QString StatusLine::text() const
{
    return m_text->text();
}

void StatusLine::setText(const QString& text)
{
    m_text->setText(text);
}

void StatusLine::setIcon(const QString& icon)
{
    m_iconName = icon;
    paintIcon();
}

void StatusLine::setColour(const QColor& colour)
{
    m_colour = colour;
    QPalette tinted = m_text->palette();
    tinted.setColor(QPalette::WindowText, colour);
    m_text->setPalette(tinted);
    paintIcon();
}

void StatusLine::setWeight(QFont::Weight weight)
{
    m_text->setFont(Theme::font(m_pixelSize, weight));
}

void StatusLine::paintIcon()
{
    if (m_iconName.isEmpty()) {
        m_icon->clear();
        return;
    }
    m_icon->setPixmap(Icons::pixmap(m_iconName, m_icon->size(), devicePixelRatioF(), m_colour));
}
