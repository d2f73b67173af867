#include "GradientText.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>

#include "ui/components/Theme.h"

GradientText::GradientText(const QFont& font, qreal minimumScale, QWidget* parent)
    : QWidget(parent), m_minimumScale(minimumScale)
{
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void GradientText::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

QFont GradientText::scaledFont(qreal scale) const
{
    QFont scaled = font();
    scaled.setPixelSize(std::max(1, static_cast<int>(std::floor(font().pixelSize() * scale))));
    return scaled;
}

QSize GradientText::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSizeF(std::ceil(metrics.horizontalAdvance(m_text)) + 1, std::ceil(metrics.height()))
        .toSize();
}

QSize GradientText::minimumSizeHint() const
{
    const QFontMetricsF metrics(scaledFont(m_minimumScale));
    return QSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(m_text))) + 1,
                 sizeHint().height());
}

void GradientText::paintEvent(QPaintEvent*)
{
    const QFontMetricsF full(font());
    const qreal fullWidth = full.horizontalAdvance(m_text);
    qreal scale = 1;
    if (fullWidth > width())
        scale = std::max(m_minimumScale, width() / fullWidth);
    const QFont shown = scaledFont(scale);
    const QFontMetricsF metrics(shown);
    const QString line = metrics.elidedText(m_text, Qt::ElideRight, width());
    const QRectF textRect(0, 0, std::min<qreal>(metrics.horizontalAdvance(line), width()),
                          height());

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(shown);
    painter.setPen(QPen(QBrush(Theme::appAccentGradient(textRect)), 1));
    painter.drawText(QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, line);
}
