#pragma once

#include <QWidget>

class SetupModel;

// The one-time setup screen: a busy indicator and two texts, no controls. When the installed
// tools cannot start, it says so instead, in the setup model's words.
class SetupView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupView)
public:
    explicit SetupView(const SetupModel& setup, QWidget* parent = nullptr);
};
