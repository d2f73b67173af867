#include "app/QuitGuard.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QSocketNotifier>

#include "processing/JobQueue.h"

namespace {

int g_terminationPipe[2] = {-1, -1};

void onTermination(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; the main thread reads the pipe.
    [[maybe_unused]] const ssize_t written = ::write(g_terminationPipe[1], &byte, 1);
}

} // namespace

QuitGuard::QuitGuard(QMainWindow& window, JobQueue& queue, QObject* parent)
    : QObject(parent), m_window(window), m_queue(queue)
{
    m_window.installEventFilter(this);
    // Logging out: the work in progress is kept for the next start.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (m_queue.hasWork())
            choose(Choice::ResumeLater);
    });
}

QuitGuard::~QuitGuard()
{
    if (m_question)
        delete m_question;
}

void QuitGuard::handleTermination()
{
    if (m_termination || ::pipe2(g_terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_termination = new QSocketNotifier(g_terminationPipe[0], QSocketNotifier::Read, this);
    connect(m_termination, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_terminationPipe[0], &byte, 1) > 0) {
        }
        m_queue.interruptAll();
        m_decided = true;
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

bool QuitGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Close && !m_decided &&
        m_queue.hasWork()) {
        event->ignore();
        ask();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void QuitGuard::ask()
{
    if (m_question) {
        m_question->raise();
        return;
    }
    m_question = new QMessageBox(&m_window);
    m_question->setIcon(QMessageBox::Question);
    m_question->setWindowTitle(QStringLiteral("Korvane"));
    m_question->setText(QStringLiteral("Upscales are still running."));
    m_question->setInformativeText(
        QStringLiteral("Stop and resume later keeps what each video upscale has finished: the "
                       "next time Korvane starts, it lists them so you can continue where they "
                       "stopped. Other upscales that haven't finished are dropped."));
    QPushButton* later =
        m_question->addButton(QStringLiteral("Stop and resume later"), QMessageBox::AcceptRole);
    QPushButton* keep =
        m_question->addButton(QStringLiteral("Keep working"), QMessageBox::RejectRole);
    QPushButton* discard =
        m_question->addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    m_question->setDefaultButton(later);
    m_question->setEscapeButton(keep);
    m_question->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_question, &QMessageBox::buttonClicked, this,
            [this, later, discard](QAbstractButton* button) {
                if (button == later)
                    choose(Choice::ResumeLater);
                else if (button == discard)
                    choose(Choice::Discard);
                else
                    choose(Choice::KeepWorking);
            });
    m_question->open();
}

void QuitGuard::choose(Choice choice)
{
    if (m_question) {
        m_question->close();
        m_question = nullptr;
    }
    switch (choice) {
    case Choice::KeepWorking:
        return;
    case Choice::ResumeLater:
        m_queue.interruptAll();
        break;
    case Choice::Discard:
        m_queue.discardAll();
        break;
    }
    m_decided = true;
    m_window.close();
}
