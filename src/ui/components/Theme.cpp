#include "Theme.h"

#include <algorithm>
#include <vector>

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

namespace {

// The shadow's blur reaches this far past the card's edges; it is drawn this far down.
constexpr qreal kShadowExtent = 12;
constexpr qreal kShadowOffsetY = 6;
constexpr qreal kShadowOpacity = 0.05;

// One pass of a box blur of the given radius over the rows of an 8-bit image, in place.
void boxBlurRows(uchar* bits, int width, int height, qsizetype stride, int radius)
{
    std::vector<int> row(static_cast<size_t>(width));
    const int window = 2 * radius + 1;
    for (int y = 0; y < height; ++y) {
        uchar* line = bits + y * stride;
        for (int x = 0; x < width; ++x)
            row[static_cast<size_t>(x)] = line[x];
        int sum = 0;
        for (int x = -radius; x <= radius; ++x)
            sum += (x >= 0 && x < width) ? row[static_cast<size_t>(x)] : 0;
        for (int x = 0; x < width; ++x) {
            line[x] = static_cast<uchar>(sum / window);
            const int out = x - radius;
            const int in = x + radius + 1;
            sum -= (out >= 0) ? row[static_cast<size_t>(out)] : 0;
            sum += (in < width) ? row[static_cast<size_t>(in)] : 0;
        }
    }
}

// Approximates a Gaussian blur by three box blurs along each axis.
QImage blurred(const QImage& source, int radius)
{
    QImage image = source;
    for (int pass = 0; pass < 3; ++pass) {
        boxBlurRows(image.bits(), image.width(), image.height(), image.bytesPerLine(), radius);
        QImage turned = image.transformed(QTransform(0, 1, 1, 0, 0, 0));
        boxBlurRows(turned.bits(), turned.width(), turned.height(), turned.bytesPerLine(), radius);
        image = turned.transformed(QTransform(0, 1, 1, 0, 0, 0));
    }
    return image;
}

// The blurred silhouette of a rounded rectangle of the given logical size, with kShadowExtent
// of room on every side, at the given device pixel ratio.
QPixmap shadowSilhouette(const QSizeF& size, qreal radius, qreal dpr)
{
    const QString key = QStringLiteral("korvane-glass-shadow-%1x%2-%3-%4")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(radius)
                            .arg(dpr);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    const QSizeF logical = size + QSizeF(2 * kShadowExtent, 2 * kShadowExtent);
    QImage image((logical * dpr).toSize(), QImage::Format_Alpha8);
    image.fill(0);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(dpr, dpr);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(QRectF(QPointF(kShadowExtent, kShadowExtent), size), radius,
                                radius);
    }
    image = blurred(image, std::max(1, qRound(kShadowExtent * dpr / 3)));
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

namespace Theme {

QColor appAccent()
{
    return QColor(79, 108, 255);
}

QColor appAccent2()
{
    return QColor(122, 92, 255);
}

QColor appBG()
{
    return QColor(244, 245, 249);
}

QColor secondaryText()
{
    return QColor(60, 60, 67, 153);
}

QColor successColor()
{
    return QColor(40, 167, 69);
}

QColor failureColor()
{
    return QColor(255, 59, 48);
}

QLinearGradient appAccentGradient(const QRectF& rect)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, appAccent());
    gradient.setColorAt(1, appAccent2());
    return gradient;
}

QFont font(qreal pixelSize, QFont::Weight weight, bool monospaced)
{
    QFont result = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
    result.setPixelSize(std::max(1, qRound(pixelSize)));
    result.setWeight(weight);
    return result;
}

QMarginsF glassShadowMargins()
{
    return QMarginsF(kShadowExtent, kShadowExtent - kShadowOffsetY, kShadowExtent,
                     kShadowExtent + kShadowOffsetY);
}

void paintGlassShadow(QPainter& painter, const QRectF& rect, qreal radius)
{
    if (rect.isEmpty())
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRectF target =
        rect.adjusted(-kShadowExtent, -kShadowExtent, kShadowExtent, kShadowExtent)
            .translated(0, kShadowOffsetY);
    painter.save();
    painter.setOpacity(painter.opacity() * kShadowOpacity);
    // Large cards stretch the middle of a small silhouette (nine patches): its edges are
    // uniform along their length, so the result is the same at a fraction of the cost.
    const qreal corner = radius + 2 * kShadowExtent;
    if (rect.width() < 2 * corner + 2 || rect.height() < 2 * corner + 2) {
        painter.drawPixmap(target.topLeft(), shadowSilhouette(rect.size(), radius, dpr));
        painter.restore();
        return;
    }
    const qreal side = 2 * corner + 2 - 2 * kShadowExtent;
    const QPixmap patch = shadowSilhouette(QSizeF(side, side), radius, dpr);
    const qreal patchSide = side + 2 * kShadowExtent;
    const qreal xs[] = {0, corner, patchSide - corner, patchSide};
    const qreal txs[] = {target.left(), target.left() + corner, target.right() - corner,
                         target.right()};
    const qreal tys[] = {target.top(), target.top() + corner, target.bottom() - corner,
                         target.bottom()};
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF to(QPointF(txs[column], tys[row]), QPointF(txs[column + 1], tys[row + 1]));
            const QRectF from(QPointF(xs[column] * dpr, xs[row] * dpr),
                              QPointF(xs[column + 1] * dpr, xs[row + 1] * dpr));
            painter.drawPixmap(to, patch, from);
        }
    }
    painter.restore();
}

void paintMaterial(QPainter& painter, const QRectF& rect, qreal radius, qreal outlineOpacity)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 165));
    painter.drawRoundedRect(rect, radius, radius);
    QColor outline(0, 0, 0);
    outline.setAlphaF(static_cast<float>(outlineOpacity));
    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}

void paintGlassCard(QPainter& painter, const QRectF& rect, qreal radius)
{
    paintGlassShadow(painter, rect, radius);
    paintMaterial(painter, rect, radius, 0.07);
}

} // namespace Theme
