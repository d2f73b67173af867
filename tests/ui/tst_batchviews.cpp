#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "account/SystemOpener.h"
#include "engine/UpscaleCore.h"
#include "processing/BatchProcessor.h"
#include "processing/BulkImageProcessor.h"
#include "processing/JobQueue.h"
#include "support/TestSupport.h"
#include "ui/batch/BatchListCard.h"
#include "ui/batch/BatchListRow.h"
#include "ui/batch/BatchScreen.h"
#include "ui/batch/BatchView.h"
#include "ui/batch/BulkImageView.h"
#include "ui/components/FilePicker.h"
#include "ui/components/DropCard.h"
#include "ui/components/GradientProgressBar.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Segmented.h"
#include "ui/shell/MediaModeBinding.h"

namespace {
constexpr int runMs = 240000;

// Answers the screens' pickers without a dialog and remembers what they asked.
class ScriptedPicker final : public FilePicker {
public:
    QList<QUrl> files;
    std::optional<QUrl> folder;
    QList<FilesRequest> fileRequests;
    QList<FolderRequest> folderRequests;

    void chooseFiles(const FilesRequest& request, const FilesChosen& done) override
    {
        fileRequests.append(request);
        if (!files.isEmpty())
            done(files);
    }
    void chooseFolder(const FolderRequest& request, const FolderChosen& done) override
    {
        folderRequests.append(request);
        if (folder)
            done(*folder);
    }
};

// One of the two screens over its own model, seen through what both have in common.
struct Screen {
    std::unique_ptr<QObject> model;
    MediaModeBinding mode;
    std::unique_ptr<QWidget> view;
    BatchScreen* screen = nullptr;
    Segmented* lastOption = nullptr; // the control locked while running
    std::function<bool(const QList<QUrl>&)> handleDrop;
    std::function<bool()> isRunning;
    std::function<QStringList()> statuses;

    BatchListCard* list() const { return screen->listCard(); }
    QList<BatchListRow*> rows() const { return screen->listCard()->rows(); }
    QStringList rowNames() const
    {
        QStringList names;
        for (const BatchListRow* row : rows())
            names.append(row->entry().name);
        return names;
    }
};

std::unique_ptr<Screen> makeScreen(bool images)
{
    auto screen = std::make_unique<Screen>();
    screen->mode.setValue(MediaMode::Multiple);
    if (images) {
        auto* bulk = new BulkImageProcessor;
        screen->model.reset(bulk);
        auto* view = new BulkImageView(*bulk, screen->mode);
        screen->view.reset(view);
        screen->screen = view->screen();
        screen->lastOption = view->formatControl();
        screen->handleDrop = [view](const QList<QUrl>& urls) { return view->handleDrop(urls); };
        screen->isRunning = [bulk] { return bulk->isRunning(); };
        screen->statuses = [bulk] {
            QStringList list;
            for (const BulkImageItem& item : bulk->items())
                list.append(item.status);
            return list;
        };
    } else {
        auto* batch = new BatchProcessor;
        screen->model.reset(batch);
        auto* view = new BatchView(*batch, screen->mode);
        screen->view.reset(view);
        screen->screen = view->screen();
        screen->lastOption = view->codecControl();
        screen->handleDrop = [view](const QList<QUrl>& urls) { return view->handleDrop(urls); };
        screen->isRunning = [batch] { return batch->isRunning(); };
        screen->statuses = [batch] {
            QStringList list;
            for (const BatchItem& item : batch->items())
                list.append(item.status);
            return list;
        };
    }
    screen->view->resize(1100, 720);
    screen->view->show();
    return screen;
}

QList<QUrl> urls(const QString& folder, const QStringList& names)
{
    QList<QUrl> list;
    for (const QString& name : names)
        list.append(QUrl::fromLocalFile(QDir(folder).filePath(name)));
    return list;
}

// Drags the URLs onto the card and drops them there, as the desktop does; returns whether the
// drop was taken.
bool dropOn(QWidget* card, const QList<QUrl>& list)
{
    QMimeData data;
    data.setUrls(list);
    const QPoint centre = card->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(card, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(card, &drop);
    return drop.isAccepted();
}

void clickOption(Segmented* control, int index)
{
    QTest::mouseClick(control, Qt::LeftButton, {}, control->optionRect(index).center());
}

// A tiny test-pattern clip or picture made with the real ffmpeg.
void makeClip(const QString& path, const QString& seconds)
{
    QCOMPARE(
        KorvaneTest::runFFmpeg({QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                QStringLiteral("-i"), QStringLiteral("testsrc=size=32x18:rate=5"),
                                QStringLiteral("-t"), seconds, QStringLiteral("-pix_fmt"),
                                QStringLiteral("yuv420p"), path}),
        0);
}

void makeImage(const QString& path)
{
    QCOMPARE(
        KorvaneTest::runFFmpeg({QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                QStringLiteral("-i"), QStringLiteral("testsrc=size=16x16"),
                                QStringLiteral("-frames:v"), QStringLiteral("1"), path}),
        0);
}

// A button's text as the user reads it: "&&" shows one ampersand, a single "&" marks a shortcut.
QString caption(const QAbstractButton* button)
{
    QString shown;
    const QString text = button->text();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && ++i == text.size())
            break;
        shown.append(text.at(i));
    }
    return shown;
}

bool isFinalStatus(const QString& status)
{
    return status == QStringLiteral("Done") || status == QStringLiteral("Failed") ||
           status == QStringLiteral("Stopped");
}
} // namespace

class BatchViewsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void collectsFilesWithoutDuplicates_data();
    void collectsFilesWithoutDuplicates();
    void runningLocksTheListUntilTheJobsEnd_data();
    void runningLocksTheListUntilTheJobsEnd();
    void videoRowsFollowARealRunAndAStop();
    void imageRowsShowDoneAndFailed();
    void keptResultRowOffersShowInFolder();

private:
    QTemporaryDir m_root;
    ScriptedPicker m_picker;
};

void BatchViewsTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    KorvaneTest::installStagedTools();
    QVERIFY(UpscaleCore::toolsInstalled());
}

void BatchViewsTest::init()
{
    m_picker = {};
    FilePicker::setCurrent(&m_picker);
}

void BatchViewsTest::cleanup()
{
    FilePicker::setCurrent(nullptr);
    SystemOpener::setInterceptor({});
    JobQueue::shared().setReordering(false);
}

void BatchViewsTest::collectsFilesWithoutDuplicates_data()
{
    QTest::addColumn<bool>("images");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("idleIcon");
    QTest::addColumn<QString>("countSuffix");
    QTest::addColumn<QString>("pickerMessage");

    QTest::newRow("videos") << false
                            << QStringList{QStringLiteral("a.mp4"), QStringLiteral("b.mov"),
                                           QStringLiteral("c.mp4"), QStringLiteral("d.mkv")}
                            << QStringLiteral("film") << QStringLiteral(" upscaled")
                            << QStringLiteral("Choose videos to upscale");
    QTest::newRow("images") << true
                            << QStringList{QStringLiteral("a.png"), QStringLiteral("b.jpg"),
                                           QStringLiteral("c.png"), QStringLiteral("d.webp")}
                            << QStringLiteral("photo") << QStringLiteral(" done")
                            << QStringLiteral("Choose one or more images to upscale");
}

void BatchViewsTest::collectsFilesWithoutDuplicates()
{
    QFETCH(bool, images);
    QFETCH(QStringList, names);
    QFETCH(QString, idleIcon);
    QFETCH(QString, countSuffix);
    QFETCH(QString, pickerMessage);
    const auto s = makeScreen(images);
    const QString folder = m_root.path();

    // An empty list: nothing to start, nothing to clear.
    QVERIFY(s->list()->emptyState()->isVisibleTo(s->view.get()));
    QVERIFY(!s->list()->countLabel()->isVisibleTo(s->view.get()));
    QVERIFY(!s->list()->clearButton()->isEnabled());
    QVERIFY(!s->screen->primaryButton()->isEnabled());
    QCOMPARE(caption(s->screen->primaryButton()), QStringLiteral("Upscale All & Save…"));
    QVERIFY(!s->screen->runningNote()->isVisibleTo(s->view.get()));

    // A click on the drop card opens the picker; its files are listed in order.
    m_picker.files = urls(folder, names.mid(0, 2));
    QTest::mouseClick(s->screen->dropCard(), Qt::LeftButton);
    QCOMPARE(m_picker.fileRequests.size(), 1);
    QCOMPARE(m_picker.fileRequests.at(0).message, pickerMessage);
    QCOMPARE(s->rowNames(), names.mid(0, 2));

    // Dropping three files, one of them listed, adds two rows; links that are no local files
    // are left out.
    QList<QUrl> dropped = urls(folder, {names.at(1), names.at(2), names.at(3)});
    dropped.append(QUrl(QStringLiteral("https://example.org/") + names.at(0)));
    QVERIFY(dropOn(s->screen->dropCard(), dropped));
    QCOMPARE(s->rowNames(), names);
    for (const BatchListRow* row : s->rows()) {
        QCOMPARE(row->statusText(), QStringLiteral("Ready"));
        QCOMPARE(row->iconName(), idleIcon);
        QVERIFY(!row->progressBar()->isVisibleTo(s->view.get()));
        QVERIFY(!row->revealButton()->isVisibleTo(s->view.get()));
        QVERIFY(row->removeButton()->isVisibleTo(s->view.get()));
    }
    QCOMPARE(s->list()->countLabel()->text(), QStringLiteral("0/4") + countSuffix);
    QVERIFY(!s->list()->emptyState()->isVisibleTo(s->view.get()));
    QVERIFY(s->list()->clearButton()->isEnabled());
    QVERIFY(s->screen->primaryButton()->isEnabled());

    // A drop with no usable file and a cancelled picker add nothing.
    QVERIFY(!dropOn(s->screen->dropCard(), {QUrl(QStringLiteral("https://example.org/x"))}));
    m_picker.files.clear();
    QTest::mouseClick(s->screen->dropCard(), Qt::LeftButton);
    QCOMPARE(s->rowNames(), names);

    // The row's remove button takes its file out; "Clear list" empties the list.
    QTest::mouseClick(s->rows().at(1)->removeButton(), Qt::LeftButton);
    QCOMPARE(s->rowNames(), (QStringList{names.at(0), names.at(2), names.at(3)}));
    QTest::mouseClick(s->list()->clearButton(), Qt::LeftButton);
    QVERIFY(s->rows().isEmpty());
    QVERIFY(s->list()->emptyState()->isVisibleTo(s->view.get()));
    QVERIFY(!s->screen->primaryButton()->isEnabled());

    // The mode control and the tab's mode follow each other.
    clickOption(s->screen->modeControl(), 0);
    QCOMPARE(s->mode.value(), MediaMode::Single);
    s->mode.setValue(MediaMode::Multiple);
    QCOMPARE(s->screen->modeControl()->selectedIndex(), 1);
}

void BatchViewsTest::runningLocksTheListUntilTheJobsEnd_data()
{
    QTest::addColumn<bool>("images");
    QTest::addColumn<QString>("folderMessage");
    QTest::addColumn<QString>("idleIcon");

    QTest::newRow("videos") << false
                            << QStringLiteral("Choose a folder to save all upscaled videos")
                            << QStringLiteral("film");
    QTest::newRow("images") << true << QStringLiteral("Choose a folder to save all upscaled images")
                            << QStringLiteral("photo");
}

void BatchViewsTest::runningLocksTheListUntilTheJobsEnd()
{
    QFETCH(bool, images);
    QFETCH(QString, folderMessage);
    QFETCH(QString, idleIcon);
    // Reorder mode keeps the queued jobs waiting, so the batch stays running without work.
    JobQueue& queue = JobQueue::shared();
    queue.setReordering(true);
    const auto s = makeScreen(images);
    const QStringList names = images
                                  ? QStringList{QStringLiteral("a.png"), QStringLiteral("b.png")}
                                  : QStringList{QStringLiteral("a.mp4"), QStringLiteral("b.mp4")};
    QVERIFY(s->handleDrop(urls(m_root.path(), names)));

    // A cancelled folder picker starts nothing.
    QTest::mouseClick(s->screen->primaryButton(), Qt::LeftButton);
    QCOMPARE(m_picker.folderRequests.size(), 1);
    QCOMPARE(m_picker.folderRequests.at(0).message, folderMessage);
    QCOMPARE(m_picker.folderRequests.at(0).prompt, QStringLiteral("Save Here"));
    QVERIFY(!s->isRunning());
    QVERIFY(queue.jobs().isEmpty());

    m_picker.folder = QUrl::fromLocalFile(m_root.path());
    QTest::mouseClick(s->screen->primaryButton(), Qt::LeftButton);
    QVERIFY(s->isRunning());
    QCOMPARE(queue.jobs().size(), 2);

    QCOMPARE(caption(s->screen->primaryButton()), QStringLiteral("In Queue…"));
    QVERIFY(!s->screen->primaryButton()->isEnabled());
    QVERIFY(s->screen->runningNote()->isVisibleTo(s->view.get()));
    QCOMPARE(s->screen->runningNote()->text(), QStringLiteral("0/2 done · see the Now bar"));
    QVERIFY(s->screen->dropCard()->isInert());
    QVERIFY(!s->lastOption->isEnabled());
    QVERIFY(!s->list()->clearButton()->isEnabled());
    for (const BatchListRow* row : s->rows())
        QVERIFY(!row->removeButton()->isVisibleTo(s->view.get()));

    // Nothing can be added or removed while running.
    const QList<QUrl> more = urls(m_root.path(), {QStringLiteral("c.mp4")});
    QVERIFY(!s->handleDrop(more));
    QVERIFY(!dropOn(s->screen->dropCard(), more));
    QTest::mouseClick(s->screen->dropCard(), Qt::LeftButton);
    QVERIFY(m_picker.fileRequests.isEmpty());
    QTest::mouseClick(s->list()->clearButton(), Qt::LeftButton);
    QCOMPARE(s->rowNames(), names);

    // The quality can still be changed; it applies to the next run only.
    const QString detail = queue.jobs().at(0).detail;
    Segmented* quality = images ? static_cast<BulkImageView*>(s->view.get())->qualityControl()
                                : static_cast<BatchView*>(s->view.get())->qualityControl();
    QVERIFY(quality->isEnabled());
    clickOption(quality, 2);
    QCOMPARE(quality->selection().toString(), QStringLiteral("max"));
    QCOMPARE(queue.jobs().at(0).detail, detail);

    // Taking the jobs off the queue stops their files: "Stopped" with the plain icon.
    while (!queue.jobs().isEmpty())
        queue.remove(queue.jobs().constFirst().id);
    QVERIFY(!s->isRunning());
    for (const BatchListRow* row : s->rows()) {
        QCOMPARE(row->statusText(), QStringLiteral("Stopped"));
        QCOMPARE(row->iconName(), idleIcon);
        QVERIFY(!row->revealButton()->isVisibleTo(s->view.get()));
        QVERIFY(row->removeButton()->isVisibleTo(s->view.get()));
    }
    QCOMPARE(caption(s->screen->primaryButton()), QStringLiteral("Upscale All & Save…"));
    QVERIFY(s->screen->primaryButton()->isEnabled());
    QVERIFY(!s->screen->runningNote()->isVisibleTo(s->view.get()));
    QVERIFY(!s->screen->dropCard()->isInert());
    QVERIFY(s->lastOption->isEnabled());
    QVERIFY(s->list()->clearButton()->isEnabled());
}

void BatchViewsTest::videoRowsFollowARealRunAndAStop()
{
    const QString in = m_root.filePath(QStringLiteral("video-in"));
    const QString out = m_root.filePath(QStringLiteral("video-out"));
    QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
    makeClip(QDir(in).filePath(QStringLiteral("long.mp4")), QStringLiteral("6"));
    makeClip(QDir(in).filePath(QStringLiteral("short.mp4")), QStringLiteral("1"));

    const auto s = makeScreen(false);
    auto* batch = static_cast<BatchProcessor*>(s->model.get());
    auto* view = static_cast<BatchView*>(s->view.get());
    // A tiny target keeps the run short; the resolution control then shows no choice.
    batch->setOptions({144, Codecs::h264, AIQuality::Fast});
    QCOMPARE(view->resolutionControl()->selectedIndex(), -1);
    QCOMPARE(view->qualityControl()->selection().toString(), QStringLiteral("fast"));
    QCOMPARE(view->codecControl()->selectedIndex(), 0);
    QVERIFY(view->handleDrop(urls(in, {QStringLiteral("long.mp4"), QStringLiteral("short.mp4")})));

    // What each row said while the batch ran, as the screen showed it.
    QList<QStringList> shown;
    bool barShown = false;
    connect(batch, &BatchProcessor::itemsChanged, this, [&] {
        QStringList texts;
        for (const BatchListRow* row : s->rows()) {
            texts.append(row->statusText());
            barShown |= row->progressBar()->isVisibleTo(s->view.get());
        }
        shown.append(texts);
    });

    m_picker.folder = QUrl::fromLocalFile(out);
    QTest::mouseClick(s->screen->primaryButton(), Qt::LeftButton);
    QVERIFY(batch->isRunning());
    // Once the engine reports on the first video, the user stops it.
    QTRY_VERIFY_WITH_TIMEOUT(!isFinalStatus(s->statuses().at(0)) &&
                                 s->statuses().at(0) != QStringLiteral("Queued"),
                             runMs);
    QCOMPARE(s->rows().at(1)->statusText(), QStringLiteral("Queued"));
    JobQueue::shared().stopActive();
    QTRY_VERIFY_WITH_TIMEOUT(!batch->isRunning(), runMs);

    const BatchListRow* stopped = s->rows().at(0);
    QCOMPARE(stopped->statusText(), QStringLiteral("Stopped"));
    QCOMPARE(stopped->iconName(), QStringLiteral("film"));
    QVERIFY(!stopped->revealButton()->isVisibleTo(s->view.get()));
    const BatchListRow* done = s->rows().at(1);
    QCOMPARE(done->statusText(), QStringLiteral("Done"));
    QCOMPARE(done->iconName(), QStringLiteral("checkmark.circle.fill"));
    QVERIFY(!done->progressBar()->isVisibleTo(s->view.get()));
    QCOMPARE(s->list()->countLabel()->text(), QStringLiteral("1/2 upscaled"));

    // The first row showed engine phases while the second waited; the second then went
    // through its own phases.
    QStringList firstPhases;
    QStringList secondPhases;
    for (const QStringList& texts : std::as_const(shown)) {
        if (!isFinalStatus(texts.at(0)) && texts.at(0) != QStringLiteral("Queued")) {
            firstPhases.append(texts.at(0));
            QCOMPARE(texts.at(1), QStringLiteral("Queued"));
        }
        if (!isFinalStatus(texts.at(1)) && texts.at(1) != QStringLiteral("Queued")) {
            secondPhases.append(texts.at(1));
            QCOMPARE(texts.at(0), QStringLiteral("Stopped"));
        }
    }
    QVERIFY(!firstPhases.isEmpty());
    QVERIFY(!secondPhases.isEmpty());
    // A running row adds the remaining time to its phase and shows a progress bar.
    QVERIFY(std::any_of(secondPhases.cbegin(), secondPhases.cend(),
                        [](const QString& text) { return text.contains(QStringLiteral(" · ")); }));
    QVERIFY(barShown);

    // The finished row shows its file in the file manager.
    QList<QUrl> revealed;
    SystemOpener::setInterceptor([&revealed](SystemOpener::Action action, const QUrl& url) {
        if (action == SystemOpener::Action::Reveal)
            revealed.append(url);
    });
    QTest::mouseClick(done->revealButton(), Qt::LeftButton);
    const QString output = QDir(out).filePath(QStringLiteral("short_144p.mp4"));
    QVERIFY(QFileInfo::exists(output));
    QCOMPARE(revealed, QList<QUrl>{QUrl::fromLocalFile(output)});
}

void BatchViewsTest::imageRowsShowDoneAndFailed()
{
    const QString in = m_root.filePath(QStringLiteral("image-in"));
    const QString out = m_root.filePath(QStringLiteral("image-out"));
    QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
    makeImage(QDir(in).filePath(QStringLiteral("fine.png")));
    QVERIFY(KorvaneTest::writeFile(QDir(in).filePath(QStringLiteral("broken.png")),
                                   "Not a picture.\n"));

    const auto s = makeScreen(true);
    auto* bulk = static_cast<BulkImageProcessor*>(s->model.get());
    auto* view = static_cast<BulkImageView*>(s->view.get());
    clickOption(view->qualityControl(), 0);
    clickOption(view->scaleControl(), 0);
    clickOption(view->formatControl(), 1);
    QCOMPARE(bulk->quality(), AIQuality::Fast);
    QCOMPARE(bulk->scale(), 2);
    QCOMPARE(bulk->format(), QStringLiteral("jpg"));
    QVERIFY(view->handleDrop(urls(in, {QStringLiteral("broken.png"), QStringLiteral("fine.png")})));

    QStringList firstRowTexts;
    connect(bulk, &BulkImageProcessor::itemsChanged, this, [&] {
        const QString text = s->rows().at(0)->statusText();
        if (firstRowTexts.isEmpty() || firstRowTexts.constLast() != text)
            firstRowTexts.append(text);
    });
    m_picker.folder = QUrl::fromLocalFile(out);
    QTest::mouseClick(s->screen->primaryButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!bulk->isRunning(), runMs);

    QCOMPARE(firstRowTexts, (QStringList{QStringLiteral("Queued"), QStringLiteral("Upscaling…"),
                                         QStringLiteral("Failed")}));
    const BatchListRow* failed = s->rows().at(0);
    QCOMPARE(failed->iconName(), QStringLiteral("xmark.circle.fill"));
    QVERIFY(!failed->revealButton()->isVisibleTo(s->view.get()));
    const BatchListRow* done = s->rows().at(1);
    QCOMPARE(done->statusText(), QStringLiteral("Done"));
    QCOMPARE(done->iconName(), QStringLiteral("checkmark.circle.fill"));
    QVERIFY(done->revealButton()->isVisibleTo(s->view.get()));
    QVERIFY(QFileInfo::exists(QDir(out).filePath(QStringLiteral("fine_upscaled.jpg"))));
    QCOMPARE(s->list()->countLabel()->text(), QStringLiteral("1/2 done"));
}

void BatchViewsTest::keptResultRowOffersShowInFolder()
{
    // A failed item whose finished picture could not be saved shows it in the file manager.
    QWidget host;
    BatchListRow row(QStringLiteral("photo"), false, &host);
    const QUrl kept = QUrl::fromLocalFile(QDir::tempPath() + QStringLiteral("/img-A-upscaled.png"));
    row.setEntry({QUuid::createUuid(),
                  QStringLiteral("p.png"),
                  QStringLiteral("Not saved."),
                  0,
                  {},
                  {},
                  true,
                  kept},
                 false);
    QCOMPARE(row.iconName(), QStringLiteral("xmark.circle.fill"));
    QVERIFY(row.revealButton()->isVisibleTo(&host));
    QList<QUrl> revealed;
    connect(&row, &BatchListRow::revealRequested, this,
            [&revealed](const QUrl& url) { revealed.append(url); });
    QTest::mouseClick(row.revealButton(), Qt::LeftButton);
    QCOMPARE(revealed, QList<QUrl>{kept});
}

KORVANE_TEST_MAIN(BatchViewsTest)
#include "tst_batchviews.moc"
