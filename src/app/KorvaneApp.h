#pragma once

#include <memory>

#include <QObject>

class BatchProcessor;
class BulkImageProcessor;
class FileSaveDialog;
class ImageUpscaler;
class JobQueue;
class QMainWindow;
class QStackedWidget;
class QuitGuard;
class SetupModel;
class SetupView;
class Upscaler;

// The application: owns the job queue, the four processing models, the setup model and the one
// window for the life of the process. The work exists before any screen: jobs left unfinished by
// an earlier run are restored into the queue at start, and the screens only show and steer them.
// The window shows the setup screen until setup is ready, then the application.
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
    JobQueue& queue() { return *m_queue; }
    Upscaler& upscaler() { return *m_upscaler; }
    QuitGuard& quitGuard() { return *m_quitGuard; }
    // Shows, raises and activates the window (a sign-in callback or another launch asks for it).
    void bringToFront();
    // True while the window shows the setup screen.
    bool showsSetup() const;

private:
    void showRoot();

    // Declared first so it is destroyed last: its destructor stops the running job, keeping its
    // finished work, and waits for it.
    std::unique_ptr<JobQueue> m_queue;
    Upscaler* m_upscaler = nullptr;
    BatchProcessor* m_batch = nullptr;
    ImageUpscaler* m_imageUpscaler = nullptr;
    BulkImageProcessor* m_bulkImage = nullptr;
    SetupModel* m_setup = nullptr;
    std::unique_ptr<QMainWindow> m_window;
    QuitGuard* m_quitGuard = nullptr;
    std::unique_ptr<FileSaveDialog> m_saveDialog;
    QStackedWidget* m_stack = nullptr;
    SetupView* m_setupView = nullptr;
    QWidget* m_mainView = nullptr;
};
