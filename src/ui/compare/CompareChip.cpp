#include "CompareChip.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {

constexpr int kTileWidth = 100;
constexpr int kTileHeight = 56;
constexpr qreal kTileRadius = 8;
constexpr qreal kBadge = 18;
constexpr int kNameGap = 4;
constexpr qreal kNameSize = 10;

// The picture scaled to fill the tile (cropped, centred), made once per chip.
QPixmap fillTile(const QImage& image, qreal dpr)
{
    if (image.isNull())
        return QPixmap();
    const QSize target = (QSizeF(kTileWidth, kTileHeight) * dpr).toSize();
    const QImage scaled =
        image.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRect crop((scaled.width() - target.width()) / 2, (scaled.height() - target.height()) / 2,
                     target.width(), target.height());
    QPixmap pixmap = QPixmap::fromImage(scaled.copy(crop));
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

} // namespace

CompareChip::CompareChip(const CompareItem& item, const QString& badge, QWidget* parent)
    : QAbstractButton(parent), m_item(item), m_badge(badge)
{
    setCursor(Qt::PointingHandCursor);
    setFont(Theme::font(kNameSize));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(item.fileName());
    makeThumbnail();

    auto* setA = new QAction(Icons::icon(QStringLiteral("a.circle")), tr("Set as A"), this);
    auto* setB = new QAction(Icons::icon(QStringLiteral("b.circle")), tr("Set as B"), this);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* remove = new QAction(Icons::icon(QStringLiteral("trash")), tr("Remove"), this);
    addActions({setA, setB, separator, remove});
    connect(setA, &QAction::triggered, this, [this] { Q_EMIT setAsRequested(CompareSlot::A); });
    connect(setB, &QAction::triggered, this, [this] { Q_EMIT setAsRequested(CompareSlot::B); });
    connect(remove, &QAction::triggered, this, &CompareChip::removeRequested);
}

void CompareChip::setItem(const CompareItem& item)
{
    m_item = item;
    makeThumbnail();
    update();
}

void CompareChip::setBadge(const QString& badge)
{
    if (badge == m_badge)
        return;
    m_badge = badge;
    update();
}

void CompareChip::makeThumbnail()
{
    m_thumbnail = fillTile(m_item.image, devicePixelRatioF());
}

QSize CompareChip::sizeHint() const
{
    // A little room under the name for descenders and underscores.
    return QSize(kTileWidth, kTileHeight + kNameGap + QFontMetrics(font()).height() + 3);
}

void CompareChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(0.5, 0.5, kTileWidth - 1, kTileHeight - 1);
    QPainterPath shape;
    shape.addRoundedRect(tile, kTileRadius, kTileRadius);

    painter.fillPath(shape, QColor(0, 0, 0, isDown() ? 26 : 13));
    if (!m_thumbnail.isNull()) {
        painter.save();
        painter.setClipPath(shape);
        painter.drawPixmap(QPointF(0, 0), m_thumbnail);
        painter.restore();
    } else {
        const QRectF icon(tile.center() - QPointF(11, 11), QSizeF(22, 22));
        Icons::paint(painter, icon, QStringLiteral("film"), Theme::appAccent());
    }

    if (!m_badge.isEmpty()) {
        painter.setPen(QPen(Theme::appAccent(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
        const QRectF badge(tile.right() - kBadge - 4, tile.top() + 4, kBadge, kBadge);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::appAccent());
        painter.drawEllipse(badge);
        painter.setPen(Qt::white);
        painter.setFont(Theme::font(11, QFont::Bold));
        painter.drawText(badge, Qt::AlignCenter, m_badge);
    }

    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF nameRect(0, kTileHeight + kNameGap, kTileWidth, height() - kTileHeight - kNameGap);
    const QString name =
        QFontMetricsF(font()).elidedText(m_item.fileName(), Qt::ElideMiddle, kTileWidth);
    painter.drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop, name);
}

void CompareChip::contextMenuEvent(QContextMenuEvent* event)
{
    // The chosen action may remove this chip, so the menu is not a child of it.
    QMenu* menu = new QMenu(window());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(actions());
    menu->popup(event->globalPos());
}
