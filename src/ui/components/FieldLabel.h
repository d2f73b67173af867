#pragma once

#include <QLabel>

// The caption above a control: upper case, small, bold, secondary colour, slightly spaced.
class FieldLabel final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FieldLabel)
public:
    explicit FieldLabel(const QString& text = QString(), QWidget* parent = nullptr);

    // Sets the caption; it is shown in upper case.
    void setCaption(const QString& text);
};
