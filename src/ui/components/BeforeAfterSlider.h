#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// Two pictures of one scene compared with a vertical wipe: the original everywhere, the upscaled
// picture right of the wipe line. A press or drag anywhere moves the line to the pointer.
class BeforeAfterSlider final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BeforeAfterSlider)
public:
    explicit BeforeAfterSlider(QWidget* parent = nullptr);
    BeforeAfterSlider(const QImage& original, const QImage& upscaled, QWidget* parent = nullptr);

    void setImages(const QImage& original, const QImage& upscaled);
    QImage original() const { return m_original; }
    QImage upscaled() const { return m_upscaled; }

    // Where the wipe line stands, from 0 (left edge) to 1 (right edge); starts at 0.5.
    qreal frac() const { return m_frac; }
    void setFrac(qreal frac);

    QSize sizeHint() const override { return QSize(480, 320); }

Q_SIGNALS:
    void fracChanged(qreal frac);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void followPointer(qreal x);
    // The picture scaled to fit the widget, cached per size and scale factor.
    QPixmap fitted(const QImage& image, QPixmap& cache) const;

    QImage m_original;
    QImage m_upscaled;
    mutable QPixmap m_originalFitted;
    mutable QPixmap m_upscaledFitted;
    qreal m_frac = 0.5;
};
