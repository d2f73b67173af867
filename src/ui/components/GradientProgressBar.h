#pragma once

#include <QWidget>

class QVariantAnimation;

// A thin capsule progress bar: a track of black at 8 % and, from the leading edge, a capsule
// filled with the accent gradient at least 6 wide. Value changes ease in and out over 0.3 s.
class GradientProgressBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GradientProgressBar)
public:
    explicit GradientProgressBar(int height, QWidget* parent = nullptr);

    double value() const { return m_target; }
    // The value being drawn (it trails value() while animating).
    double displayedValue() const { return m_displayed; }
    void setValue(double value, bool animated = true);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_target = 0.0;
    double m_displayed = 0.0;
    QVariantAnimation* m_animation;
};
