// Quitting with upscales running or waiting: the question, each answer, and SIGTERM.
#include <csignal>
#include <memory>
#include <thread>

#include <QAbstractButton>
#include <QMainWindow>
#include <QMessageBox>

#include "app/QuitGuard.h"
#include "engine/UpscaleCore.h"
#include "processing/JobQueue.h"
#include "support/TestSupport.h"

namespace {

// A resumable job that works until its operation is stopped; counts its removals.
UpscaleJob job(const QString& name, int* removed)
{
    UpscaleJob made;
    made.name = name;
    made.resumable = true;
    made.run = [](const UpscaleJob::ProgressReporter& report) -> QString {
        report(0.2, QStringLiteral("Working"), QString());
        while (!UpscaleCore::isCancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        throw EngineError::cancelled();
    };
    made.onRemoved = [removed] { ++*removed; };
    return made;
}

QStringList buttonTexts(const QMessageBox& box)
{
    QStringList texts;
    for (QAbstractButton* button : box.buttons())
        texts.append(button->text());
    texts.sort();
    return texts;
}

} // namespace

class QuitGuardTest final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<JobQueue> m_queue;
    std::unique_ptr<QMainWindow> m_window;
    QuitGuard* m_guard = nullptr;
    int m_removed = 0;

    void startTwoJobs()
    {
        m_queue->enqueue({job(QStringLiteral("running.mp4"), &m_removed),
                          job(QStringLiteral("waiting.mp4"), &m_removed)});
        QTRY_VERIFY(m_queue->active() && m_queue->active()->statusText == QStringLiteral("Working"));
    }

    QList<UpscaleJob::Status> statuses() const
    {
        QList<UpscaleJob::Status> all;
        for (const UpscaleJob& entry : m_queue->jobs())
            all.append(entry.status);
        return all;
    }

private Q_SLOTS:
    void init()
    {
        m_removed = 0;
        m_queue = std::make_unique<JobQueue>();
        m_window = std::make_unique<QMainWindow>();
        m_guard = new QuitGuard(*m_window, *m_queue, m_window.get());
        m_window->show();
    }

    void cleanup()
    {
        m_window.reset();
        m_queue.reset();
    }

    void closesWithoutAskingWhenNothingRuns()
    {
        QVERIFY(m_window->close());
        QVERIFY(!m_guard->question());
    }

    void keepWorkingLeavesEverything()
    {
        startTwoJobs();
        QVERIFY(!m_window->close());
        QMessageBox* question = m_guard->question();
        QVERIFY(question);
        QTRY_VERIFY(question->isVisible());
        QCOMPARE(buttonTexts(*question),
                 QStringList({QStringLiteral("Discard"), QStringLiteral("Keep working"),
                              QStringLiteral("Stop and resume later")}));
        // Asked once: a second close raises the same question.
        QVERIFY(!m_window->close());
        QCOMPARE(m_guard->question(), question);
        QAbstractButton* keep = nullptr;
        for (QAbstractButton* button : question->buttons()) {
            if (button->text() == QStringLiteral("Keep working"))
                keep = button;
        }
        keep->click();
        QTRY_VERIFY(!m_guard->question());
        QVERIFY(m_window->isVisible());
        // Closing again asks again.
        QVERIFY(!m_window->close());
        QVERIFY(m_guard->question());
        QTRY_VERIFY(m_guard->question()->isVisible());
        m_guard->choose(QuitGuard::Choice::KeepWorking);
        QCOMPARE(statuses(),
                 QList<UpscaleJob::Status>({UpscaleJob::Status::Running, UpscaleJob::Status::Queued}));
        m_queue->discardAll();
    }

    void resumeLaterKeepsBothJobs()
    {
        startTwoJobs();
        QVERIFY(!m_window->close());
        m_guard->choose(QuitGuard::Choice::ResumeLater);
        QVERIFY(!m_window->isVisible());
        QTRY_COMPARE(statuses(), QList<UpscaleJob::Status>({UpscaleJob::Status::Interrupted,
                                                            UpscaleJob::Status::Interrupted}));
        QCOMPARE(m_removed, 0);
    }

    void discardDropsEverything()
    {
        startTwoJobs();
        QVERIFY(!m_window->close());
        m_guard->choose(QuitGuard::Choice::Discard);
        QVERIFY(!m_window->isVisible());
        QTRY_VERIFY(m_queue->jobs().isEmpty());
        QCOMPARE(m_removed, 1);
    }

    void terminationKeepsWorkForLater()
    {
        m_guard->handleTermination();
        startTwoJobs();
        ::raise(SIGTERM);
        QTRY_COMPARE(statuses(), QList<UpscaleJob::Status>({UpscaleJob::Status::Interrupted,
                                                            UpscaleJob::Status::Interrupted}));
        QVERIFY(!m_guard->question());
    }
};

KORVANE_TEST_MAIN(QuitGuardTest)
#include "tst_quitguard.moc"
