#include "BeforeAfterSlider.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {

constexpr qreal kTagInset = 8;
constexpr qreal kTagPadX = 8;
constexpr qreal kTagPadY = 4;
constexpr qreal kLineWidth = 2;
constexpr qreal kKnobDiameter = 28;
constexpr qreal kKnobIcon = 13;

// A capsule tag with white text on fill, anchored at a top corner of area.
void paintTag(QPainter& painter, const QRectF& area, const QString& text, const QColor& fill,
              bool alignRight)
{
    const QFontMetricsF metrics(painter.font());
    const QSizeF size(metrics.horizontalAdvance(text) + 2 * kTagPadX,
                      metrics.height() + 2 * kTagPadY);
    const qreal x = alignRight ? area.right() - kTagInset - size.width() : area.left() + kTagInset;
    const QRectF tag(QPointF(x, area.top() + kTagInset), size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(tag, tag.height() / 2, tag.height() / 2);
    painter.setPen(Qt::white);
    painter.drawText(tag, Qt::AlignCenter, text);
}

} // namespace

BeforeAfterSlider::BeforeAfterSlider(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCursor(Qt::SizeHorCursor);
    setFont(Theme::font(11, QFont::DemiBold));
}

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

void BeforeAfterSlider::setFrac(qreal frac)
{
    frac = std::clamp<qreal>(frac, 0, 1);
    if (qFuzzyCompare(frac + 1, m_frac + 1))
        return;
    m_frac = frac;
    update();
    Q_EMIT fracChanged(m_frac);
}

void BeforeAfterSlider::followPointer(qreal x)
{
    // With no width to divide by, the raw position is used (and kept within 0 and 1).
    setFrac(width() < 1 ? x : x / width());
}

void BeforeAfterSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        followPointer(event->position().x());
}

void BeforeAfterSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        followPointer(event->position().x());
}

void BeforeAfterSlider::resizeEvent(QResizeEvent* event)
{
    m_originalFitted = QPixmap();
    m_upscaledFitted = QPixmap();
    QWidget::resizeEvent(event);
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
    const qreal lineX = m_frac * area.width();
    painter.save();
    painter.setClipRect(QRectF(QPointF(lineX, 0), QPointF(area.right() + 1, area.bottom() + 1)));
    drawCentred(fitted(m_upscaled, m_upscaledFitted));
    painter.restore();

    QColor originalFill(0, 0, 0);
    originalFill.setAlphaF(0.55f);
    QColor upscaledFill = Theme::appAccent();
    upscaledFill.setAlphaF(0.9f);
    paintTag(painter, area, QStringLiteral("Original"), originalFill, false);
    paintTag(painter, area, QStringLiteral("Upscaled"), upscaledFill, true);

    // The wipe line and its knob, centred on the line at half height.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(lineX - kLineWidth / 2, 0, kLineWidth, area.height()));
    const QPointF centre(lineX, area.height() / 2);
    const QRectF knob(centre.x() - kKnobDiameter / 2, centre.y() - kKnobDiameter / 2, kKnobDiameter,
                      kKnobDiameter);
    for (int ring = 3; ring >= 1; --ring) {
        painter.setBrush(QColor(0, 0, 0, 84 / (ring + 1)));
        painter.drawEllipse(knob.adjusted(-ring, -ring + 1, ring, ring + 1));
    }
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    const QRectF iconRect(centre.x() - kKnobIcon / 2, centre.y() - kKnobIcon / 2, kKnobIcon,
                          kKnobIcon);
    Icons::paint(painter, iconRect, QStringLiteral("arrow.left.and.right"), QColor(128, 128, 133));
}
