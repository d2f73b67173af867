// The image screen on real widgets over the real image and bulk models, with one end-to-end run
// of the real engine on tiny pictures.
#include <algorithm>
#include <memory>
#include <optional>

#include <QAbstractButton>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>

#include "account/SystemOpener.h"
#include "processing/AppSettings.h"
#include "processing/BulkImageProcessor.h"
#include "processing/HistoryStore.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "support/FileDialogDriver.h"
#include "support/TestSupport.h"
#include "ui/components/BeforeAfterSlider.h"
#include "ui/components/DropCard.h"
#include "ui/components/HistoryCard.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Segmented.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/image/FittedImage.h"
#include "ui/image/ImageControlPane.h"
#include "ui/image/ImageResultArea.h"
#include "ui/image/ImageResultTracker.h"
#include "ui/image/ImageScreenTexts.h"
#include "ui/image/ImageUpscaleView.h"
#include "ui/queue/JobProgressSection.h"

namespace {
constexpr int waitMs = 20000;
constexpr int jobWaitMs = 240000;

using Page = ImageResultArea::Page;

void clickOption(Segmented* control, int index)
{
    QTest::mouseClick(control, Qt::LeftButton, {}, control->optionRect(index).center());
}

// Sends a drag over the card and drops files on it, as a file manager would.
void dropFiles(QWidget* target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

ImageUpscaler::HistoryEntry entry(const QString& name, const std::optional<QString>& saved)
{
    ImageUpscaler::HistoryEntry e;
    e.id = QUuid::createUuid();
    e.name = name;
    e.date = QDateTime(QDate(2026, 1, 2), QTime(10, 0), Qt::UTC);
    e.scale = 4;
    e.success = saved.has_value();
    e.savedPath = saved;
    if (!saved)
        e.error = QStringLiteral("Could not encode image.");
    return e;
}

QAbstractButton* buttonNamed(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// The reveal button of a history row, or nullptr when the row shows "—".
QToolButton* revealButton(HistoryCard* card, int row)
{
    QWidget* cell = card->table()->cellWidget(row, 4);
    return cell ? cell->findChild<QToolButton*>() : nullptr;
}
} // namespace

class TestImageUpscaleView final : public QObject {
    Q_OBJECT

    struct Screen {
        ImageUpscaler upscaler;
        BulkImageProcessor bulk;
        MediaModeBinding mode;
        ImageUpscaleView view{upscaler, bulk, mode};
    };

    QString m_folder;
    QList<QPair<SystemOpener::Action, QUrl>> m_opened;

    QString writePicture(const QString& name, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixelColor(x, y, QColor((x * 255) / width, (y * 255) / height, 90));
        const QString path = m_folder + QLatin1Char('/') + name;
        if (!image.save(path))
            return {};
        return path;
    }

    std::unique_ptr<Screen> shownScreen()
    {
        auto screen = std::make_unique<Screen>();
        screen->view.resize(1100, 720);
        screen->view.show();
        return screen;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // No notification leaves this test.
        AppSettings::setNotifyOnFinish(false);
        AppSettings::setAskWhereToSave(false);
        KorvaneTest::installStagedTools();
        m_folder = KorvaneTest::isolatedRoot() + QStringLiteral("/pictures");
        QVERIFY(QDir().mkpath(m_folder));
        SystemOpener::setInterceptor([this](SystemOpener::Action action, const QUrl& url) {
            m_opened.append({action, url});
        });
    }

    void init()
    {
        m_opened.clear();
        HistoryStore::shared().flush();
        QFile::remove(ImageUpscaler::historyPath());
    }

    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("output 4×")
            << ImageScreenTexts::outputSize(1000, 750, 4) << QStringLiteral("4000×3000 px");
        QTest::newRow("output 2×")
            << ImageScreenTexts::outputSize(1000, 750, 2) << QStringLiteral("2000×1500 px");
        QTest::newRow("idle") << ImageScreenTexts::primaryTitle(false)
                              << QStringLiteral("Upscale Image");
        QTest::newRow("running") << ImageScreenTexts::primaryTitle(true)
                                 << QStringLiteral("Add to Queue");
        const QString saved = QDir::homePath() + QStringLiteral("/Pictures/cat_upscaled.png");
        QTest::newRow("saved line") << ImageScreenTexts::savedLine(saved)
                                    << QStringLiteral("Saved to ~/Pictures/cat_upscaled.png");
        QTest::newRow("saved to: path")
            << ImageScreenTexts::savedToText(entry(QStringLiteral("cat.png"), saved))
            << QStringLiteral("~/Pictures/cat_upscaled.png");
        QTest::newRow("saved to: error")
            << ImageScreenTexts::savedToText(entry(QStringLiteral("cat.png"), std::nullopt))
            << QStringLiteral("Could not encode image.");
        ImageUpscaler::HistoryEntry neither = entry(QStringLiteral("cat.png"), std::nullopt);
        neither.error.reset();
        QTest::newRow("saved to: neither")
            << ImageScreenTexts::savedToText(neither) << QStringLiteral("—");
        QTest::newRow("scale") << ImageScreenTexts::scaleText(3) << QStringLiteral("3×");
    }

    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    // A result is paired with the oldest queued picture of its name whose size fits the scale.
    void resultTracker_data()
    {
        QTest::addColumn<QStringList>("queuedNames");
        QTest::addColumn<QList<QSize>>("queuedSizes");
        QTest::addColumn<QString>("resultName");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QSize>("resultSize");
        QTest::addColumn<int>("paired"); // index of the queued picture, or -1

        QTest::newRow("name and size")
            << QStringList{QStringLiteral("a.png")} << QList<QSize>{{10, 8}}
            << QStringLiteral("a.png") << 4 << QSize(40, 32) << 0;
        QTest::newRow("wrong size") << QStringList{QStringLiteral("a.png")} << QList<QSize>{{10, 8}}
                                    << QStringLiteral("a.png") << 4 << QSize(20, 16) << -1;
        QTest::newRow("other name") << QStringList{QStringLiteral("a.png")} << QList<QSize>{{10, 8}}
                                    << QStringLiteral("b.png") << 4 << QSize(40, 32) << -1;
        QTest::newRow("same name, second fits")
            << QStringList{QStringLiteral("a.png"), QStringLiteral("a.png")}
            << QList<QSize>{{10, 8}, {6, 6}} << QStringLiteral("a.png") << 2 << QSize(12, 12) << 1;
        QTest::newRow("oldest first")
            << QStringList{QStringLiteral("a.png"), QStringLiteral("a.png")}
            << QList<QSize>{{10, 8}, {10, 8}} << QStringLiteral("a.png") << 3 << QSize(30, 24) << 0;
    }

    void resultTracker()
    {
        QFETCH(QStringList, queuedNames);
        QFETCH(QList<QSize>, queuedSizes);
        QFETCH(QString, resultName);
        QFETCH(int, scale);
        QFETCH(QSize, resultSize);
        QFETCH(int, paired);

        ImageResultTracker tracker;
        QList<QUrl> sources;
        for (int i = 0; i < queuedNames.size(); ++i) {
            sources.append(QUrl::fromLocalFile(QStringLiteral("/p%1/").arg(i) + queuedNames.at(i)));
            QImage picture(queuedSizes.at(i), QImage::Format_RGB32);
            picture.fill(Qt::gray);
            tracker.queued(sources.last(), picture);
        }
        QImage result(resultSize, QImage::Format_RGB32);
        result.fill(Qt::white);
        const auto pair = tracker.finished(resultName, scale, result);
        QCOMPARE(pair.has_value(), paired >= 0);
        if (pair) {
            QCOMPARE(pair->source, sources.at(paired));
            QCOMPARE(pair->original.size(), queuedSizes.at(paired));
            QCOMPARE(pair->upscaled.size(), resultSize);
            QCOMPARE(tracker.pendingCount(), queuedNames.size() - 1);
        }
        // A failure forgets one picture of its name.
        const qsizetype before = tracker.pendingCount();
        tracker.failed(queuedNames.constFirst());
        QCOMPARE(tracker.pendingCount(), std::max<qsizetype>(before - 1, 0));
    }

    // With nothing loaded the example pair is shown; without one of its pictures, the prompt.
    void examplePairOrPrompt()
    {
        const QString resources = qEnvironmentVariable("KORVANE_RESOURCES");
        const QString copy = KorvaneTest::isolatedRoot() + QStringLiteral("/resources-copy");
        QVERIFY(QDir().mkpath(copy));
        for (const QString& name : {QStringLiteral("Woman_looking_up.jpeg"),
                                    QStringLiteral("Woman_looking_up_upscaled.png")}) {
            QFile::remove(copy + QLatin1Char('/') + name);
            QVERIFY(
                QFile::copy(resources + QLatin1Char('/') + name, copy + QLatin1Char('/') + name));
        }
        qputenv("KORVANE_RESOURCES", QFile::encodeName(copy));
        {
            auto screen = shownScreen();
            QTRY_VERIFY_WITH_TIMEOUT(screen->view.hasSamples(), waitMs);
            ImageResultArea* area = screen->view.resultArea();
            QCOMPARE(area->page(), Page::Example);
            QVERIFY(area->exampleSlider()->isVisible());
            QCOMPARE(area->exampleSlider()->frac(), 0.5);
            QVERIFY(!area->exampleSlider()->original().isNull());
            QCOMPARE(area->exampleCaption()->text(),
                     QStringLiteral("Example — drag to compare. Drop your own image to upscale."));
            // No image: no estimates, and the button cannot start anything.
            QVERIFY(!screen->view.controlPane()->estimateCard()->isVisible());
            QVERIFY(!screen->view.controlPane()->primaryButton()->isEnabled());
            QCOMPARE(screen->view.dropCard()->title(), QStringLiteral("Drop an image here"));
        }
        QVERIFY(QFile::remove(copy + QStringLiteral("/Woman_looking_up_upscaled.png")));
        {
            auto screen = shownScreen();
            QSignalSpy loaded(&screen->view, &ImageUpscaleView::samplesLoaded);
            QVERIFY(loaded.wait(waitMs));
            ImageResultArea* area = screen->view.resultArea();
            QCOMPARE(area->page(), Page::Empty);
            QVERIFY(area->emptyText()->isVisible());
            QCOMPARE(area->emptyText()->text(), QStringLiteral("Drop an image to start"));
        }
        qputenv("KORVANE_RESOURCES", QFile::encodeName(resources));
    }

    // The estimate card follows the loaded image and the scale at once.
    void estimatesFollowTheScale()
    {
        const QString path = writePicture(QStringLiteral("wide.png"), 1000, 750);
        auto screen = shownScreen();
        ImageControlPane* pane = screen->view.controlPane();
        screen->view.routeSelection({QUrl::fromLocalFile(path)});
        QCOMPARE(screen->view.dropCard()->title(), QStringLiteral("wide.png"));
        QVERIFY(pane->primaryButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(pane->estimateCard()->isVisible(), waitMs);
        QCOMPARE(pane->outputValue()->text(), QStringLiteral("4000×3000 px"));
        QCOMPARE(pane->sizeValue()->text(), screen->upscaler.estimatedSizeText());
        QCOMPARE(pane->timeValue()->text(), screen->upscaler.estimatedTimeText());
        QCOMPARE(screen->view.dropCard()->detail(), screen->upscaler.sourceInfo());
        QCOMPARE(screen->view.resultArea()->page(), Page::Source);
        QCOMPARE(screen->view.resultArea()->sourceImage()->image().size(), QSize(1000, 750));

        clickOption(pane->scaleControl(), 0);
        QCOMPARE(screen->upscaler.scale(), 2);
        QCOMPARE(pane->outputValue()->text(), QStringLiteral("2000×1500 px"));
        QCOMPARE(pane->sizeValue()->text(), screen->upscaler.estimatedSizeText());
        clickOption(pane->qualityControl(), 2);
        QCOMPARE(screen->upscaler.quality(), AIQuality::Max);
        QCOMPARE(pane->timeValue()->text(), screen->upscaler.estimatedTimeText());
        // A change made elsewhere shows too.
        screen->upscaler.setScale(3);
        QCOMPARE(pane->scaleControl()->selection().toInt(), 3);
        QCOMPARE(pane->outputValue()->text(), QStringLiteral("3000×2250 px"));
    }

    void matchingFileSizeGreysTheFormat()
    {
        auto screen = shownScreen();
        ImageControlPane* pane = screen->view.controlPane();
        Segmented* format = pane->formatControl();
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(format->graphicsEffect());
        QVERIFY(fade);
        QVERIFY(format->isEnabled());
        QVERIFY(!fade->isEnabled());

        QTest::mouseClick(pane->matchSwitch(), Qt::LeftButton);
        QVERIFY(screen->upscaler.matchFileSize());
        QVERIFY(!format->isEnabled());
        QVERIFY(fade->isEnabled());
        QCOMPARE(fade->opacity(), 0.5);
        clickOption(format, 1);
        QCOMPARE(screen->upscaler.format(), QStringLiteral("png"));

        QTest::mouseClick(pane->matchSwitch(), Qt::LeftButton);
        QVERIFY(!screen->upscaler.matchFileSize());
        QVERIFY(format->isEnabled());
        QVERIFY(!fade->isEnabled());
        clickOption(format, 1);
        QCOMPARE(screen->upscaler.format(), QStringLiteral("jpg"));
    }

    void adjustmentsShowWithTheSwitch()
    {
        auto screen = shownScreen();
        ImageControlPane* pane = screen->view.controlPane();
        QVERIFY(!pane->adjustmentCard()->isVisible());
        QTest::mouseClick(pane->advancedSwitch(), Qt::LeftButton);
        QVERIFY(screen->upscaler.advanced());
        QVERIFY(pane->adjustmentCard()->isVisible());

        const QList<QSlider*> sliders = pane->adjustmentSliders();
        QCOMPARE(sliders.size(), 4);
        // The model's defaults: sharpness 0 of 0…2, brightness 0 of −0.3…0.3, contrast 1 of
        // 0.7…1.3, saturation 1 of 0…2.
        QCOMPARE(sliders.at(0)->value(), 0);
        QCOMPARE(sliders.at(1)->value(), 500);
        QCOMPARE(sliders.at(2)->value(), 500);
        QCOMPARE(sliders.at(3)->value(), 500);
        sliders.at(1)->setValue(1000);
        QCOMPARE(screen->upscaler.brightness(), 0.3);
        sliders.at(3)->setValue(250);
        QCOMPARE(screen->upscaler.saturation(), 0.5);
        screen->upscaler.setContrast(1.3);
        QCOMPARE(sliders.at(2)->value(), 1000);

        // Hiding the sliders keeps their values.
        QTest::mouseClick(pane->advancedSwitch(), Qt::LeftButton);
        QVERIFY(!pane->adjustmentCard()->isVisible());
        QCOMPARE(screen->upscaler.brightness(), 0.3);
        QCOMPARE(screen->upscaler.saturation(), 0.5);
    }

    void droppedFilesAreRouted()
    {
        const QString one = writePicture(QStringLiteral("one.png"), 8, 6);
        const QString two = writePicture(QStringLiteral("two.png"), 8, 6);
        auto screen = shownScreen();

        // One image is loaded; the tab stays single.
        dropFiles(screen->view.dropCard(), {QUrl::fromLocalFile(one)});
        QCOMPARE(screen->upscaler.inputURL(), QUrl::fromLocalFile(one));
        QCOMPARE(screen->mode.value(), MediaMode::Single);
        QVERIFY(screen->bulk.items().isEmpty());
        QVERIFY(screen->view.changeButton()->isVisible());

        // Two go to the bulk list, in order, and the tab switches to multiple images.
        dropFiles(screen->view.dropCard(), {QUrl::fromLocalFile(two), QUrl::fromLocalFile(one)});
        QCOMPARE(screen->bulk.items().size(), 2);
        QCOMPARE(screen->bulk.items().at(0).url, QUrl::fromLocalFile(two));
        QCOMPARE(screen->bulk.items().at(1).url, QUrl::fromLocalFile(one));
        QCOMPARE(screen->mode.value(), MediaMode::Multiple);
        QCOMPARE(screen->upscaler.inputURL(), QUrl::fromLocalFile(one));
        QCOMPARE(screen->view.controlPane()->modeControl()->selection().toInt(),
                 int(MediaMode::Multiple));

        // The mode control writes the binding back.
        clickOption(screen->view.controlPane()->modeControl(), 0);
        QCOMPARE(screen->mode.value(), MediaMode::Single);

        // A click on the card opens Qt's own dialog without blocking; the picture typed into
        // it and accepted is loaded.
        const QString three = writePicture(QStringLiteral("three.png"), 8, 6);
        QTest::mouseClick(screen->view.dropCard(), Qt::LeftButton);
        QVERIFY(KorvaneTest::acceptInFileDialog(three));
        QCOMPARE(screen->upscaler.inputURL(), QUrl::fromLocalFile(three));
        QCOMPARE(screen->mode.value(), MediaMode::Single);
    }

    void historyHeaderAndDeletion()
    {
        QStringList files;
        for (int i = 0; i < 4; ++i)
            files.append(writePicture(QStringLiteral("kept%1_upscaled.png").arg(i), 4, 4));
        auto screen = shownScreen();
        QTRY_VERIFY(screen->upscaler.historyLoaded());
        HistoryCard* card = screen->view.historyCard();
        QVERIFY(card->showsEmptyState());
        QCOMPARE(card->headerText(), QString());
        // The empty history is its line alone.
        const auto* emptyText = card->findChild<QLabel*>(QStringLiteral("emptyText"));
        QVERIFY(emptyText && emptyText->isVisibleTo(card));
        QCOMPARE(emptyText->text(), QStringLiteral("Upscaled images appear here"));
        QVERIFY(!card->findChild<QLabel*>(QStringLiteral("emptyIcon")));

        QList<ImageUpscaler::HistoryEntry> five;
        for (int i = 0; i < 4; ++i)
            five.append(entry(QStringLiteral("kept%1.png").arg(i), files.at(i)));
        five.append(entry(QStringLiteral("broken.png"), std::nullopt));
        screen->upscaler.setHistory(five);
        QCOMPARE(card->headerText(), QStringLiteral("5"));
        QVERIFY(card->clearButton()->isVisible());
        QCOMPARE(card->table()->rowCount(), 5);

        QItemSelectionModel* selection = card->table()->selectionModel();
        for (int row : {1, 3})
            selection->select(card->table()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(card->headerText(), QStringLiteral("2 selected"));
        QVERIFY(card->deleteSelectedButton()->isVisible());
        QVERIFY(!card->clearButton()->isVisible());

        // "Delete from history only" keeps the others in order and every file on disk.
        QTest::mouseClick(card->deleteSelectedButton(), Qt::LeftButton);
        QMessageBox* confirm = card->openConfirmation();
        QVERIFY(confirm);
        QCOMPARE(confirm->text(), QStringLiteral("Delete 2 selected"));
        QAbstractButton* historyOnly =
            buttonNamed(confirm, QStringLiteral("Delete from history only"));
        QVERIFY(historyOnly);
        historyOnly->click();
        QTRY_COMPARE(screen->upscaler.history().size(), 3);
        QCOMPARE(screen->upscaler.history().at(0).id, five.at(0).id);
        QCOMPARE(screen->upscaler.history().at(1).id, five.at(2).id);
        QCOMPARE(screen->upscaler.history().at(2).id, five.at(4).id);
        for (const QString& file : files)
            QVERIFY(QFileInfo::exists(file));
        QCOMPARE(card->headerText(), QStringLiteral("3"));

        // "Delete history and files" in the clear dialog removes the files through the model.
        QTest::mouseClick(card->clearButton(), Qt::LeftButton);
        confirm = card->openConfirmation();
        QVERIFY(confirm);
        QAbstractButton* withFiles =
            buttonNamed(confirm, QStringLiteral("Delete history and files"));
        QVERIFY(withFiles);
        withFiles->click();
        QTRY_VERIFY(screen->upscaler.history().isEmpty());
        QTRY_VERIFY(!QFileInfo::exists(files.at(0)));
        QTRY_VERIFY(!QFileInfo::exists(files.at(2)));
        QVERIFY(QFileInfo::exists(files.at(1)));
        QVERIFY(card->showsEmptyState());
    }

    // Two real upscales: a result that arrives while another image is loaded is not compared
    // with it; a result that arrives with nothing else loaded is compared with its own source.
    void upscaleEndToEnd()
    {
        const QString first = writePicture(QStringLiteral("first.png"), 16, 12);
        const QString second = writePicture(QStringLiteral("second.png"), 12, 16);
        auto screen = shownScreen();
        QTRY_VERIFY(screen->upscaler.historyLoaded());
        QTRY_VERIFY_WITH_TIMEOUT(screen->view.hasSamples(), waitMs);
        ImageControlPane* pane = screen->view.controlPane();
        ImageResultArea* area = screen->view.resultArea();
        clickOption(pane->qualityControl(), 0);
        clickOption(pane->scaleControl(), 0);
        QCOMPARE(screen->upscaler.quality(), AIQuality::Fast);
        QCOMPARE(screen->upscaler.scale(), 2);

        screen->view.routeSelection({QUrl::fromLocalFile(first)});
        QTRY_VERIFY_WITH_TIMEOUT(screen->upscaler.hasSelection(), waitMs);
        QCOMPARE(pane->primaryButton()->title(), QStringLiteral("Upscale Image"));
        // The section lists the job as soon as the queue has it, however short the run.
        qsizetype listed = 0;
        QObject probe;
        connect(&JobQueue::shared(), &JobQueue::jobsChanged, &probe, [&] {
            listed = std::max(listed, screen->view.progressSection()->listedJobs().size());
        });
        QTest::mouseClick(pane->primaryButton(), Qt::LeftButton);
        QVERIFY(screen->upscaler.inputURL().isEmpty());
        QVERIFY(!pane->primaryButton()->isEnabled());
        QCOMPARE(pane->primaryButton()->title(), QStringLiteral("Add to Queue"));
        QTRY_COMPARE_WITH_TIMEOUT(listed, 1, waitMs);

        // Another image while the first runs: the button queues it.
        screen->view.routeSelection({QUrl::fromLocalFile(second)});
        QTRY_VERIFY_WITH_TIMEOUT(screen->upscaler.hasSelection(), waitMs);
        QVERIFY(pane->primaryButton()->isEnabled());
        QCOMPARE(pane->primaryButton()->title(), QStringLiteral("Add to Queue"));
        QTRY_VERIFY_WITH_TIMEOUT(!screen->upscaler.isRunning(), jobWaitMs);
        QVERIFY2(screen->upscaler.errorText().isEmpty(), qPrintable(screen->upscaler.errorText()));
        QCOMPARE(screen->upscaler.history().size(), 1);
        QCOMPARE(screen->upscaler.upscaledImage().size(), QSize(32, 24));
        // The first result is not compared with the second image, nor its path shown for it.
        QCOMPARE(area->page(), Page::Source);
        QCOMPARE(area->sourceImage()->image().size(), QSize(12, 16));
        QVERIFY(!pane->savedLine()->isVisible());

        QTest::mouseClick(pane->primaryButton(), Qt::LeftButton);
        QVERIFY(screen->upscaler.inputURL().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!screen->upscaler.isRunning(), jobWaitMs);
        QVERIFY2(screen->upscaler.errorText().isEmpty(), qPrintable(screen->upscaler.errorText()));
        QTRY_VERIFY(screen->view.progressSection()->listedJobs().isEmpty());
        const QString saved = m_folder + QStringLiteral("/second_upscaled.png");
        QCOMPARE(screen->upscaler.history().size(), 2);
        QCOMPARE(screen->upscaler.history().constFirst().name, QStringLiteral("second.png"));
        QCOMPARE(screen->upscaler.history().constFirst().savedPath, saved);

        // The second result is compared with its own source, the wipe in the middle.
        QCOMPARE(area->page(), Page::Comparison);
        QVERIFY(area->resultSlider()->isVisible());
        QCOMPARE(area->resultSlider()->frac(), 0.5);
        QCOMPARE(area->resultSlider()->original().size(), QSize(12, 16));
        QCOMPARE(area->resultSlider()->upscaled().size(), QSize(24, 32));
        QVERIFY(pane->savedLine()->isVisible());
        QCOMPARE(pane->savedLine()->text(), ImageScreenTexts::savedLine(saved));
        clickOption(area->comparePicker(), 1);
        QCOMPARE(area->compareMode(), ImageCompareMode::SideBySide);
        QVERIFY(area->sideBySide()->isVisible());
        QVERIFY(!area->resultSlider()->isVisible());
        QCOMPARE(area->sideOriginal()->image().size(), QSize(12, 16));
        QCOMPARE(area->sideUpscaled()->image().size(), QSize(24, 32));
        const QList<QLabel*> titles = area->sideBySide()->findChildren<QLabel*>();
        QStringList titleTexts;
        for (QLabel* title : titles)
            titleTexts.append(title->text());
        QCOMPARE(titleTexts, (QStringList{QStringLiteral("Original"), QStringLiteral("Upscaled")}));

        // The reveal button shows the saved file, and disappears once the file is gone.
        HistoryCard* card = screen->view.historyCard();
        QTRY_VERIFY(revealButton(card, 0));
        QCOMPARE(revealButton(card, 0)->toolTip(), QStringLiteral("Show in Folder"));
        QTest::mouseClick(revealButton(card, 0), Qt::LeftButton);
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.constFirst().first, SystemOpener::Action::Reveal);
        QCOMPARE(m_opened.constFirst().second.toLocalFile(), saved);
        QVERIFY(QFile::remove(saved));
        QSignalSpy checked(&screen->view, &ImageUpscaleView::savedFilesChecked);
        screen->view.refreshSavedFiles();
        QVERIFY(checked.wait(waitMs));
        QVERIFY(!revealButton(card, 0));
        QVERIFY(revealButton(card, 1));

        // Loading an image ends the comparison.
        screen->view.routeSelection({QUrl::fromLocalFile(first)});
        QCOMPARE(area->page(), Page::Example);
        QVERIFY(!pane->savedLine()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(area->page(), Page::Source, waitMs);
    }
};

KORVANE_TEST_MAIN(TestImageUpscaleView)
#include "tst_imageupscaleview.moc"
