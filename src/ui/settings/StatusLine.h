#pragma once

#include <QWidget>

class QLabel;

// A short status message after a small icon, both in one colour; long messages wrap.
class StatusLine final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusLine)
public:
    StatusLine(const QString& icon, int pixelSize, QFont::Weight weight, const QColor& colour,
               QWidget* parent = nullptr);

    // The orange of warnings and failures.
    static QColor warningColour() { return QColor(255, 149, 0); }

    QString text() const;
    void setText(const QString& text);
    void setIcon(const QString& icon);
    void setColour(const QColor& colour);
    void setWeight(QFont::Weight weight);

private:
    void paintIcon();

    QLabel* m_icon;
    QLabel* m_text;
    QString m_iconName;
    QColor m_colour;
    int m_pixelSize;
};
