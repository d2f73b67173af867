#pragma once

#include <QLabel>

// A one-line label that shortens its text with an ellipsis when it does not fit (in the middle by
// default, so the start and the end of a file name stay visible). text() keeps the full text.
class ElidedLabel final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedLabel)
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr,
                         Qt::TextElideMode mode = Qt::ElideMiddle);

    QString fullText() const { return m_full; }
    void setFullText(const QString& text);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_full;
    Qt::TextElideMode m_mode;
};
