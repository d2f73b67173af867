// The video screen on real widgets over the real models: file arrival, the control pane's rules,
// the history card, saved copies, and one preview-then-upscale run with the real engine.
#include <QAbstractButton>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QThreadPool>
#include <QToolButton>

#include "account/SystemOpener.h"
#include "engine/UpscaleOptions.h"
#include "processing/AppSettings.h"
#include "processing/BatchProcessor.h"
#include "processing/HistoryStore.h"
#include "processing/JobQueue.h"
#include "processing/Upscaler.h"
#include "support/FileDialogDriver.h"
#include "support/ModelTestSupport.h"
#include "support/TestSupport.h"
#include "ui/components/DropCard.h"
#include "ui/components/HistoryCard.h"
#include "ui/compare/SyncedCompare.h"
#include "ui/components/Segmented.h"
#include "ui/queue/JobProgressSection.h"
#include "ui/shell/MediaModeBinding.h"
#include "ui/video/CompareSheet.h"
#include "ui/components/PlayerView.h"
#include "ui/components/ProminentButton.h"
#include "ui/video/PlayerSheet.h"
#include "ui/video/PreviewSheet.h"
#include "ui/video/UpscaleView.h"
#include "ui/video/VideoControlPane.h"
#include "ui/video/VideoScreenTexts.h"

namespace {
constexpr int waitMs = 20000;
constexpr int engineWaitMs = 180000;

// The screen with its own models, as the window makes them.
struct Screen {
    Upscaler upscaler;
    BatchProcessor batch;
    MediaModeBinding mode;
    UpscaleView view{upscaler, batch, mode};

    Screen()
    {
        view.resize(1100, 720);
        view.show();
        if (!QTest::qWaitFor([this] { return upscaler.historyLoaded(); }, waitMs))
            qWarning("The history was not read in time");
    }
    VideoControlPane& pane() const { return *view.controlPane(); }
};

void dropOn(DropCard* card, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = card->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(card, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(card, &drop);
}

void choose(Segmented* control, int option)
{
    QTest::mouseClick(control, Qt::LeftButton, {}, control->optionRect(option).center());
}

QAbstractButton* buttonNamed(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// Clicks the middle of a cell, as a user selecting rows does.
void clickRow(QTableWidget* table, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QRect cell = table->visualRect(table->model()->index(row, 1));
    QWidget* target = table->viewport()->childAt(cell.center());
    if (!target)
        target = table->viewport();
    QTest::mouseClick(target, Qt::LeftButton, modifiers,
                      target->mapFrom(table->viewport(), cell.center()));
}

Upscaler::HistoryEntry entry(const QString& name, const QString& output)
{
    Upscaler::HistoryEntry made;
    made.id = QUuid::createUuid();
    made.name = name;
    made.date = QDateTime::currentDateTimeUtc();
    made.targetHeight = 2160;
    made.quality = AIQuality::Detailed;
    made.success = !output.isEmpty();
    made.durationSec = 4;
    if (output.isEmpty())
        made.error = QStringLiteral("FFmpeg failed");
    else
        made.outputURL = QUrl::fromLocalFile(output);
    return made;
}
} // namespace

class TestUpscaleView final : public QObject {
    Q_OBJECT

    KorvaneTest::AnsweringSaveDialog m_dialog;
    QStringList m_revealed;
    QString m_folder;
    QString m_clip;

    QString makeClip(const QString& name, const QString& size, int frames)
    {
        const QString path = m_folder + QLatin1Char('/') + name;
        QByteArray error;
        const int status = KorvaneTest::runFFmpeg(
            {QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"),
             QStringLiteral("testsrc=size=") + size + QStringLiteral(":rate=2"),
             QStringLiteral("-frames:v"), QString::number(frames), QStringLiteral("-pix_fmt"),
             QStringLiteral("yuv420p"), path},
            &error);
        if (status != 0)
            qWarning("ffmpeg could not make %s: %s", qPrintable(name), error.constData());
        return path;
    }

    // Writes one kind of file that is no readable video, named after the table's rows.
    void makeBroken(const QString& name, const QString& path)
    {
        if (name == QStringLiteral("folder.mp4")) {
            QVERIFY(QDir().mkpath(path));
        } else if (name == QStringLiteral("empty.mp4")) {
            QVERIFY(KorvaneTest::writeFile(path, {}));
        } else if (name == QStringLiteral("truncated.mp4")) {
            // The index of an MP4 is written last; the first half of the file has none.
            const QString whole = makeClip(QStringLiteral("whole.mp4"), QStringLiteral("64x36"), 8);
            const QByteArray bytes = KorvaneTest::readFile(whole);
            QVERIFY(KorvaneTest::writeFile(path, bytes.left(bytes.size() / 2)));
        } else {
            const QStringList arguments =
                name == QStringLiteral("sound.mp4")
                    ? QStringList{QStringLiteral("sine=duration=1"), QStringLiteral("-f"),
                                  QStringLiteral("mp4")}
                    : QStringList{QStringLiteral("testsrc=size=32x18"),
                                  QStringLiteral("-frames:v"),
                                  QStringLiteral("1"),
                                  QStringLiteral("-c:v"),
                                  QStringLiteral("png"),
                                  QStringLiteral("-f"),
                                  QStringLiteral("image2")};
            QCOMPARE(
                KorvaneTest::runFFmpeg(QStringList{QStringLiteral("-y"), QStringLiteral("-f"),
                                                   QStringLiteral("lavfi"), QStringLiteral("-i")} +
                                       arguments + QStringList{path}),
                0);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        AppSettings::registerDefaults();
        AppSettings::setNotifyOnFinish(false);
        KorvaneTest::installStagedTools();
        SaveDialog::setCurrent(&m_dialog);
        SystemOpener::setInterceptor([this](SystemOpener::Action, const QUrl& url) {
            m_revealed.append(url.toLocalFile());
        });
        m_folder = KorvaneTest::isolatedRoot() + QStringLiteral("/videos");
        QDir().mkpath(m_folder);
        m_clip = makeClip(QStringLiteral("clip.mp4"), QStringLiteral("32x18"), 2);
        QVERIFY(QFileInfo::exists(m_clip));
    }

    void init()
    {
        AppSettings::setAskWhereToSave(false);
        m_dialog.answer.reset();
        m_dialog.requests.clear();
        m_revealed.clear();
        HistoryStore::shared().flush();
        QFile::remove(Upscaler::historyPath());
    }

    void primaryTitle_data()
    {
        QTest::addColumn<bool>("previewBusy");
        QTest::addColumn<bool>("advancedPreview");
        QTest::addColumn<bool>("isRunning");
        QTest::addColumn<QString>("title");
        QTest::newRow("preview being made wins")
            << true << true << true << QStringLiteral("Generating preview…");
        QTest::newRow("preview first")
            << false << true << false << QStringLiteral("Preview & Upscale");
        QTest::newRow("preview first, queue busy")
            << false << true << true << QStringLiteral("Preview & Add to Queue");
        QTest::newRow("straight") << false << false << false << QStringLiteral("Upscale Video");
        QTest::newRow("straight, queue busy")
            << false << false << true << QStringLiteral("Add to Queue");
    }

    void primaryTitle()
    {
        QFETCH(bool, previewBusy);
        QFETCH(bool, advancedPreview);
        QFETCH(bool, isRunning);
        QFETCH(QString, title);
        QCOMPARE(VideoScreenTexts::primaryTitle(previewBusy, advancedPreview, isRunning), title);
    }

    void dropRoutesFiles_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one video is loaded") << 1;
        QTest::newRow("three files go to the batch list") << 3;
    }

    void dropRoutesFiles()
    {
        QFETCH(int, count);
        Screen screen;
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i)
            urls.append(QUrl::fromLocalFile(m_folder + QStringLiteral("/drop%1.mp4").arg(i)));
        QSignalSpy dragOver(screen.view.dropCard(), &DropCard::dragOverChanged);
        dropOn(screen.view.dropCard(), urls);
        QCOMPARE(dragOver.size(), 2); // highlighted while hovering, plain after the drop
        QVERIFY(!screen.view.dropCard()->dragOver());
        if (count == 1) {
            QCOMPARE(screen.upscaler.inputURL(), urls.first());
            QCOMPARE(screen.mode.value(), MediaMode::Single);
            QVERIFY(screen.batch.items().isEmpty());
            QCOMPARE(screen.view.dropCard()->title(), QStringLiteral("drop0.mp4"));
            QCOMPARE(screen.view.dropCard()->detail(), QStringLiteral("Reading…"));
            // Nothing there: refused with the file's name, and nothing to upscale.
            QVERIFY(!screen.pane().primaryButton()->isEnabled());
            QTRY_COMPARE_WITH_TIMEOUT(screen.view.dropCard()->detail(),
                                      QStringLiteral("“drop0.mp4” can't be found — it may have "
                                                     "been moved or deleted."),
                                      waitMs);
            QVERIFY(!screen.pane().primaryButton()->isEnabled());
        } else {
            QVERIFY(screen.upscaler.inputURL().isEmpty());
            QCOMPARE(screen.mode.value(), MediaMode::Multiple);
            QCOMPARE(screen.batch.items().size(), 3);
            for (int i = 0; i < count; ++i)
                QCOMPARE(screen.batch.items().at(i).url, urls.at(i));
            QCOMPARE(screen.pane().modeControl()->selection().toInt(), int(MediaMode::Multiple));
        }
    }

    void dropWithoutFilesDoesNothing()
    {
        Screen screen;
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://example.org/clip.mp4"))});
        QVERIFY(!screen.view.handleDrop(web));
        dropOn(screen.view.dropCard(), {QUrl(QStringLiteral("https://example.org/a.mp4"))});
        QVERIFY(screen.upscaler.inputURL().isEmpty());
        QVERIFY(screen.batch.items().isEmpty());
        QCOMPARE(screen.view.dropCard()->title(), QStringLiteral("Drop a video here"));
        QVERIFY(!screen.pane().primaryButton()->isEnabled());
        QCOMPARE(screen.pane().primaryButton()->title(), QStringLiteral("Upscale Video"));
    }

    void browsingLoadsTheChosenVideo()
    {
        // Qt's own dialog, as Debian's Qt uses without a platform theme: typing the path and
        // pressing Return loads the video.
        Screen screen;
        QTest::mouseClick(screen.view.dropCard(), Qt::LeftButton);
        QFileDialog* dialog = KorvaneTest::openFileDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        QVERIFY(KorvaneTest::acceptInFileDialog(m_clip));
        QCOMPARE(screen.upscaler.inputURL(), QUrl::fromLocalFile(m_clip));
        QTRY_VERIFY_WITH_TIMEOUT(screen.pane().primaryButton()->isEnabled(), waitMs);
        QCOMPARE(screen.view.dropCard()->title(), QStringLiteral("clip.mp4"));
        QVERIFY(screen.view.dropCard()->detail().startsWith(QStringLiteral("32×18")));

        // The next dialog opens in the folder the clip came from; cancelling changes nothing.
        QTest::mouseClick(screen.view.changeButton(), Qt::LeftButton);
        dialog = KorvaneTest::openFileDialog();
        QVERIFY(dialog);
        QCOMPARE(QFileInfo(dialog->directory().absolutePath()).canonicalFilePath(),
                 QFileInfo(m_folder).canonicalFilePath());
        dialog->reject();
        QCOMPARE(screen.upscaler.inputURL(), QUrl::fromLocalFile(m_clip));
    }

    void brokenFilesAreRefusedAtLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QStringLiteral("empty.mp4")
                               << QStringLiteral("“empty.mp4” is empty.");
        QTest::newRow("truncated") << QStringLiteral("truncated.mp4")
                                   << QStringLiteral("“truncated.mp4” can't be read as a video — "
                                                     "the file may be incomplete or damaged.");
        QTest::newRow("sound only") << QStringLiteral("sound.mp4")
                                    << QStringLiteral("“sound.mp4” has sound but no picture.");
        QTest::newRow("picture renamed")
            << QStringLiteral("photo.mp4")
            << QStringLiteral("“photo.mp4” is a picture, not a video — upscale it on the Image "
                              "screen.");
        QTest::newRow("folder") << QStringLiteral("folder.mp4")
                                << QStringLiteral("“folder.mp4” is a folder, not a video.");
    }

    void brokenFilesAreRefusedAtLoad()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        const QString path = m_folder + QStringLiteral("/broken/") + name;
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/broken")));
        makeBroken(name, path);
        Screen screen;
        VideoControlPane& pane = screen.pane();
        // An earlier failure is not left under the next file.
        screen.upscaler.setErrorText(QStringLiteral("An earlier failure"));

        screen.upscaler.load(QUrl::fromLocalFile(path));
        QVERIFY(pane.errorLine()->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(screen.upscaler.loadProblem(), message, waitMs);
        QCOMPARE(screen.view.dropCard()->title(), name);
        QCOMPARE(screen.view.dropCard()->detail(), message);
        QVERIFY(screen.view.dropCard()->showsProblem());
        QVERIFY(!pane.primaryButton()->isEnabled());
        QVERIFY(!screen.view.playButton()->isEnabled());
        // Even asked directly, the model queues nothing and records nothing.
        screen.upscaler.upscale(screen.upscaler.inputURL(), 1080, Codecs::h264, AIQuality::Fast);
        QVERIFY(!screen.upscaler.isRunning());
        QVERIFY(JobQueue::shared().jobs().isEmpty());
        QVERIFY(screen.upscaler.history().isEmpty());

        // A readable video takes its place, without the problem.
        screen.upscaler.load(QUrl::fromLocalFile(m_clip));
        QVERIFY(screen.upscaler.loadProblem().isEmpty());
        QCOMPARE(screen.view.dropCard()->detail(), QStringLiteral("Reading…"));
        QVERIFY(!screen.view.dropCard()->showsProblem());
        QTRY_VERIFY_WITH_TIMEOUT(pane.primaryButton()->isEnabled(), waitMs);
        QVERIFY(screen.view.dropCard()->detail().startsWith(QStringLiteral("32×18")));
    }

    void alreadyHighSource()
    {
        const QString tall = makeClip(QStringLiteral("tall.mp4"), QStringLiteral("64x2160"), 1);
        Screen screen;
        VideoControlPane& pane = screen.pane();
        screen.upscaler.load(QUrl::fromLocalFile(tall));
        // Height not read yet: never counts as already high, and there is nothing to upscale yet.
        QCOMPARE(screen.upscaler.srcH(), 0);
        QVERIFY(!screen.view.alreadyHighRes());
        QVERIFY(!pane.alreadyHighNote()->isVisibleTo(&pane));
        QVERIFY(!pane.primaryButton()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(screen.upscaler.srcH(), 2160, waitMs);

        choose(pane.resolutionControl(), 1); // 4K
        QCOMPARE(screen.upscaler.targetHeight(), 2160);
        QVERIFY(screen.view.alreadyHighRes());
        QVERIFY(pane.alreadyHighNote()->isVisibleTo(&pane));
        QCOMPARE(pane.alreadyHighNote()->text(),
                 QStringLiteral("This video is already 2160p — at or above the selected output. "
                                "Pick a higher output or a lower-resolution source."));
        QVERIFY(!pane.primaryButton()->isEnabled());
        choose(pane.resolutionControl(), 0); // 1080p
        QCOMPARE(screen.upscaler.targetHeight(), 1080);
        QVERIFY(pane.alreadyHighNote()->isVisibleTo(&pane));
        QVERIFY(!pane.primaryButton()->isEnabled());

        // A lower source lifts the rule.
        screen.upscaler.load(QUrl::fromLocalFile(m_clip));
        QTRY_COMPARE_WITH_TIMEOUT(screen.upscaler.srcH(), 18, waitMs);
        QVERIFY(!pane.alreadyHighNote()->isVisibleTo(&pane));
        QVERIFY(pane.primaryButton()->isEnabled());
        QVERIFY(pane.recommendationNote()->isVisibleTo(&pane));
        QCOMPARE(pane.recommendationText()->text(), screen.upscaler.recommendationText());
        QVERIFY(pane.storageEstimate()->isVisibleTo(&pane));
        QCOMPARE(screen.view.dropCard()->detail(), screen.upscaler.sourceInfo());
    }

    void previewFailureShowsTheError()
    {
        // A video that was readable when loaded and is damaged by the time the preview runs.
        const QString changing = m_folder + QStringLiteral("/changing.mp4");
        QFile::remove(changing);
        QVERIFY(QFile::copy(m_clip, changing));
        Screen screen;
        VideoControlPane& pane = screen.pane();
        screen.upscaler.load(QUrl::fromLocalFile(changing));
        QTRY_VERIFY_WITH_TIMEOUT(pane.primaryButton()->isEnabled(), waitMs);
        QVERIFY(KorvaneTest::writeFile(changing, "not a video any more"));
        screen.upscaler.setAdvancedPreview(true);
        pane.primaryButton()->click();
        QVERIFY(screen.view.previewBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!screen.view.previewBusy(), waitMs);
        // The sheet stays closed, the button works again and the engine's words are shown.
        QVERIFY(!screen.view.previewSheet()->isVisible());
        QVERIFY(pane.primaryButton()->isEnabled());
        QCOMPARE(pane.primaryButton()->title(), QStringLiteral("Preview & Upscale"));
        QVERIFY(pane.errorLine()->isVisibleTo(&pane));
        QVERIFY(!pane.errorLine()->text().isEmpty());
        QVERIFY(!screen.upscaler.isRunning());
        // The words are the model's error line; the next video starts without them.
        QCOMPARE(screen.upscaler.errorText(), pane.errorLine()->text());
        screen.upscaler.load(QUrl::fromLocalFile(m_clip));
        QVERIFY(!pane.errorLine()->isVisibleTo(&pane));
    }

    void historyHeaderAndDeletions()
    {
        const QString first = m_folder + QStringLiteral("/first_upscaled.mp4");
        const QString second = m_folder + QStringLiteral("/second_upscaled.mp4");
        QVERIFY(KorvaneTest::writeFile(first, "one"));
        QVERIFY(KorvaneTest::writeFile(second, "two"));
        Screen screen;
        HistoryCard* card = screen.view.historyCard();
        QVERIFY(card->showsEmptyState());
        QCOMPARE(card->headerText(), QString());
        // The empty history: the clock icon over its line.
        const auto* emptyIcon = card->findChild<QLabel*>(QStringLiteral("emptyIcon"));
        QVERIFY(emptyIcon && emptyIcon->isVisibleTo(card));
        const auto* emptyText = card->findChild<QLabel*>(QStringLiteral("emptyText"));
        QVERIFY(emptyText && emptyText->isVisibleTo(card));
        QCOMPARE(emptyText->text(), QStringLiteral("Upscaled videos will appear here"));
        QVERIFY(!card->clearButton()->isVisibleTo(card));

        const Upscaler::HistoryEntry a = entry(QStringLiteral("first.mov"), first);
        screen.upscaler.setHistory({a});
        QCOMPARE(card->headerText(), QStringLiteral("1 item"));
        const Upscaler::HistoryEntry b = entry(QStringLiteral("second.mov"), second);
        const Upscaler::HistoryEntry failed = entry(QStringLiteral("broken.mov"), QString());
        screen.upscaler.setHistory({a, b, failed});
        QCOMPARE(card->headerText(), QStringLiteral("3 items"));
        QVERIFY(card->clearButton()->isVisibleTo(card));
        QVERIFY(!card->showsEmptyState());

        QTableWidget* table = card->table();
        // A failed entry has no file: a dash instead of the buttons.
        QCOMPARE(table->cellWidget(2, 3)->objectName(), QStringLiteral("noOutput"));
        QCOMPARE(table->cellWidget(0, 1)->findChild<QLabel*>()->text(),
                 QStringLiteral("Detailed · 2160p"));
        auto* reveal = table->cellWidget(0, 3)->findChildren<QToolButton*>().value(0);
        QCOMPARE(reveal->toolTip(), QStringLiteral("Show in Folder"));
        reveal->click();
        QCOMPARE(m_revealed, QStringList{first});

        clickRow(table, 0);
        clickRow(table, 1, Qt::ControlModifier);
        QCOMPARE(card->selectedIds(), (QSet<QUuid>{a.id, b.id}));
        QCOMPARE(card->headerText(), QStringLiteral("2 selected"));
        QVERIFY(card->deleteSelectedButton()->isVisibleTo(card));
        QVERIFY(!card->clearButton()->isVisibleTo(card));
        // A job finishing meanwhile adds a row on top; the selection stays with its entries.
        const Upscaler::HistoryEntry newest = entry(QStringLiteral("newest.mov"), QString());
        screen.upscaler.setHistory({newest, a, b, failed});
        QCOMPARE(card->selectedIds(), (QSet<QUuid>{a.id, b.id}));
        QCOMPARE(table->selectionModel()->selectedRows().size(), 2);
        QVERIFY(table->selectionModel()->isRowSelected(1, {}));
        screen.upscaler.setHistory({a, b, failed});

        // "Cancel" changes nothing.
        card->deleteSelectedButton()->click();
        QMessageBox* box = card->openConfirmation();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Delete 2 selected"));
        buttonNamed(box, QStringLiteral("Cancel"))->click();
        QCOMPARE(screen.upscaler.history().size(), 3);
        QCOMPARE(card->selectedIds().size(), 2);

        // "Delete from history only" keeps the files and the order of the rest.
        card->deleteSelectedButton()->click();
        box = card->openConfirmation();
        buttonNamed(box, QStringLiteral("Delete from history only"))->click();
        QCOMPARE(screen.upscaler.history(), QList<Upscaler::HistoryEntry>{failed});
        QVERIFY(card->selectedIds().isEmpty());
        QCOMPARE(card->headerText(), QStringLiteral("1 item"));
        HistoryStore::shared().flush();
        QVERIFY(QFileInfo::exists(first));
        QVERIFY(QFileInfo::exists(second));

        // Deselect empties the selection.
        screen.upscaler.setHistory({a, b, failed});
        clickRow(table, 1);
        QCOMPARE(card->headerText(), QStringLiteral("1 selected"));
        card->deselectButton()->click();
        QVERIFY(card->selectedIds().isEmpty());
        QCOMPARE(card->headerText(), QStringLiteral("3 items"));

        // "Delete history only" empties the list and keeps every file.
        card->clearButton()->click();
        box = card->openConfirmation();
        buttonNamed(box, QStringLiteral("Delete history only"))->click();
        QVERIFY(screen.upscaler.history().isEmpty());
        QVERIFY(card->showsEmptyState());
        HistoryStore::shared().flush();
        QVERIFY(QFileInfo::exists(first) && QFileInfo::exists(second));
        screen.upscaler.setHistory({a, b, failed});

        // "Delete history and files" removes them through the model.
        card->clearButton()->click();
        box = card->openConfirmation();
        QCOMPARE(box->windowTitle(), QStringLiteral("Clear history"));
        buttonNamed(box, QStringLiteral("Delete history and files"))->click();
        QVERIFY(screen.upscaler.history().isEmpty());
        QVERIFY(card->showsEmptyState());
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(first) && !QFileInfo::exists(second), waitMs);
    }

    void saveACopy()
    {
        const QString output = m_folder + QStringLiteral("/clip_upscaled.mp4");
        QVERIFY(KorvaneTest::writeFile(output, "upscaled video"));
        const QString copy = m_folder + QStringLiteral("/copies/kept.mp4");
        QVERIFY(KorvaneTest::writeFile(copy, "older file"));
        Screen screen;
        screen.upscaler.setHistory({entry(QStringLiteral("clip.mov"), output)});
        auto* button = screen.view.historyCard()
                           ->table()
                           ->cellWidget(0, 3)
                           ->findChildren<QToolButton*>()
                           .value(1);
        QCOMPARE(button->toolTip(), QStringLiteral("Save a copy…"));

        // Cancelled: nothing happens. The suggestion is a new name beside the video.
        button->click();
        QCOMPARE(m_dialog.requests.size(), 1);
        QCOMPARE(m_dialog.requests.first().suggestedPath,
                 m_folder + QStringLiteral("/clip_upscaled copy.mp4"));
        QVERIFY(m_dialog.requests.first().nameFilter.contains(QStringLiteral("*.mp4")));
        QVERIFY(screen.upscaler.noticeText().isEmpty());

        // A chosen place gets the copy, replacing what was there, and the pane says so.
        m_dialog.answer = copy;
        button->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            screen.upscaler.noticeText(),
            QStringLiteral("Saved a copy as ") + HistoryCard::abbreviatedPath(copy), waitMs);
        QCOMPARE(KorvaneTest::readFile(copy), QByteArray("upscaled video"));
        QVERIFY(screen.pane().noticeLine()->isVisible());

        // Once a copy exists beside the video, the next suggestion is numbered.
        QVERIFY(KorvaneTest::writeFile(m_folder + QStringLiteral("/clip_upscaled copy.mp4"), "x"));
        m_dialog.answer.reset();
        button->click();
        QCOMPARE(m_dialog.requests.last().suggestedPath,
                 m_folder + QStringLiteral("/clip_upscaled copy 2.mp4"));

        // Choosing the video itself keeps it and says why nothing was copied.
        m_dialog.answer = output;
        screen.view.saveAs(QUrl::fromLocalFile(output));
        QThreadPool::globalInstance()->waitForDone();
        QCOMPARE(KorvaneTest::readFile(output), QByteArray("upscaled video"));
        QVERIFY(screen.upscaler.errorText().contains(QStringLiteral("the upscaled video itself")));
    }

    void previewThenUpscaleEndToEnd()
    {
        const QString other = makeClip(QStringLiteral("other.mp4"), QStringLiteral("32x18"), 2);
        Screen screen;
        VideoControlPane& pane = screen.pane();
        screen.upscaler.load(QUrl::fromLocalFile(m_clip));
        QTRY_COMPARE_WITH_TIMEOUT(screen.upscaler.srcH(), 18, waitMs);
        QVERIFY(screen.view.playButton()->isEnabled());
        screen.view.playButton()->click();
        QVERIFY(screen.view.playerSheet()->isVisible());
        QVERIFY(screen.view.player());
        QCOMPARE(screen.view.player()->source(), QUrl::fromLocalFile(m_clip));
        QCOMPARE(screen.view.playerSheet()->playerView()->player(), screen.view.player());
        QCOMPARE(screen.view.playerSheet()->fileName(), QStringLiteral("clip.mp4"));
        screen.view.playerSheet()->doneButton()->click();
        QVERIFY(!screen.view.playerSheet()->isVisible());
        // The smallest output keeps the engine run short; the screen itself offers 1080p and 4K.
        screen.upscaler.setTargetHeight(72);
        choose(pane.qualityControl(), 0);
        QCOMPARE(screen.upscaler.quality(), AIQuality::Fast);
        choose(pane.codecControl(), 0);
        QCOMPARE(screen.upscaler.codec(), Codecs::h264);
        pane.previewSwitch()->click();
        QVERIFY(screen.upscaler.advancedPreview());
        QCOMPARE(pane.primaryButton()->title(), QStringLiteral("Preview & Upscale"));

        pane.primaryButton()->click();
        QVERIFY(screen.view.previewBusy());
        QCOMPARE(pane.primaryButton()->title(), QStringLiteral("Generating preview…"));
        QVERIFY(!pane.primaryButton()->isEnabled());
        PreviewSheet* sheet = screen.view.previewSheet();
        QTRY_VERIFY_WITH_TIMEOUT(sheet->isVisible(), engineWaitMs);
        // "Done" discards the preview without upscaling; the button makes it again.
        sheet->doneButton()->click();
        QVERIFY(!sheet->isVisible());
        QVERIFY(!screen.upscaler.isRunning());
        QCOMPARE(screen.upscaler.inputURL(), QUrl::fromLocalFile(m_clip));
        // A preview being made can be stopped: nothing is shown, no error, the button works.
        QVERIFY(!pane.stopPreviewButton()->isVisibleTo(&pane));
        pane.primaryButton()->click();
        QVERIFY(pane.stopPreviewButton()->isVisibleTo(&pane));
        pane.stopPreviewButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!screen.view.previewBusy(), engineWaitMs);
        QVERIFY(!sheet->isVisible());
        QCOMPARE(screen.upscaler.errorText(), QString());
        QVERIFY(!pane.stopPreviewButton()->isVisibleTo(&pane));
        QVERIFY(pane.primaryButton()->isEnabled());
        pane.primaryButton()->click();
        QVERIFY(screen.view.previewUpscaled().isNull());
        QTRY_VERIFY_WITH_TIMEOUT(sheet->isVisible(), engineWaitMs);
        QVERIFY(!screen.view.previewBusy());
        QCOMPARE(sheet->original().size(), QSize(32, 18));
        QVERIFY(!sheet->upscaled().isNull());
        QVERIFY(sheet->upscaled().height() > 18);
        QCOMPARE(screen.view.previewSize(),
                 VideoScreenTexts::previewSizeText(sheet->upscaled().size()));
        QCOMPARE(sheet->caption(), VideoScreenTexts::previewCaption(
                                       screen.view.previewSize(), screen.upscaler.targetHeight()));
        sheet->zoomInto(QStringLiteral("Upscaled"));
        QCOMPARE(sheet->zoomItem()->label, QStringLiteral("Upscaled"));
        QVERIFY(sheet->zoomSheet()->isVisible());
        sheet->zoomSheet()->reject();
        QVERIFY(!sheet->zoomItem());

        sheet->continueButton()->click();
        QVERIFY(!sheet->isVisible());
        QVERIFY(screen.upscaler.inputURL().isEmpty());
        QVERIFY(screen.upscaler.isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(screen.view.processingSection()->listedJobs().size(), 1, waitMs);
        QVERIFY(screen.view.processingSection()->isVisibleTo(&screen.view));

        // Another video loaded while the job runs: the finished output is not shown as its own.
        screen.upscaler.load(QUrl::fromLocalFile(other));
        QCOMPARE(pane.primaryButton()->title(), QStringLiteral("Preview & Add to Queue"));
        QTRY_VERIFY_WITH_TIMEOUT(!screen.upscaler.isRunning(), engineWaitMs);
        QVERIFY(!screen.upscaler.outputURL().isEmpty());
        QVERIFY(!screen.view.outputBelongsToInput());
        QVERIFY(!pane.savedOutputBlock()->isVisibleTo(&pane));

        const Upscaler::HistoryEntry top = screen.upscaler.history().first();
        QCOMPARE(top.name, QStringLiteral("clip.mp4"));
        QVERIFY(top.success);
        QVERIFY(QFileInfo::exists(top.outputURL.toLocalFile()));
        QCOMPARE(screen.view.historyCard()->rowIds().first(), top.id);
        QCOMPARE(screen.view.historyCard()->headerText(), QStringLiteral("1 item"));
        QTRY_VERIFY(screen.view.processingSection()->listedJobs().isEmpty());

        // Upscaled again without the preview, with the same video loaded back while it runs:
        // now the saved-output block and the comparison belong to it.
        screen.upscaler.load(QUrl::fromLocalFile(m_clip));
        QTRY_COMPARE_WITH_TIMEOUT(screen.upscaler.srcH(), 18, waitMs);
        screen.upscaler.setTargetHeight(72);
        pane.previewSwitch()->click();
        QCOMPARE(pane.primaryButton()->title(), QStringLiteral("Upscale Video"));
        pane.primaryButton()->click();
        QVERIFY(screen.upscaler.isRunning());
        screen.upscaler.load(QUrl::fromLocalFile(m_clip));
        QTRY_VERIFY_WITH_TIMEOUT(!screen.upscaler.isRunning(), engineWaitMs);
        QVERIFY(screen.view.outputBelongsToInput());
        QVERIFY(pane.savedOutputBlock()->isVisibleTo(&pane));
        QCOMPARE(pane.savedToLabel()->text(),
                 VideoScreenTexts::savedToText(screen.upscaler.outputURL().toLocalFile()));
        QCOMPARE(screen.upscaler.history().size(), 2);
        pane.compareButton()->click();
        CompareSheet* compare = screen.view.compareSheet();
        QVERIFY(compare->isVisible());
        QCOMPARE(compare->originalUrl(), QUrl::fromLocalFile(m_clip));
        QCOMPARE(compare->upscaledUrl(), screen.upscaler.outputURL());
        QVERIFY(compare->comparison());
        QCOMPARE(compare->comparison()->leftUrl(), QUrl::fromLocalFile(m_clip));
        QCOMPARE(compare->comparison()->rightUrl(), screen.upscaler.outputURL());
        compare->doneButton()->click();
        QVERIFY(!compare->isVisible());
    }
};

KORVANE_TEST_MAIN(TestUpscaleView)
#include "tst_upscaleview.moc"
