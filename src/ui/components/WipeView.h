#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

// The base of the wipe comparisons: two pictures of one scene split by a vertical line, the left
// picture left of it and the right picture right of it, with a caption in each top corner. It
// keeps where the line stands, moves the line to the pointer on a press or drag anywhere, and
// paints the captions, the line and its knob over the pictures a subclass paints.
// Threading: main thread.
class WipeView : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WipeView)
public:
    // The sizes and colours of the captions and the knob.
    struct Look {
        qreal tagInset = 8;
        qreal tagPadX = 8;
        qreal tagPadY = 4;
        QColor leftTagFill;
        QColor rightTagFill;
        qreal knobDiameter = 28;
        qreal knobIcon = 13;
        // How far the knob's shadow falls below the knob.
        qreal knobShadowDrop = 0;
    };

    ~WipeView() override;

    // Where the wipe line stands, from 0 (left edge) to 1 (right edge); starts at 0.5.
    qreal frac() const { return m_frac; }
    void setFrac(qreal frac);

Q_SIGNALS:
    void fracChanged(qreal frac);

protected:
    // An empty caption is left out.
    WipeView(const QString& leftCaption, const QString& rightCaption, const Look& look,
             QWidget* parent);

    // Where the line stands across area.
    qreal lineX(const QRectF& area) const { return m_frac * area.width(); }
    // The part of area right of the line, where the right picture shows.
    QRectF rightOfLine(const QRectF& area) const;
    // Paints the captions, the line and its knob over area.
    void paintOverlay(QPainter& painter, const QRectF& area) const;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void followPointer(qreal x);
    void paintTag(QPainter& painter, const QRectF& area, const QString& text, const QColor& fill,
                  bool alignRight) const;

    const QString m_leftCaption;
    const QString m_rightCaption;
    const Look m_look;
    qreal m_frac = 0.5;
};
