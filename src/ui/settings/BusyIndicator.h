#pragma once

#include <QWidget>

class QTimer;

// A small spinning arc that says "working". It turns only while it is shown.
class BusyIndicator final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusyIndicator)
public:
    BusyIndicator(int diameter, const QColor& colour, QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(m_diameter, m_diameter); }
    bool isSpinning() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_diameter;
    QColor m_colour;
    int m_angle = 0;
    QTimer* m_timer;
};
