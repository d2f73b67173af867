#pragma once

#include <QImage>
#include <QMediaPlayer>
#include <QPointer>
#include <QVideoFrame>

#include "ui/components/WipeView.h"

class QVideoSink;

// Threading: main thread only (the sinks deliver their frames there).
//
// Two videos overlaid in one frame with a vertical wipe: the left player's picture everywhere,
// the right player's picture right of the wipe line, each caption in a top corner. The frames
// come from two video sinks and are painted here, so both videos share one picture. A press or
// drag anywhere moves the line to the pointer.
class VideoWipe final : public WipeView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoWipe)
public:
    explicit VideoWipe(const QString& leftLabel, const QString& rightLabel,
                       QWidget* parent = nullptr);
    ~VideoWipe() override;

    // Sends both players' pictures here; null players detach. A player keeps one output, so
    // attaching takes it from wherever it showed before.
    void attach(QMediaPlayer* left, QMediaPlayer* right);
    bool isAttached() const { return m_left.player || m_right.player; }

    // Stand-in pictures, shown until the players deliver frames (the screen renders use them).
    void setFrames(const QImage& left, const QImage& right);
    QImage leftFrame() const;
    QImage rightFrame() const;

    QSize sizeHint() const override { return QSize(480, 270); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // One side's latest frame, converted to a picture only when it is painted.
    struct Side {
        QVideoSink* sink = nullptr;
        QPointer<QMediaPlayer> player;
        QVideoFrame frame;
        mutable QImage image;
        mutable bool stale = false;
        QImage picture() const;
    };
    void detach(Side& side);

    Side m_left;
    Side m_right;
};
