#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

class ElidedLabel;

// One side of the side-by-side image comparison: the file name (small, semibold, shortened in
// the middle) above the picture, scaled to fit with smooth interpolation.
class CompareImageCard final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompareImageCard)
public:
    explicit CompareImageCard(QWidget* parent = nullptr);

    void setImage(const QString& name, const QImage& image);
    QString name() const;
    QImage image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect pictureArea() const;

    ElidedLabel* m_name;
    QImage m_image;
    mutable QPixmap m_fitted;
};
