#include "ui/components/DropCard.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "ui/components/ElidedLabel.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {
constexpr int kHeight = 84;
constexpr qreal kRadius = 16;

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}
} // namespace

DropCard::DropCard(Layout layout, QWidget* parent) : QWidget(parent), m_layout(layout)
{
    setAcceptDrops(true);
    setFixedHeight(kHeight);
    setCursor(Qt::PointingHandCursor);

    m_icon = new QLabel(this);
    m_title = new ElidedLabel(QString(), this);
    m_title->setFont(Theme::font(15, QFont::DemiBold));
    m_detail = new ElidedLabel(QString(), this);
    m_detail->setFont(Theme::font(12));
    setTextColor(m_detail, Theme::secondaryText());
    m_trailing = new QHBoxLayout;
    m_trailing->setContentsMargins(0, 0, 0, 0);
    m_trailing->setSpacing(6);

    if (layout == Layout::Row) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(18, 12, 18, 12);
        row->setSpacing(14);
        row->addWidget(m_icon);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        texts->addStretch();
        texts->addWidget(m_title);
        texts->addWidget(m_detail);
        texts->addStretch();
        row->addLayout(texts, 1);
        row->addLayout(m_trailing);
    } else {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(18, 6, 18, 6);
        column->setSpacing(2);
        column->addStretch();
        column->addWidget(m_icon, 0, Qt::AlignHCenter);
        m_title->setAlignment(Qt::AlignHCenter);
        m_detail->setAlignment(Qt::AlignHCenter);
        column->addWidget(m_title);
        column->addWidget(m_detail);
        column->addLayout(m_trailing);
        column->addStretch();
    }
}

void DropCard::setIcon(const QString& name, IconFill fill, const QString& badge)
{
    m_iconName = name;
    m_fill = fill;
    m_badgeName = badge;
    refreshIcon();
}

void DropCard::refreshIcon()
{
    if (m_iconName.isEmpty()) {
        m_icon->clear();
        return;
    }
    const qreal glyph = m_layout == Layout::Row ? 30 : 24;
    const qreal badge = m_badgeName.isEmpty() ? 0 : 16;
    const QSizeF canvas(glyph + badge / 2, glyph + badge / 3);
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap((canvas * ratio).toSize());
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF glyphRect(0, 0, glyph, glyph);
    const QBrush brush = m_fill == IconFill::Gradient ? QBrush(Theme::appAccentGradient(glyphRect))
                                                      : QBrush(Theme::appAccent());
    Icons::paint(painter, glyphRect, m_iconName, brush);
    if (!m_badgeName.isEmpty()) {
        const QRectF badgeRect(canvas.width() - badge, canvas.height() - badge, badge, badge);
        // A white disc under the badge keeps it readable over the icon.
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(badgeRect.adjusted(1, 1, -1, -1));
        Icons::paint(painter, badgeRect, m_badgeName, QBrush(Theme::appAccent()));
    }
    painter.end();
    m_icon->setPixmap(pixmap);
}

void DropCard::setTitle(const QString& text)
{
    m_title->setFullText(text);
}

void DropCard::setDetail(const QString& text, bool monospaced)
{
    m_problem = false;
    setTextColor(m_detail, Theme::secondaryText());
    m_detail->setToolTip(QString());
    m_detail->setFont(Theme::font(12, QFont::Normal, monospaced));
    m_detail->setFullText(text);
    m_detail->setVisible(!text.isEmpty());
}

void DropCard::setProblem(const QString& text)
{
    setDetail(text);
    m_problem = true;
    setTextColor(m_detail, Theme::failureColor());
    m_detail->setToolTip(text);
}

QString DropCard::title() const
{
    return m_title->fullText();
}

QString DropCard::detail() const
{
    return m_detail->fullText();
}

void DropCard::setInert(bool inert)
{
    if (m_inert == inert)
        return;
    m_inert = inert;
    setAcceptDrops(!inert);
    setCursor(inert ? Qt::ArrowCursor : Qt::PointingHandCursor);
    if (inert) {
        auto* effect = new QGraphicsOpacityEffect(this);
        effect->setOpacity(0.6);
        setGraphicsEffect(effect);
        setDragOver(false);
    } else {
        setGraphicsEffect(nullptr);
    }
}

QList<QUrl> DropCard::fileUrls(const QMimeData& data)
{
    QList<QUrl> urls;
    if (!data.hasUrls())
        return urls;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            urls.append(url);
    }
    return urls;
}

void DropCard::setDragOver(bool dragOver)
{
    if (m_dragOver == dragOver)
        return;
    m_dragOver = dragOver;
    update();
    Q_EMIT dragOverChanged(dragOver);
}

void DropCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = m_dragOver ? 2 : 1;
    const QRectF frame = QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2);
    QPainterPath path;
    path.addRoundedRect(frame, kRadius, kRadius);
    painter.fillPath(path, QColor(0, 0, 0, 10));
    painter.setPen(m_dragOver ? QPen(Theme::appAccent(), 2) : QPen(QColor(0, 0, 0, 20), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void DropCard::mousePressEvent(QMouseEvent* event)
{
    m_pressed = !m_inert && event->button() == Qt::LeftButton;
    event->accept();
}

void DropCard::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (wasPressed && !m_inert && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    event->accept();
}

void DropCard::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_inert || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDragOver(true);
}

void DropCard::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDragOver(false);
    event->accept();
}

void DropCard::dropEvent(QDropEvent* event)
{
    setDragOver(false);
    if (m_inert) {
        event->ignore();
        return;
    }
    const QList<QUrl> urls = fileUrls(*event->mimeData());
    if (urls.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT filesDropped(urls);
}
