#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// An on/off switch: a capsule track, filled with the accent colour when on, and a white knob
// that slides to the side of the state; drawn at half opacity while disabled. Clicking or
// pressing space toggles it. Given a text, the switch is a row: the text on the left, the switch
// at the right edge, and a click anywhere on the row toggles it.
class ToggleSwitch final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToggleSwitch)
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    explicit ToggleSwitch(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Where the knob stands: 0 at the left (off), 1 at the right (on), in between while sliding.
    qreal knobPosition() const { return m_position; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    QRectF trackRect() const;

    qreal m_position = 0;
    QVariantAnimation* m_slide;
};
