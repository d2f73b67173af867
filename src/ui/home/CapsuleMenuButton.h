#pragma once

#include <QString>
#include <QToolButton>

// A button without chrome that opens its menu on a click: a white icon and label on a capsule
// filled with the accent gradient.
class CapsuleMenuButton final : public QToolButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CapsuleMenuButton)
public:
    CapsuleMenuButton(const QString& iconName, const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_iconName;
};
