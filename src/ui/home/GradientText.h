#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

// One line of text filled with the accent gradient. When the width is short the text shrinks,
// down to minimumScale of its size, and is cut with an ellipsis beyond that.
class GradientText final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GradientText)
public:
    GradientText(const QFont& font, qreal minimumScale, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont scaledFont(qreal scale) const;

    QString m_text;
    qreal m_minimumScale;
};
