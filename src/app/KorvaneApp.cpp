#include "app/KorvaneApp.h"

#include <QMainWindow>
#include <QStackedWidget>

#include "app/SetupModel.h"
#include "app/SetupView.h"
#include "ui/PlaceholderView.h"

KorvaneApp::KorvaneApp() : m_setup(new SetupModel(this)), m_window(new QMainWindow)
{
    m_window->setWindowTitle(QStringLiteral("Korvane"));
    m_window->resize(1100, 720);
    m_stack = new QStackedWidget(m_window.get());
    m_setupView = new SetupView(m_stack);
    m_mainView = new PlaceholderView(m_stack);
    m_stack->addWidget(m_setupView);
    m_stack->addWidget(m_mainView);
    m_window->setCentralWidget(m_stack);
    connect(m_setup, &SetupModel::readyChanged, this, [this] { showRoot(); });
}

KorvaneApp::~KorvaneApp() = default;

void KorvaneApp::start()
{
    showRoot();
    m_window->show();
    m_setup->run();
}

bool KorvaneApp::showsSetup() const
{
    return m_stack->currentWidget() == m_setupView;
}

void KorvaneApp::showRoot()
{
    m_stack->setCurrentWidget(m_setup->ready() ? m_mainView : m_setupView);
}
