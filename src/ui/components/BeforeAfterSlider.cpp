#include "BeforeAfterSlider.h"

#include <QPainter>

#include "ui/components/Theme.h"

namespace {
WipeView::Look look()
{
    WipeView::Look look;
    look.leftTagFill = QColor(0, 0, 0);
    look.leftTagFill.setAlphaF(0.55f);
    look.rightTagFill = Theme::appAccent();
    look.rightTagFill.setAlphaF(0.9f);
    look.knobShadowDrop = 1;
    return look;
}
} // namespace

BeforeAfterSlider::BeforeAfterSlider(QWidget* parent)
    : WipeView(QStringLiteral("Original"), QStringLiteral("Upscaled"), look(), parent)
{}

BeforeAfterSlider::BeforeAfterSlider(const QImage& original, const QImage& upscaled,
                                     QWidget* parent)
    : BeforeAfterSlider(parent)
{
    setImages(original, upscaled);
}

void BeforeAfterSlider::setImages(const QImage& original, const QImage& upscaled)
{
    m_original = original;
    m_upscaled = upscaled;
    m_originalFitted = QPixmap();
    m_upscaledFitted = QPixmap();
    update();
}

void BeforeAfterSlider::resizeEvent(QResizeEvent* event)
{
    m_originalFitted = QPixmap();
    m_upscaledFitted = QPixmap();
    WipeView::resizeEvent(event);
}

QPixmap BeforeAfterSlider::fitted(const QImage& image, QPixmap& cache) const
{
    if (image.isNull() || width() < 1 || height() < 1)
        return QPixmap();
    const qreal dpr = devicePixelRatioF();
    const QSize target = (QSizeF(size()) * dpr).toSize();
    const QSize wanted = image.size().scaled(target, Qt::KeepAspectRatio);
    if (cache.isNull() || cache.size() != wanted) {
        cache =
            QPixmap::fromImage(image.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        cache.setDevicePixelRatio(dpr);
    }
    return cache;
}

void BeforeAfterSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area(rect());

    const auto drawCentred = [&](const QPixmap& pixmap) {
        if (pixmap.isNull())
            return;
        const QSizeF logical = pixmap.deviceIndependentSize();
        painter.drawPixmap(
            QPointF((area.width() - logical.width()) / 2, (area.height() - logical.height()) / 2),
            pixmap);
    };
    drawCentred(fitted(m_original, m_originalFitted));
    painter.save();
    painter.setClipRect(rightOfLine(area));
    drawCentred(fitted(m_upscaled, m_upscaledFitted));
    painter.restore();
    paintOverlay(painter, area);
}
