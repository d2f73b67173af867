#pragma once

#include <QWidget>

// "Success" in green or "Failed" in red on a capsule of the same colour, faintly filled.
class StatusTag final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusTag)
public:
    explicit StatusTag(bool success = true, QWidget* parent = nullptr);

    bool success() const { return m_success; }
    void setSuccess(bool success);
    // The text shown: "Success" or "Failed".
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_success;
};
