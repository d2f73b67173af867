#pragma once

#include <QPointF>
#include <QWidget>

#include "ui/components/ZoomItem.h"

class QLabel;
class QSlider;
class QVariantAnimation;
class ZoomCanvas;

// A full-window viewer for one picture: zoom from 1 to 12 times its fitted size with the buttons,
// the slider, a pinch (touchpad or touch screen) or the mouse wheel; drag to pan; double-click
// or "Reset" to return to the fitted picture. "Done" asks the owner to close it.
class ZoomableImageView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ZoomableImageView)
public:
    static constexpr qreal kMinScale = 1;
    static constexpr qreal kMaxScale = 12;

    explicit ZoomableImageView(const ZoomItem& item = {}, QWidget* parent = nullptr);

    ZoomItem item() const { return m_item; }
    // Shows another picture, unzoomed.
    void setItem(const ZoomItem& item);

    qreal scale() const { return m_scale; }
    qreal lastScale() const { return m_lastScale; }
    QPointF offset() const { return m_offset; }
    QPointF lastOffset() const { return m_lastOffset; }

    // Zooms to value kept within 1 and 12; at exactly 1 the picture is centred again.
    void zoomTo(qreal value);
    // Back to scale 1, centred, animated unless asked otherwise.
    void reset(bool animated = true);

    // A pinch in progress: factor is relative to the scale the pinch started from.
    void pinchTo(qreal factor);
    void endPinch();

    QSize sizeHint() const override { return QSize(1120, 780); }

Q_SIGNALS:
    // "Done" was pressed (or Escape): the owner closes the viewer.
    void doneRequested();
    void scaleChanged(qreal scale);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class ZoomCanvas;

    void setScale(qreal scale);
    void setOffset(const QPointF& offset);
    void stateChanged();
    void dragBy(const QPointF& translation);
    void endDrag();

    ZoomItem m_item;
    qreal m_scale = 1;
    qreal m_lastScale = 1;
    QPointF m_offset;
    QPointF m_lastOffset;
    qreal m_lastPinchFactor = 1;
    // What the picture shows; follows the state, through an animation on reset.
    qreal m_shownScale = 1;
    QPointF m_shownOffset;

    QLabel* m_title;
    QLabel* m_sizeText;
    ZoomCanvas* m_canvas;
    QSlider* m_slider;
    QLabel* m_scaleText;
    QVariantAnimation* m_resetAnimation;
};
