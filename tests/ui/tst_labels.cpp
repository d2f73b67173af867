// Names that look like markup are shown as they are by the queue panel and the processing
// section, which build their labels with the shared label helper.
#include <atomic>
#include <memory>
#include <thread>

#include <QFontMetrics>
#include <QLabel>

#include "processing/JobQueue.h"
#include "support/TestSupport.h"
#include "ui/JobProgressSection.h"
#include "ui/QueuePanel.h"

namespace {
const QString kMarkupName = QStringLiteral("<b>holiday</b> & <i>friends</i>.mov");

// Labels that show exactly the text.
QList<QLabel*> labelsShowing(const QWidget& widget, const QString& text)
{
    QList<QLabel*> found;
    for (QLabel* label : widget.findChildren<QLabel*>()) {
        if (label->isVisible() && label->text() == text)
            found.append(label);
    }
    return found;
}
} // namespace

class TestLabels final : public QObject {
    Q_OBJECT

    std::shared_ptr<std::atomic<bool>> m_released;
    std::unique_ptr<JobQueue> m_queue;
    std::unique_ptr<QWidget> m_view;

    // A job that reports once and then waits until the test releases it.
    UpscaleJob heldJob() const
    {
        UpscaleJob job;
        job.name = kMarkupName;
        job.icon = QStringLiteral("film");
        job.detail = QStringLiteral("4K · Detailed");
        job.run = [released = m_released](const UpscaleJob::ProgressReporter& report) {
            report(0.25, QStringLiteral("AI enhancing frames…"), QStringLiteral("1m 5s"));
            while (!released->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return QString();
        };
        job.onComplete = [](const UpscaleJob::Result&) {};
        return job;
    }

private Q_SLOTS:
    void init()
    {
        m_released = std::make_shared<std::atomic<bool>>(false);
        m_queue = std::make_unique<JobQueue>();
    }

    void cleanup()
    {
        m_released->store(true);
        QTRY_VERIFY(m_queue->jobs().isEmpty());
        m_view.reset();
        m_queue.reset();
    }

    void markupInJobNamesIsShownLiterally_data()
    {
        QTest::addColumn<bool>("panel");
        QTest::newRow("queue panel") << true;
        QTest::newRow("processing section") << false;
    }

    void markupInJobNamesIsShownLiterally()
    {
        QFETCH(bool, panel);
        if (panel)
            m_view = std::make_unique<QueuePanel>(*m_queue);
        else
            m_view = std::make_unique<JobProgressSection>(*m_queue, QStringLiteral("film"),
                                                          QStringLiteral("Processing"));
        m_view->resize(420, 600);
        m_view->show();
        // One job runs, the other waits behind it.
        m_queue->enqueue({heldJob(), heldJob()});
        QTRY_VERIFY(!labelsShowing(*m_view, kMarkupName).isEmpty());

        // Read as markup, the tags would vanish and the label would be narrower than the text.
        for (QLabel* label : labelsShowing(*m_view, kMarkupName)) {
            const int textWidth = QFontMetrics(label->font()).horizontalAdvance(kMarkupName);
            QVERIFY(label->sizeHint().width() >= textWidth);
        }
    }
};

KORVANE_TEST_MAIN(TestLabels)
#include "tst_labels.moc"
