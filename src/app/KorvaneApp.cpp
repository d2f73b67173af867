#include "app/KorvaneApp.h"

#include <QMainWindow>
#include <QStackedWidget>

#include "account/AuthManager.h"
#include "app/SetupModel.h"
#include "app/SetupView.h"
#include "app/QuitGuard.h"
#include "app/UrlHandoff.h"
#include "app/WorkRestore.h"
#include "processing/BatchProcessor.h"
#include "processing/BulkImageProcessor.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "processing/Upscaler.h"
#include "processing/VideoJob.h"
#include "processing/SaveDialog.h"
#include "ui/FileSaveDialog.h"
#include "ui/ContentView.h"

KorvaneApp::KorvaneApp()
    : m_queue(std::make_unique<JobQueue>()), m_setup(new SetupModel(this)),
      m_window(new QMainWindow)
{
    JobQueue::install(m_queue.get());
    m_upscaler = new Upscaler(this);
    m_batch = new BatchProcessor(this);
    m_imageUpscaler = new ImageUpscaler(this);
    m_bulkImage = new BulkImageProcessor(this);
    WorkRestore::start(*m_upscaler, *m_queue);
    m_quitGuard = new QuitGuard(*m_window, *m_queue, this);
    m_window->setWindowTitle(QStringLiteral("Korvane"));
    m_window->resize(1100, 720);
    m_stack = new QStackedWidget(m_window.get());
    m_setupView = new SetupView(*m_setup, m_stack);
    m_stack->addWidget(m_setupView);
    m_window->setCentralWidget(m_stack);
    // "Ask where to save" shows the desktop's save dialog over this window.
    m_saveDialog = std::make_unique<FileSaveDialog>(m_window.get());
    SaveDialog::setCurrent(m_saveDialog.get());
    connect(m_setup, &SetupModel::readyChanged, this, [this] { showRoot(); });

    // URLs handed to the application go to the sign-in, which may ask for the window.
    UrlHandoff::setHandler([](const QUrl& url) { AuthManager::shared().handle(url); });
    connect(&AuthManager::shared(), &AuthManager::activationRequested, this,
            &KorvaneApp::bringToFront);
}

KorvaneApp::~KorvaneApp()
{
    if (SaveDialog::current() == m_saveDialog.get())
        SaveDialog::setCurrent(nullptr);
    UrlHandoff::setHandler({});
    // The screens go before the models they show, the models before the queue.
    m_window.reset();
    delete m_quitGuard;
    delete m_bulkImage;
    delete m_imageUpscaler;
    delete m_batch;
    delete m_upscaler;
    m_queue.reset();
    JobQueue::install(nullptr);
    // The records of jobs queued last are on disk before the process ends.
    VideoJob::waitForWrites();
}

void KorvaneApp::start()
{
    showRoot();
    m_window->show();
    m_setup->run();
}

void KorvaneApp::bringToFront()
{
    m_window->show();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    m_window->activateWindow();
}

bool KorvaneApp::showsSetup() const
{
    return m_stack->currentWidget() == m_setupView;
}

void KorvaneApp::showRoot()
{
    if (!m_setup->ready()) {
        m_stack->setCurrentWidget(m_setupView);
        return;
    }
    // The main interface is made once, when setup is over, and lives for the rest of the run.
    if (!m_mainView) {
        m_mainView = new ContentView(
            AuthManager::shared(), *m_queue,
            ContentView::Models{m_upscaler, m_batch, m_imageUpscaler, m_bulkImage}, m_stack);
        m_stack->addWidget(m_mainView);
    }
    m_stack->setCurrentWidget(m_mainView);
}
