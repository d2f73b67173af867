#pragma once

#include <QAbstractButton>

// A labelled on/off switch: the label on the left, the switch at the right edge, tinted with the
// accent colour while on. Clicking anywhere on the row toggles it.
class AccentSwitch final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccentSwitch)
public:
    explicit AccentSwitch(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
