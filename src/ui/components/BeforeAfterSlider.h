#pragma once

#include <QImage>
#include <QPixmap>

#include "ui/components/WipeView.h"

// Two pictures of one scene compared with a vertical wipe: the original everywhere, the upscaled
// picture right of the wipe line. A press or drag anywhere moves the line to the pointer.
// Threading: main thread.
class BeforeAfterSlider final : public WipeView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BeforeAfterSlider)
public:
    explicit BeforeAfterSlider(QWidget* parent = nullptr);
    BeforeAfterSlider(const QImage& original, const QImage& upscaled, QWidget* parent = nullptr);

    void setImages(const QImage& original, const QImage& upscaled);
    QImage original() const { return m_original; }
    QImage upscaled() const { return m_upscaled; }

    QSize sizeHint() const override { return QSize(480, 320); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The picture scaled to fit the widget, cached per size and scale factor.
    QPixmap fitted(const QImage& image, QPixmap& cache) const;

    QImage m_original;
    QImage m_upscaled;
    mutable QPixmap m_originalFitted;
    mutable QPixmap m_upscaledFitted;
};
