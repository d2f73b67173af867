// The now bar, its queue panel and the processing section, driven by real jobs on a real queue.
#include <atomic>
#include <memory>
#include <thread>

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include "engine/StopToken.h"
#include "processing/JobQueue.h"
#include "support/TestSupport.h"
#include "ui/components/GradientProgressBar.h"
#include "ui/queue/JobProgressSection.h"
#include "ui/queue/NowBar.h"
#include "ui/queue/NowPill.h"
#include "ui/queue/QueuePanel.h"
#include "ui/queue/QueueTexts.h"

namespace {
// A job whose work reports once and then waits until the test releases it.
struct HeldJobs {
    std::shared_ptr<std::atomic<bool>> released = std::make_shared<std::atomic<bool>>(false);

    UpscaleJob make(const QString& name, const QString& icon = QStringLiteral("film"))
    {
        UpscaleJob job;
        job.name = name;
        job.icon = icon;
        job.detail = QStringLiteral("4K · Detailed");
        auto flag = released;
        job.run = [flag](const UpscaleJob::ProgressReporter& report) {
            report(0.25, QStringLiteral("AI enhancing frames…"), QStringLiteral("1m 5s"));
            while (!flag->load()) {
                if (StopToken::current().stopped())
                    throw EngineError::cancelled();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return QString();
        };
        job.onComplete = [](const UpscaleJob::Result&) {};
        return job;
    }
};

QStringList pendingNames(const JobQueue& queue)
{
    QStringList names;
    for (const UpscaleJob& job : queue.pending())
        names.append(job.name);
    return names;
}

QToolButton* rowButton(QWidget* row, const QString& tip)
{
    for (QToolButton* button : row->findChildren<QToolButton*>()) {
        if (button->toolTip() == tip)
            return button;
    }
    return nullptr;
}

// The texts of a row's push buttons, by their accessible names.
QStringList buttonNames(QWidget* row)
{
    QStringList names;
    for (QPushButton* button : row->findChildren<QPushButton*>())
        names.append(button->accessibleName());
    return names;
}

QPushButton* pushButton(QWidget* row, const QString& accessibleName)
{
    for (QPushButton* button : row->findChildren<QPushButton*>()) {
        if (button->accessibleName() == accessibleName)
            return button;
    }
    return nullptr;
}

QStringList labelTexts(QWidget* row)
{
    QStringList texts;
    for (QLabel* label : row->findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
            texts.append(label->text());
    }
    return texts;
}
} // namespace

class TestNowBar final : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<JobQueue> m_queue;
    HeldJobs m_held;
    NowBar* m_bar = nullptr;

private Q_SLOTS:
    void init()
    {
        m_held = HeldJobs();
        m_queue = std::make_unique<JobQueue>();
        m_window = std::make_unique<QWidget>();
        m_window->resize(1100, 700);
        m_bar = new NowBar(*m_queue, m_window.get());
        m_window->show();
    }

    void cleanup()
    {
        for (const UpscaleJob& job : QueueTexts::interruptedJobs(*m_queue))
            m_queue->discard(job.id);
        m_held.released->store(true);
        m_queue->setReordering(false);
        m_queue->startNext();
        QTRY_VERIFY(m_queue->jobs().isEmpty());
        m_window.reset();
        m_queue.reset();
    }

    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("status with eta")
            << QueueTexts::statusLine(QStringLiteral("Encoding"), QStringLiteral("42s"))
            << "Encoding · ETA 42s";
        QTest::newRow("status without eta")
            << QueueTexts::statusLine(QStringLiteral("Queued"), QString()) << "Queued";
        QTest::newRow("section with eta")
            << QueueTexts::sectionStatusLine(QStringLiteral("Done"), QStringLiteral("1m 0s"))
            << "Done · 1m 0s";
        QTest::newRow("one job") << QueueTexts::jobCount(1) << "1 job";
        QTest::newRow("three jobs") << QueueTexts::jobCount(3) << "3 jobs";
        QTest::newRow("no badge") << QueueTexts::badge(0) << "";
        QTest::newRow("badge") << QueueTexts::badge(3) << "+3";
        QTest::newRow("percent truncated") << QueueTexts::percent(0.999) << "99%";
        QTest::newRow("one interrupted")
            << QueueTexts::interruptedCount(1) << "1 interrupted upscale";
        QTest::newRow("two interrupted")
            << QueueTexts::interruptedCount(2) << "2 interrupted upscales";
        QTest::newRow("panel, working only") << QueueTexts::panelCount(3, 0) << "3 jobs";
        QTest::newRow("panel, interrupted only") << QueueTexts::panelCount(0, 2) << "2 interrupted";
        QTest::newRow("panel, both") << QueueTexts::panelCount(1, 2) << "1 job · 2 interrupted";
    }
    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void nothingShownWithoutJobs()
    {
        QVERIFY(!m_bar->isVisible());
        m_queue->enqueue({m_held.make(QStringLiteral("a.mp4"))});
        QTRY_VERIFY(m_bar->isVisible());
        QVERIFY(m_bar->pill()->isVisible());
    }

    void oneRunningJob()
    {
        m_queue->enqueue({m_held.make(QStringLiteral("clip.mov"))});
        QTRY_COMPARE(m_bar->pill()->statusText(),
                     QStringLiteral("AI enhancing frames… · ETA 1m 5s"));
        QCOMPARE(m_bar->pill()->badgeText(), QString());
        QTest::mouseClick(m_bar->pill(), Qt::LeftButton, {},
                          m_bar->pill()->rect().center() - QPoint(100, 0));
        QVERIFY(m_bar->expanded());
        QVERIFY(m_bar->panel()->isVisible());
        QVERIFY(!m_bar->pill()->isVisible());
        QCOMPARE(m_bar->panel()->countLabel()->text(), QStringLiteral("1 job"));
        QVERIFY(m_bar->panel()->activeCard()->isVisible());
        QVERIFY(m_bar->panel()->emptyLabel()->isVisible());
        QVERIFY(!m_bar->panel()->changeQueueButton()->isEnabled());
        QVERIFY(!m_bar->panel()->reorderMessage()->isVisible());
    }

    void threeWaitingAndReorderMode()
    {
        m_queue->enqueue({m_held.make(QStringLiteral("run.mp4")), m_held.make(QStringLiteral("b")),
                          m_held.make(QStringLiteral("c")), m_held.make(QStringLiteral("d"))});
        QTRY_VERIFY(m_queue->active().has_value());
        // Its one report has arrived: nothing else changes the queue from here on.
        QTRY_COMPARE(m_queue->active()->progress, 0.25);
        QCOMPARE(m_bar->pill()->badgeText(), QStringLiteral("+3"));
        m_bar->setExpanded(true);
        QueuePanel* panel = m_bar->panel();
        QCOMPARE(panel->countLabel()->text(), QStringLiteral("4 jobs"));
        QCOMPARE(panel->pendingRows().size(), 3);
        QVERIFY(!rowButton(panel->pendingRows().constFirst(), QStringLiteral("Move up")));
        QVERIFY(panel->changeQueueButton()->isEnabled());

        QTest::mouseClick(panel->changeQueueButton(), Qt::LeftButton);
        QVERIFY(m_queue->reordering());
        QCOMPARE(panel->changeQueueButton()->text(), QStringLiteral("Save Queue"));
        QVERIFY(panel->reorderMessage()->isVisible());
        // The panel grows to fit the message and the rows' buttons.
        QTRY_COMPARE(panel->height(), panel->sizeHint().height());
        for (QWidget* row : panel->pendingRows()) {
            QVERIFY(rowButton(row, QStringLiteral("Move up")));
            QVERIFY(rowButton(row, QStringLiteral("Move down")));
        }
        // The first waiting job cannot pass the running one.
        QTest::mouseClick(rowButton(panel->pendingRows().constFirst(), QStringLiteral("Move up")),
                          Qt::LeftButton);
        QCOMPARE(pendingNames(*m_queue),
                 QStringList({QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
        QTest::mouseClick(rowButton(panel->pendingRows().constFirst(), QStringLiteral("Move down")),
                          Qt::LeftButton);
        QCOMPARE(pendingNames(*m_queue),
                 QStringList({QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("d")}));
        QTest::mouseClick(rowButton(panel->pendingRows().at(2), QStringLiteral("Remove")),
                          Qt::LeftButton);
        QCOMPARE(pendingNames(*m_queue), QStringList({QStringLiteral("c"), QStringLiteral("b")}));
        QTest::mouseClick(panel->changeQueueButton(), Qt::LeftButton);
        QVERIFY(!m_queue->reordering());
        QCOMPARE(panel->changeQueueButton()->text(), QStringLiteral("Change Queue"));
    }

    void closingInReorderModeStartsTheNextJob()
    {
        HeldJobs first;
        m_queue->enqueue(
            {first.make(QStringLiteral("first")), m_held.make(QStringLiteral("next"))});
        QTRY_VERIFY(m_queue->active().has_value());
        m_bar->setExpanded(true);
        m_queue->setReordering(true);
        first.released->store(true);
        // The running job ends; in reorder mode the next one waits.
        QTRY_COMPARE(m_queue->jobs().size(), 1);
        QVERIFY(!m_queue->active().has_value());
        QVERIFY(!m_bar->panel()->activeCard()->isVisible());
        // Nothing runs: nothing to stop, and the shown waiting job is not counted behind itself.
        QVERIFY(!m_bar->panel()->stopButton()->isVisible());
        QVERIFY(m_bar->pill()->stopButton()->isHidden());
        QCOMPARE(m_bar->pill()->badgeText(), QString());
        QTest::keyClick(m_bar, Qt::Key_Escape);
        QVERIFY(!m_bar->expanded());
        QVERIFY(!m_queue->reordering());
        QTRY_VERIFY(m_queue->active().has_value());
        QCOMPARE(m_queue->active()->name, QStringLiteral("next"));
    }

    void backdropClosesAndEmptyQueueHidesTheBar()
    {
        m_queue->enqueue({m_held.make(QStringLiteral("only"))});
        QTRY_VERIFY(m_queue->active().has_value());
        m_bar->setExpanded(true);
        QVERIFY(m_bar->backdrop()->isVisible());
        QTest::mouseClick(m_bar->backdrop(), Qt::LeftButton, {}, QPoint(5, 690));
        QVERIFY(!m_bar->expanded());
        m_bar->setExpanded(true);
        m_held.released->store(true);
        QTRY_VERIFY(m_queue->jobs().isEmpty());
        QVERIFY(!m_bar->expanded());
        QVERIFY(!m_bar->isVisible());
    }

    void stopButtonsStopTheRunningJob()
    {
        QList<bool> cancelled;
        UpscaleJob first = m_held.make(QStringLiteral("x"));
        first.onComplete = [&cancelled](const UpscaleJob::Result& r) {
            cancelled.append(r.cancelled());
        };
        UpscaleJob second = first;
        second.id = QUuid::createUuid();
        m_queue->enqueue({first});
        QTRY_VERIFY(m_bar->pill()->stopButton()->isVisible());
        m_bar->pill()->stopButton()->click();
        QTRY_COMPARE(cancelled, QList<bool>({true}));
        QTRY_VERIFY(!m_bar->isVisible());

        m_queue->enqueue({second});
        QTRY_VERIFY(m_queue->active().has_value());
        m_bar->setExpanded(true);
        QVERIFY(m_bar->panel()->stopButton()->isVisible());
        m_bar->panel()->stopButton()->click();
        QTRY_COMPARE(cancelled, QList<bool>({true, true}));
        QTRY_VERIFY(m_queue->jobs().isEmpty());
    }

    void interruptedJobsAreResumedOrDiscarded()
    {
        auto runs = std::make_shared<std::atomic<int>>(0);
        int resumed = 0;
        int discarded = 0;
        UpscaleJob kept = m_held.make(QStringLiteral("clip.mp4"));
        kept.resumable = true;
        kept.statusText = QStringLiteral("12 of 40 segments");
        kept.run = [runs](const UpscaleJob::ProgressReporter&) {
            ++*runs;
            return QString();
        };
        kept.onResume = [&resumed] { ++resumed; };
        UpscaleJob changed = m_held.make(QStringLiteral("old.mov"));
        changed.resumable = true;
        changed.resumeProblem = QStringLiteral("The source file changed since the job stopped.");
        changed.statusText = changed.resumeProblem;
        changed.onDiscard = [&discarded] { ++discarded; };
        m_queue->restore({kept, changed});

        // Nothing runs or waits: the pill only counts them and offers no Stop and no progress.
        QVERIFY(m_bar->isVisible());
        NowPill* pill = m_bar->pill();
        QVERIFY(pill->isVisible());
        QCOMPARE(pill->nameText(), QStringLiteral("2 interrupted upscales"));
        QCOMPARE(pill->badgeText(), QString());
        QVERIFY(!pill->stopButton()->isVisible());
        QVERIFY(!pill->progressBar()->isVisible());
        QVERIFY(m_bar->reservedHeight() > 0);
        QTest::mouseClick(pill, Qt::LeftButton, {}, pill->rect().center());
        QVERIFY(m_bar->expanded());

        QueuePanel* panel = m_bar->panel();
        QCOMPARE(panel->countLabel()->text(), QStringLiteral("2 interrupted"));
        QVERIFY(!panel->activeCard()->isVisible());
        QVERIFY(!panel->stopButton()->isVisible());
        QVERIFY(panel->pendingRows().isEmpty());
        QVERIFY(panel->interruptedCaption()->isVisible());
        QCOMPARE(panel->interruptedCaption()->text(), QStringLiteral("Interrupted"));
        const QList<QWidget*> rows = panel->interruptedRows();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0)->objectName(), kept.id.toString(QUuid::WithoutBraces));
        QCOMPARE(buttonNames(rows.at(0)), QStringList({QStringLiteral("Resume clip.mp4"),
                                                       QStringLiteral("Discard clip.mp4")}));
        QVERIFY(
            labelTexts(rows.at(0)).contains(QStringLiteral("4K · Detailed · 12 of 40 segments")));
        QCOMPARE(buttonNames(rows.at(1)), QStringList({QStringLiteral("Discard old.mov")}));
        QVERIFY(labelTexts(rows.at(1)).contains(changed.resumeProblem));
        QVERIFY(!labelTexts(rows.at(1))
                     .contains(QStringLiteral("4K · Detailed · ") + changed.resumeProblem));

        QTest::mouseClick(pushButton(rows.at(0), QStringLiteral("Resume clip.mp4")),
                          Qt::LeftButton);
        QCOMPARE(resumed, 1);
        QTRY_COMPARE(runs->load(), 1);
        QTRY_COMPARE(m_queue->jobs().size(), 1);
        QCOMPARE(panel->interruptedRows().size(), 1);
        QVERIFY(m_bar->expanded());

        QTest::mouseClick(
            pushButton(panel->interruptedRows().constFirst(), QStringLiteral("Discard old.mov")),
            Qt::LeftButton);
        QCOMPARE(discarded, 1);
        QVERIFY(m_queue->jobs().isEmpty());
        QVERIFY(panel->interruptedRows().isEmpty());
        QVERIFY(!m_bar->expanded());
        QVERIFY(!m_bar->isVisible());
        QCOMPARE(m_bar->reservedHeight(), 0);
    }

    void interruptedJobsBesideRunningOnes()
    {
        UpscaleJob later = m_held.make(QStringLiteral("later.mp4"));
        later.resumable = true;
        later.statusText = QStringLiteral("Not started");
        m_queue->restore({later});
        m_queue->enqueue({m_held.make(QStringLiteral("now.mp4"))});
        QTRY_VERIFY(m_queue->active().has_value());
        // The running job is shown as today; the interrupted one is not counted as waiting.
        QCOMPARE(m_bar->pill()->nameText(), QStringLiteral("now.mp4"));
        QCOMPARE(m_bar->pill()->badgeText(), QString());
        QVERIFY(m_bar->pill()->stopButton()->isVisible());
        m_bar->setExpanded(true);
        QueuePanel* panel = m_bar->panel();
        QCOMPARE(panel->countLabel()->text(), QStringLiteral("1 job · 1 interrupted"));
        QVERIFY(panel->emptyLabel()->isVisible());
        QVERIFY(panel->stopButton()->isVisible());
        QCOMPARE(panel->interruptedRows().size(), 1);

        // Resumed behind the running job, it waits.
        QTest::mouseClick(
            pushButton(panel->interruptedRows().constFirst(), QStringLiteral("Resume later.mp4")),
            Qt::LeftButton);
        QCOMPARE(panel->pendingRows().size(), 1);
        QCOMPARE(panel->pendingRows().constFirst()->objectName(),
                 later.id.toString(QUuid::WithoutBraces));
        QVERIFY(panel->interruptedRows().isEmpty());
        QVERIFY(!panel->interruptedCaption()->isVisible());
        QCOMPARE(panel->countLabel()->text(), QStringLiteral("2 jobs"));
        QCOMPARE(m_bar->pill()->badgeText(), QStringLiteral("+1"));
    }

    void sectionListsOnlyItsKind()
    {
        JobProgressSection films(*m_queue, QStringLiteral("film"), QStringLiteral("Processing"),
                                 m_window.get());
        QVERIFY(!films.isVisible());
        const UpscaleJob video = m_held.make(QStringLiteral("v.mp4"));
        const UpscaleJob image = m_held.make(QStringLiteral("i.png"), QStringLiteral("photo"));
        const UpscaleJob video2 = m_held.make(QStringLiteral("w.mp4"));
        m_queue->enqueue({image, video, video2});
        QTRY_VERIFY(films.isVisible());
        QCOMPARE(films.listedJobs(), QList<QUuid>({video.id, video2.id}));
        QCOMPARE(films.countLabel()->text(), QStringLiteral("2 in progress"));
        // Interrupted jobs are not in progress.
        UpscaleJob kept = m_held.make(QStringLiteral("kept.mp4"));
        kept.resumable = true;
        m_queue->restore({kept});
        QCOMPARE(films.listedJobs(), QList<QUuid>({video.id, video2.id}));
    }
};

KORVANE_TEST_MAIN(TestNowBar)
#include "tst_nowbar.moc"
