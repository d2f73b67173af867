#include "VideoWipe.h"

#include <QMediaPlayer>
#include <QPainter>
#include <QPainterPath>
#include <QVideoSink>

namespace {

constexpr qreal kRadius = 12;

WipeView::Look look()
{
    WipeView::Look look;
    look.tagInset = 10;
    look.tagPadX = 9;
    look.leftTagFill = QColor(0, 0, 0, 128);
    look.rightTagFill = look.leftTagFill;
    look.knobDiameter = 30;
    look.knobIcon = 12;
    return look;
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
    : WipeView(leftLabel, rightLabel, look(), parent)
{
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
    if (!right.isNull()) {
        painter.save();
        QPainterPath rightPart;
        rightPart.addRect(rightOfLine(area));
        painter.setClipPath(frame.intersected(rightPart));
        painter.drawImage(fittedRect(right.size(), area), right);
        painter.restore();
    }
    paintOverlay(painter, area);
}
