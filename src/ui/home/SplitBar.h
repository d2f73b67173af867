#pragma once

#include <QWidget>

// Two capsules across the width, 3 apart: the first, in the accent colour, as wide as the share
// of videos in the total; the second, in the second accent colour, takes the rest.
class SplitBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SplitBar)
public:
    explicit SplitBar(QWidget* parent = nullptr);

    // total below 1 counts as 1.
    void setCounts(qsizetype videos, qsizetype total);
    // The width of the first capsule for the current size.
    qreal firstWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qsizetype m_videos = 0;
    qsizetype m_total = 1;
};
