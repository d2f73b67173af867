#include "VideoWipe.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVideoSink>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {

constexpr qreal kRadius = 12;
constexpr qreal kTagInset = 10;
constexpr qreal kTagPadX = 9;
constexpr qreal kTagPadY = 4;
constexpr qreal kLineWidth = 2;
constexpr qreal kKnobDiameter = 30;
constexpr qreal kKnobIcon = 12;

// A capsule caption with white text on translucent black, anchored at a top corner of area.
void paintTag(QPainter& painter, const QRectF& area, const QString& text, bool alignRight)
{
    if (text.isEmpty())
        return;
    const QFontMetricsF metrics(painter.font());
    const QSizeF size(metrics.horizontalAdvance(text) + 2 * kTagPadX,
                      metrics.height() + 2 * kTagPadY);
    const qreal x = alignRight ? area.right() - kTagInset - size.width() : area.left() + kTagInset;
    const QRectF tag(QPointF(x, area.top() + kTagInset), size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 128));
    painter.drawRoundedRect(tag, tag.height() / 2, tag.height() / 2);
    painter.setPen(Qt::white);
    painter.drawText(tag, Qt::AlignCenter, text);
}

// The picture scaled to fit area, centred.
QRectF fittedRect(const QSize& picture, const QRectF& area)
{
    const QSizeF size = QSizeF(picture).scaled(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

} // namespace

QImage VideoWipe::Side::picture() const
{
    if (stale) {
        stale = false;
        image = frame.isValid() ? frame.toImage() : QImage();
    }
    return image;
}

VideoWipe::VideoWipe(const QString& leftLabel, const QString& rightLabel, QWidget* parent)
    : QWidget(parent), m_leftLabel(leftLabel), m_rightLabel(rightLabel)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCursor(Qt::SizeHorCursor);
    setFont(Theme::font(11, QFont::DemiBold));
    for (Side* side : {&m_left, &m_right}) {
        side->sink = new QVideoSink(this);
        connect(side->sink, &QVideoSink::videoFrameChanged, this,
                [this, side](const QVideoFrame& frame) {
                    side->frame = frame;
                    side->stale = true;
                    update();
                });
    }
}

VideoWipe::~VideoWipe()
{
    detach(m_left);
    detach(m_right);
}

void VideoWipe::attach(QMediaPlayer* left, QMediaPlayer* right)
{
    const auto attachSide = [this](Side& side, QMediaPlayer* player) {
        if (side.player == player)
            return;
        detach(side);
        side.player = player;
        if (player)
            player->setVideoSink(side.sink);
    };
    attachSide(m_left, left);
    attachSide(m_right, right);
}

void VideoWipe::detach(Side& side)
{
    if (side.player && side.player->videoSink() == side.sink)
        side.player->setVideoOutput(nullptr);
    side.player = nullptr;
}

void VideoWipe::setFrames(const QImage& left, const QImage& right)
{
    m_left.image = left;
    m_left.stale = false;
    m_right.image = right;
    m_right.stale = false;
    update();
}

QImage VideoWipe::leftFrame() const
{
    return m_left.picture();
}

QImage VideoWipe::rightFrame() const
{
    return m_right.picture();
}

void VideoWipe::setFrac(qreal frac)
{
    frac = std::clamp<qreal>(frac, 0, 1);
    if (qFuzzyCompare(frac + 1, m_frac + 1))
        return;
    m_frac = frac;
    update();
    Q_EMIT fracChanged(m_frac);
}

void VideoWipe::followPointer(qreal x)
{
    // With no width to divide by, the raw position is used (and kept within 0 and 1).
    setFrac(width() < 1 ? x : x / width());
}

void VideoWipe::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        followPointer(event->position().x());
}

void VideoWipe::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        followPointer(event->position().x());
}

void VideoWipe::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area(rect());
    QPainterPath frame;
    frame.addRoundedRect(area, kRadius, kRadius);
    painter.setClipPath(frame);
    painter.fillRect(area, Qt::black);

    const QImage left = m_left.picture();
    const QImage right = m_right.picture();
    if (!left.isNull())
        painter.drawImage(fittedRect(left.size(), area), left);
    const qreal lineX = m_frac * area.width();
    if (!right.isNull()) {
        painter.save();
        QPainterPath rightPart;
        rightPart.addRect(QRectF(QPointF(lineX, 0), area.bottomRight() + QPointF(1, 1)));
        painter.setClipPath(frame.intersected(rightPart));
        painter.drawImage(fittedRect(right.size(), area), right);
        painter.restore();
    }

    paintTag(painter, area, m_leftLabel, false);
    paintTag(painter, area, m_rightLabel, true);

    // The wipe line and its knob, centred on the line at half height, with a soft shadow.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(lineX - kLineWidth / 2, 0, kLineWidth, area.height()));
    const QPointF centre(lineX, area.height() / 2);
    const QRectF knob(centre.x() - kKnobDiameter / 2, centre.y() - kKnobDiameter / 2, kKnobDiameter,
                      kKnobDiameter);
    for (int ring = 3; ring >= 1; --ring) {
        painter.setBrush(QColor(0, 0, 0, 84 / (ring + 1)));
        painter.drawEllipse(knob.adjusted(-ring, -ring, ring, ring));
    }
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    const QRectF iconRect(centre.x() - kKnobIcon / 2, centre.y() - kKnobIcon / 2, kKnobIcon,
                          kKnobIcon);
    Icons::paint(painter, iconRect, QStringLiteral("arrow.left.and.right"), QColor(128, 128, 133));
}
