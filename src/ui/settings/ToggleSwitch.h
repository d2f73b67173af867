#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// An on/off switch: a capsule track, filled with the accent colour when on, and a white knob
// that slides to the side of the state. Clicking or pressing space toggles it.
class ToggleSwitch final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToggleSwitch)
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    // 0 with the knob at the left (off), 1 at the right (on).
    qreal m_position = 0;
    QVariantAnimation* m_slide;
};
