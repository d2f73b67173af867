#include "Icons.h"

#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QLoggingCategory>
#include <QMutex>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QSvgRenderer>

namespace {

Q_LOGGING_CATEGORY(lcIcons, "korvane.icons")

// Shown for names the set does not have.
const QString kFallbackName = QStringLiteral("questionmark.square.dashed");

// The SVG sources paint with "currentColor"; parts that are cut out of a filled shape (the tick
// in a filled circle, say) paint with "cutColor". Cutting happens in a second pass so holes are
// truly transparent whatever lies under the icon.
QByteArray sourceFor(const QString& name)
{
    static QMutex mutex;
    static QHash<QString, QByteArray> sources;
    const QMutexLocker lock(&mutex);
    const auto found = sources.constFind(name);
    if (found != sources.constEnd())
        return found.value();
    QFile file(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    sources.insert(name, data);
    return data;
}

QString resolvedName(const QString& name)
{
    if (!sourceFor(name).isEmpty())
        return name;
    static QMutex mutex;
    static QSet<QString> reported;
    const QMutexLocker lock(&mutex);
    if (!reported.contains(name)) {
        reported.insert(name);
        qCWarning(lcIcons) << "no icon named" << name << "- showing a placeholder";
    }
    return kFallbackName;
}

void renderSvg(QPainter& painter, const QByteArray& svg, const QRectF& target)
{
    QSvgRenderer renderer(svg);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    renderer.render(&painter, target);
}

// Draws the icon opaque in color into a transparent image of pixelSize.
QImage renderImage(const QString& name, const QSize& pixelSize, const QColor& color)
{
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (pixelSize.isEmpty())
        return image;
    const QByteArray source = sourceFor(resolvedName(name));
    QByteArray shape = source;
    shape.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    shape.replace("cutColor", "none");
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target(QPointF(0, 0), QSizeF(pixelSize));
    painter.setOpacity(color.alphaF());
    renderSvg(painter, shape, target);
    if (source.contains("cutColor")) {
        QByteArray cut = source;
        cut.replace("currentColor", "none");
        cut.replace("cutColor", "#000000");
        painter.setOpacity(1);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        renderSvg(painter, cut, target);
    }
    return image;
}

class LineIconEngine final : public QIconEngine {
public:
    LineIconEngine(QString name, QColor color) : m_name(std::move(name)), m_color(color) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = render((QSizeF(rect.size()) * dpr).toSize(), mode);
        drawn.setDevicePixelRatio(dpr);
        painter->drawPixmap(rect, drawn);
    }

    // QIcon asks for the size in device pixels and sets the pixmap's ratio itself.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        return render(size, mode);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QString key() const override { return QStringLiteral("KorvaneLineIcon"); }
    QString iconName() override { return m_name; }
    QIconEngine* clone() const override { return new LineIconEngine(m_name, m_color); }

private:
    QPixmap render(const QSize& pixelSize, QIcon::Mode mode) const
    {
        const QString key = QStringLiteral("korvane-icon-%1-%2-%3x%4-%5")
                                .arg(m_name, m_color.name(QColor::HexArgb))
                                .arg(pixelSize.width())
                                .arg(pixelSize.height())
                                .arg(static_cast<int>(mode));
        QPixmap result;
        if (!QPixmapCache::find(key, &result)) {
            QColor color = m_color;
            if (mode == QIcon::Disabled)
                color.setAlphaF(color.alphaF() * 0.35f);
            result = QPixmap::fromImage(renderImage(m_name, pixelSize, color));
            QPixmapCache::insert(key, result);
        }
        return result;
    }

    QString m_name;
    QColor m_color;
};

} // namespace

namespace Icons {

QColor defaultColor()
{
    return QColor(29, 29, 31);
}

QIcon icon(const QString& name, const QColor& color)
{
    return QIcon(new LineIconEngine(name, color));
}

QPixmap pixmap(const QString& name, const QSize& logicalSize, qreal devicePixelRatio,
               const QColor& color)
{
    return icon(name, color).pixmap(logicalSize, devicePixelRatio);
}

void paint(QPainter& painter, const QRectF& rect, const QString& name, const QBrush& brush)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixelSize = (rect.size() * dpr).toSize();
    QImage image = renderImage(name, pixelSize, Qt::black);
    {
        // Fill the icon's shape with the brush, mapped from rect to the image.
        QPainter fill(&image);
        fill.setCompositionMode(QPainter::CompositionMode_SourceIn);
        fill.scale(dpr, dpr);
        fill.translate(-rect.topLeft());
        fill.fillRect(rect, brush);
    }
    image.setDevicePixelRatio(dpr);
    painter.drawImage(rect.topLeft(), image);
}

bool contains(const QString& name)
{
    return !sourceFor(name).isEmpty();
}

} // namespace Icons
