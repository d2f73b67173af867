#pragma once

#include <QWidget>

// The one-time setup screen: a busy indicator and two texts, no controls.
class SetupView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupView)
public:
    explicit SetupView(QWidget* parent = nullptr);
};
