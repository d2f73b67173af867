#pragma once

#include <QWidget>

class QGraphicsOpacityEffect;
class ToggleSwitch;

// One setting: a title over a one-line explanation, filling the width, and a switch at the end.
// A row can be made unavailable: it is then disabled and drawn at half opacity.
class SettingSwitchRow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingSwitchRow)
public:
    SettingSwitchRow(const QString& title, const QString& explanation, QWidget* parent = nullptr);

    ToggleSwitch* toggle() const { return m_switch; }
    bool isOn() const;
    // Sets the switch without reporting a change.
    void setOn(bool on);

    // Disabled and at half opacity while unavailable, enabled and opaque otherwise.
    void setAvailable(bool available);
    // The opacity the row is drawn at: 1, or 0.5 while unavailable.
    qreal opacity() const;

Q_SIGNALS:
    // The user turned the switch on or off.
    void toggled(bool on);

private:
    ToggleSwitch* m_switch;
    QGraphicsOpacityEffect* m_fade;
};
