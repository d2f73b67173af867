#pragma once

#include <QWidget>

// The success-rate gauge: a faint full ring and, over it, an accent arc from 12 o'clock clockwise
// over the rate, with the rate in whole per cent in the middle.
class SuccessRing final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SuccessRing)
public:
    explicit SuccessRing(QWidget* parent = nullptr);

    // rate is the fraction drawn (0…1); text the figure in the middle.
    void setValue(double rate, const QString& text);
    double rate() const { return m_rate; }
    const QString& text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_rate = 1;
    QString m_text;
};
