#pragma once

#include <QString>
#include <QWidget>

// An icon of the application's set, filled with the accent gradient, at a fixed square size.
class GradientIcon final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GradientIcon)
public:
    GradientIcon(const QString& name, int size, QWidget* parent = nullptr);

    const QString& name() const { return m_name; }
    void setName(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
};
