#pragma once

#include <QWidget>

class AboutSection;
class QScrollArea;
class SettingSwitchRow;
class UpdateChecker;
class Upscaler;

// The Settings tab: the full savings calculator on the left and, on the right, the panel with the
// three persisted settings (notify when done, play a sound, ask where to save), the About block
// with the update check and download, the Support block and a closing note.
// Every switch writes its setting at once; the screen keeps nothing else of its own.
// Threading: main thread.
class SettingsView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsView)
public:
    SettingsView(Upscaler& upscaler, UpdateChecker& updater, QWidget* parent = nullptr);

    SettingSwitchRow* notifyRow() const { return m_notify; }
    SettingSwitchRow* soundRow() const { return m_sound; }
    SettingSwitchRow* askRow() const { return m_ask; }
    AboutSection* about() const { return m_about; }
    QWidget* savingsCard() const { return m_savings; }

private:
    QWidget* buildPanel(UpdateChecker& updater);

    QWidget* m_savings = nullptr;
    SettingSwitchRow* m_notify = nullptr;
    SettingSwitchRow* m_sound = nullptr;
    SettingSwitchRow* m_ask = nullptr;
    AboutSection* m_about = nullptr;
};
