#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// A picture scaled to fit the widget with smooth interpolation, keeping its proportions, centred.
class FittedImage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FittedImage)
public:
    explicit FittedImage(QWidget* parent = nullptr);

    const QImage& image() const { return m_image; }
    void setImage(const QImage& image);

    QSize sizeHint() const override { return QSize(320, 240); }
    QSize minimumSizeHint() const override { return QSize(40, 30); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    QPixmap m_cache;
};
