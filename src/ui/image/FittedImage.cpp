#include "ui/image/FittedImage.h"

#include <QPainter>

FittedImage::FittedImage(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FittedImage::setImage(const QImage& image)
{
    m_image = image;
    m_cache = QPixmap();
    update();
}

void FittedImage::paintEvent(QPaintEvent*)
{
    if (m_image.isNull() || width() < 1 || height() < 1)
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize target = m_image.size().scaled(size() * ratio, Qt::KeepAspectRatio);
    if (m_cache.isNull() || m_cache.size() != target) {
        m_cache = QPixmap::fromImage(
            m_image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_cache.setDevicePixelRatio(ratio);
    }
    const QSizeF shown = QSizeF(m_cache.size()) / ratio;
    QPainter painter(this);
    painter.drawPixmap(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                       m_cache);
}
