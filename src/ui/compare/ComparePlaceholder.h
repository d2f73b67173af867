#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// What the compare area shows instead of a comparison: a large icon in the accent gradient, a
// title, a secondary subtitle and the prominent "Add videos or images" button, centred.
class ComparePlaceholder final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ComparePlaceholder)
public:
    explicit ComparePlaceholder(QWidget* parent = nullptr);

    void setContent(const QString& iconName, const QString& title, const QString& subtitle);
    QString iconName() const { return m_iconName; }
    QString title() const;
    QString subtitle() const;

Q_SIGNALS:
    void addClicked();

private:
    QString m_iconName;
    QWidget* m_icon;
    QLabel* m_title;
    QLabel* m_subtitle;
    QPushButton* m_add;
};
