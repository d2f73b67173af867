#include "app/KorvaneApp.h"

#include <QMainWindow>
#include <QStackedWidget>

#include "account/AuthManager.h"
#include "app/SetupModel.h"
#include "app/SetupView.h"
#include "app/UrlHandoff.h"
#include "processing/JobQueue.h"
#include "processing/SaveDialog.h"
#include "ui/FileSaveDialog.h"
#include "ui/ContentView.h"

KorvaneApp::KorvaneApp() : m_setup(new SetupModel(this)), m_window(new QMainWindow)
{
    m_window->setWindowTitle(QStringLiteral("Korvane"));
    m_window->resize(1100, 720);
    m_stack = new QStackedWidget(m_window.get());
    m_setupView = new SetupView(m_stack);
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
        m_mainView = new ContentView(AuthManager::shared(), JobQueue::shared(), m_stack);
        m_stack->addWidget(m_mainView);
    }
    m_stack->setCurrentWidget(m_mainView);
}
