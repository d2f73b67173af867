#pragma once

#include <memory>

#include <QObject>

class QMainWindow;
class QStackedWidget;
class FileSaveDialog;
class SetupModel;

// The application: owns the setup model and the one window for the life of the process. The
// window shows the setup screen until setup is ready, then the application.
// Threading: main thread only.
class KorvaneApp final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KorvaneApp)
public:
    KorvaneApp();
    ~KorvaneApp() override;

    void start();
    SetupModel& setup() { return *m_setup; }
    QMainWindow& window() { return *m_window; }
    // Shows, raises and activates the window (a sign-in callback or another launch asks for it).
    void bringToFront();
    // True while the window shows the setup screen.
    bool showsSetup() const;

private:
    void showRoot();

    SetupModel* m_setup = nullptr;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<FileSaveDialog> m_saveDialog;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_setupView = nullptr;
    QWidget* m_mainView = nullptr;
};
