#include "ui/components/ElidedLabel.h"

#include <QPainter>

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent, Qt::TextElideMode mode)
    : QLabel(parent), m_mode(mode)
{
    // Names are shown as typed, never read as markup.
    setTextFormat(Qt::PlainText);
    setFullText(text);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text)
{
    m_full = text;
    // QLabel keeps the full text, so text() and accessibility read the whole name.
    setText(text);
    updateGeometry();
    update();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, fontMetrics().height());
}

QSize ElidedLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(m_full), fontMetrics().height());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(m_full, m_mode, area.width());
    painter.drawText(area, int(alignment() | Qt::TextSingleLine), shown);
}
