#pragma once

#include <QPointer>
#include <QWidget>

// Holds one widget at the largest size of a fixed aspect ratio that fits, centred. The ratio
// applies to the part under a header of fixed height (a caption above a video, for example).
class RatioFrame final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RatioFrame)
public:
    explicit RatioFrame(qreal ratio, int headerHeight = 0, QWidget* parent = nullptr);

    // Takes ownership of content and places it.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    // Width divided by height of the part under the header.
    qreal ratio() const { return m_ratio; }
    void setRatio(qreal ratio);

    // Where the content goes in a frame of that size.
    QRect fittedRect(const QSize& size) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    qreal m_ratio;
    int m_headerHeight;
    QPointer<QWidget> m_content;
};
