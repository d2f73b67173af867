#pragma once

#include <QObject>
#include <QMessageBox>
#include <QPointer>

class JobQueue;
class QMainWindow;
class QSocketNotifier;

// Decides what happens to running and waiting upscales when Korvane is asked to end. Closing the
// window while jobs run or wait asks once: "Stop and resume later" (the running job stops keeping
// its finished segments, waiting jobs are kept as Interrupted), "Keep working" (the window
// stays) or "Discard" (everything is stopped and thrown away). SIGTERM and the end of the
// desktop session end Korvane as "Stop and resume later", without asking.
//
// Threading: main thread; the SIGTERM handler only writes to a pipe read on the main thread.
class QuitGuard final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuitGuard)
public:
    enum class Choice { ResumeLater, KeepWorking, Discard };

    QuitGuard(QMainWindow& window, JobQueue& queue, QObject* parent = nullptr);
    ~QuitGuard() override;

    // Carries out a choice; ResumeLater and Discard then close the window.
    void choose(Choice choice);
    // The question while it is shown (tests answer it), else null.
    QMessageBox* question() const { return m_question; }

    // Makes SIGTERM end the application as "Stop and resume later". Once per process.
    void handleTermination();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ask();

    QMainWindow& m_window;
    JobQueue& m_queue;
    QPointer<QMessageBox> m_question;
    QSocketNotifier* m_termination = nullptr;
    bool m_decided = false;
};
