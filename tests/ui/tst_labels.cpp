// Names that look like markup are shown as they are: by the queue panel and the processing
// section, and by the video and image screens (drop card, history rows, error line).
#include <atomic>
#include <memory>
#include <thread>

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QTextDocument>

#include "processing/AppSettings.h"
#include "processing/BatchProcessor.h"
#include "processing/BulkImageProcessor.h"
#include "processing/HistoryStore.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "processing/Upscaler.h"
#include "support/TestSupport.h"
#include "ui/components/DropCard.h"
#include "ui/components/HistoryCard.h"
#include "ui/image/ImageControlPane.h"
#include "ui/image/ImageUpscaleView.h"
#include "ui/queue/JobProgressSection.h"
#include "ui/queue/QueuePanel.h"
#include "ui/shell/MediaModeBinding.h"
#include "ui/video/UpscaleView.h"
#include "ui/video/VideoControlPane.h"

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

// Visible labels whose text contains the text.
QList<QLabel*> labelsQuoting(const QWidget& widget, const QString& text)
{
    QList<QLabel*> found;
    for (QLabel* label : widget.findChildren<QLabel*>()) {
        if (label->isVisible() && label->text().contains(text))
            found.append(label);
    }
    return found;
}

// QLabel reads its text as markup when told to, or when left to guess and the text looks like it.
bool readsAsMarkup(const QLabel& label)
{
    return label.textFormat() == Qt::RichText ||
           (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
}

// The video screen over its real models.
struct VideoScreen {
    Upscaler upscaler;
    BatchProcessor batch;
    MediaModeBinding mode;
    UpscaleView view{upscaler, batch, mode};
};

// The image screen over its real models.
struct ImageScreen {
    ImageUpscaler upscaler;
    BulkImageProcessor bulk;
    MediaModeBinding mode;
    ImageUpscaleView view{upscaler, bulk, mode};
};
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
    void initTestCase()
    {
        AppSettings::registerDefaults();
        AppSettings::setNotifyOnFinish(false);
        KorvaneTest::installStagedTools();
    }

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

    // A file whose name looks like markup, loaded into its screen, is named as typed on the drop
    // card, in its history row and in an error that quotes it.
    void markupInFileNamesIsShownLiterally_data()
    {
        QTest::addColumn<bool>("video");
        QTest::newRow("video screen") << true;
        QTest::newRow("image screen") << false;
    }

    void markupInFileNamesIsShownLiterally()
    {
        QFETCH(bool, video);
        const QString folder = KorvaneTest::isolatedRoot() + QStringLiteral("/media");
        QVERIFY(QDir().mkpath(folder));
        const QString name = video ? QStringLiteral("<b>clip & <img src=x>.mp4")
                                   : QStringLiteral("<b>picture & <img src=x>.png");
        const QString path = folder + QLatin1Char('/') + name;
        if (video) {
            QByteArray error;
            QCOMPARE(KorvaneTest::runFFmpeg({QStringLiteral("-y"), QStringLiteral("-f"),
                                             QStringLiteral("lavfi"), QStringLiteral("-i"),
                                             QStringLiteral("testsrc=size=32x18:rate=2"),
                                             QStringLiteral("-frames:v"), QStringLiteral("2"),
                                             QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                                             path},
                                            &error),
                     0);
        } else {
            QImage picture(24, 16, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            QVERIFY(picture.save(path));
        }
        HistoryStore::shared().flush();
        QFile::remove(Upscaler::historyPath());
        QFile::remove(ImageUpscaler::historyPath());
        const QString message = QStringLiteral("Could not read “") + name + QStringLiteral("”.");

        std::unique_ptr<VideoScreen> videoScreen;
        std::unique_ptr<ImageScreen> imageScreen;
        QWidget* view = nullptr;
        DropCard* dropCard = nullptr;
        HistoryCard* history = nullptr;
        QLabel* errorLine = nullptr;
        if (video) {
            videoScreen = std::make_unique<VideoScreen>();
            Upscaler& model = videoScreen->upscaler;
            QTRY_VERIFY_WITH_TIMEOUT(model.historyLoaded(), 20000);
            model.load(QUrl::fromLocalFile(path));
            Upscaler::HistoryEntry entry;
            entry.id = QUuid::createUuid();
            entry.name = name;
            entry.date = QDateTime::currentDateTimeUtc();
            entry.targetHeight = 2160;
            entry.error = message;
            model.setHistory({entry});
            model.setErrorText(message);
            view = &videoScreen->view;
            dropCard = videoScreen->view.dropCard();
            history = videoScreen->view.historyCard();
            errorLine = videoScreen->view.controlPane()->errorLine();
        } else {
            imageScreen = std::make_unique<ImageScreen>();
            ImageUpscaler& model = imageScreen->upscaler;
            QTRY_VERIFY_WITH_TIMEOUT(model.historyLoaded(), 20000);
            model.load(QUrl::fromLocalFile(path));
            ImageUpscaler::HistoryEntry entry;
            entry.id = QUuid::createUuid();
            entry.name = name;
            entry.date = QDateTime::currentDateTimeUtc();
            entry.scale = 4;
            entry.error = message;
            model.setHistory({entry});
            view = &imageScreen->view;
            dropCard = imageScreen->view.dropCard();
            history = imageScreen->view.historyCard();
        }
        view->resize(1100, 720);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));

        QCOMPARE(dropCard->title(), name);
        QVERIFY(!labelsShowing(*dropCard, name).isEmpty());
        QCOMPARE(history->table()->rowCount(), 1);
        QVERIFY(!labelsShowing(*history, name).isEmpty());
        if (errorLine) {
            QCOMPARE(errorLine->text(), message);
            QVERIFY(errorLine->isVisible());
        } else {
            // The image history row's last column carries the failure's words.
            QVERIFY(!labelsShowing(*history, message).isEmpty());
        }
        // Every label that names the file shows the name as typed.
        for (QLabel* label : labelsQuoting(*view, name))
            QVERIFY2(!readsAsMarkup(*label), qPrintable(label->objectName()));
    }
};

KORVANE_TEST_MAIN(TestLabels)
#include "tst_labels.moc"
