#include "ui/video/UpscaleView.h"

#include <functional>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QMimeData>
#include <QPointer>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/StopToken.h"
#include "engine/UpscaleCore.h"
#include "engine/UpscaleOptions.h"
#include "processing/BatchProcessor.h"
#include "processing/JobQueue.h"
#include "processing/SaveDialog.h"
#include "processing/Upscaler.h"
#include "ui/components/DropCard.h"
#include "ui/components/FileActions.h"
#include "ui/components/FilePicker.h"
#include "ui/components/HistoryCard.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"
#include "ui/home/SavingsCard.h"
#include "ui/queue/JobProgressSection.h"
#include "ui/shell/MediaModeBinding.h"
#include "ui/video/CompareSheet.h"
#include "ui/video/PlayerSheet.h"
#include "ui/video/PreviewSheet.h"
#include "ui/video/VideoControlPane.h"
#include "ui/video/VideoScreenTexts.h"

namespace {
const QString kVideoIcon = QStringLiteral("film");

// Copies source over destination in the background and reports to done on the receiver's
// thread: an empty reason on success. The source itself is never removed.
void copyInBackground(const QString& source, const QString& destination, QObject* receiver,
                      std::function<void(const QString& failure)> done)
{
    QPointer<QObject> guard(receiver);
    QThreadPool::globalInstance()->start([source, destination, guard, done] {
        QString failure;
        QFile from(source);
        if (!from.exists()) {
            failure = QStringLiteral("the upscaled video is no longer there");
        } else {
            if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink())
                QFile::remove(destination);
            if (!from.copy(destination))
                failure = from.errorString();
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, failure] {
                if (guard)
                    done(failure);
            },
            Qt::QueuedConnection);
    });
}
} // namespace

UpscaleView::UpscaleView(Upscaler& upscaler, BatchProcessor& batch, MediaModeBinding& mode,
                         QWidget* parent)
    : QWidget(parent), m_upscaler(upscaler), m_batch(batch), m_mode(mode)
{
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(20, 20, 20, 20);
    columns->setSpacing(18);
    columns->addWidget(buildLeftColumn(), 1);
    m_pane = new VideoControlPane(upscaler, mode, this);
    columns->addWidget(m_pane);

    m_previewSheet = new PreviewSheet(this);
    m_playerSheet = new PlayerSheet(this);
    m_compareSheet = new CompareSheet(this);

    connect(m_pane, &VideoControlPane::primaryClicked, this, &UpscaleView::onUpscaleTapped);
    connect(m_pane, &VideoControlPane::stopPreviewClicked, this, [this] {
        if (m_previewStop)
            m_previewStop->stop();
    });
    connect(m_pane, &VideoControlPane::saveCopyClicked, this,
            [this] { saveAs(m_upscaler.outputURL()); });
    connect(m_pane, &VideoControlPane::compareClicked, this, &UpscaleView::openCompare);
    connect(m_previewSheet, &PreviewSheet::continueRequested, this, &UpscaleView::runFull);

    connect(&m_upscaler, &Upscaler::inputURLChanged, this, [this] {
        if (!outputBelongsToInput() && m_compareSheet->isVisible())
            m_compareSheet->reject();
        refreshDropCard();
        refreshPane();
    });
    for (const auto signal : {&Upscaler::fileNameChanged, &Upscaler::sourceInfoChanged,
                              &Upscaler::playableChanged, &Upscaler::loadProblemChanged})
        connect(&m_upscaler, signal, this, &UpscaleView::refreshDropCard);
    connect(&m_upscaler, &Upscaler::inputURLChanged, this, &UpscaleView::refreshPlayer);
    connect(&m_upscaler, &Upscaler::playableChanged, this, &UpscaleView::refreshPlayer);
    connect(&m_upscaler, &Upscaler::outputURLChanged, this, &UpscaleView::noteOutput);
    connect(&m_upscaler, &Upscaler::historyChanged, this, &UpscaleView::refreshHistory);
    connect(&JobQueue::shared(), &JobQueue::jobsChanged, this, [this] {
        QSet<QUuid> listed;
        for (const UpscaleJob& job : JobQueue::shared().jobs())
            listed.insert(job.id);
        m_jobSources.removeIf(
            [&listed](const auto& entry) { return !listed.contains(entry.key()); });
    });

    refreshDropCard();
    refreshHistory();
    refreshPane();
}

UpscaleView::~UpscaleView()
{
    if (m_previewStop)
        m_previewStop->stop();
}

QWidget* UpscaleView::buildLeftColumn()
{
    auto* left = new QWidget(this);
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);

    m_dropCard = new DropCard(DropCard::Layout::Row, left);
    m_addIcon = new QLabel(m_dropCard);
    m_addIcon->setPixmap(Icons::pixmap(QStringLiteral("plus.circle.fill"), QSize(24, 24),
                                       devicePixelRatioF(), Theme::appAccent()));
    m_playButton =
        HistoryCard::iconButton(QStringLiteral("play.circle.fill"), QStringLiteral("Play video"),
                                Theme::appAccent(), m_dropCard);
    m_changeButton =
        HistoryCard::iconButton(QStringLiteral("arrow.triangle.2.circlepath"),
                                QStringLiteral("Change video"), Theme::appAccent(), m_dropCard);
    for (QToolButton* button : {m_playButton, m_changeButton})
        button->setIconSize(QSize(22, 22));
    m_dropCard->trailing()->addWidget(m_addIcon);
    m_dropCard->trailing()->addWidget(m_playButton);
    m_dropCard->trailing()->addWidget(m_changeButton);
    column->addWidget(m_dropCard);
    connect(m_dropCard, &DropCard::clicked, this, &UpscaleView::openImporter);
    connect(m_dropCard, &DropCard::filesDropped, this, &UpscaleView::routeSelection);
    connect(m_playButton, &QToolButton::clicked, this, &UpscaleView::openPlayer);
    connect(m_changeButton, &QToolButton::clicked, this, &UpscaleView::openImporter);

    column->addWidget(new SavingsCard(m_upscaler, true, left));
    m_processing =
        new JobProgressSection(JobQueue::shared(), kVideoIcon, QStringLiteral("Processing"), left);
    column->addWidget(m_processing);

    HistoryCard::Texts texts;
    texts.emptyIcon = QStringLiteral("clock.arrow.circlepath");
    texts.emptyText = QStringLiteral("Upscaled videos will appear here");
    texts.clearMessage =
        QStringLiteral("Remove the list, or also delete the upscaled video files from disk?");
    texts.deleteSelectedMessage =
        QStringLiteral("Remove the selected items, or also delete their files from disk?");
    texts.countStyle = HistoryCard::CountStyle::Items;
    m_history = new HistoryCard(texts,
                                {{QStringLiteral("Video"), 0},
                                 {QStringLiteral("Quality"), 120},
                                 {QStringLiteral("Status"), 90},
                                 {QString(), 80}},
                                left);
    column->addWidget(m_history, 1);
    m_history->applyConfirmationsTo(m_upscaler);
    return left;
}

void UpscaleView::refreshDropCard()
{
    const bool loaded = !m_upscaler.inputURL().isEmpty();
    if (loaded) {
        m_dropCard->setIcon(QStringLiteral("video.fill"), DropCard::IconFill::Accent);
        m_dropCard->setTitle(m_upscaler.fileName());
        const QString info = m_upscaler.sourceInfo();
        if (!m_upscaler.loadProblem().isEmpty())
            m_dropCard->setProblem(m_upscaler.loadProblem());
        else
            m_dropCard->setDetail(info.isEmpty() ? QStringLiteral("Reading…") : info, true);
    } else {
        m_dropCard->setIcon(QStringLiteral("film.stack"), DropCard::IconFill::Gradient);
        m_dropCard->setTitle(QStringLiteral("Drop a video here"));
        m_dropCard->setDetail(QStringLiteral("or click to browse · portrait, landscape, any size"));
    }
    m_addIcon->setVisible(!loaded);
    m_playButton->setVisible(loaded);
    m_changeButton->setVisible(loaded);
    m_playButton->setEnabled(m_player != nullptr);
}

void UpscaleView::refreshPane()
{
    m_pane->setViewState(m_previewBusy, outputBelongsToInput());
}

void UpscaleView::refreshHistory()
{
    const QList<Upscaler::HistoryEntry> entries = m_upscaler.history();
    QList<QUuid> ids;
    ids.reserve(entries.size());
    for (const Upscaler::HistoryEntry& entry : entries)
        ids.append(entry.id);
    m_history->setRows(ids, [this, entries](qsizetype row, int column) -> QWidget* {
        const Upscaler::HistoryEntry& entry = entries.at(row);
        switch (column) {
        case 0:
            return HistoryCard::nameCell(
                kVideoIcon, entry.name,
                HistoryCard::rowTip(entry.name, entry.outputURL.toLocalFile(), entry.error));
        case 1:
            return HistoryCard::textCell(
                VideoScreenTexts::qualityColumnText(entry.quality, entry.targetHeight));
        case 2:
            return HistoryCard::statusCell(entry.success, entry.error, false);
        default:
            break;
        }
        if (entry.outputURL.isEmpty()) {
            QWidget* none = HistoryCard::textCell(QStringLiteral("—"));
            none->setObjectName(QStringLiteral("noOutput"));
            return none;
        }
        auto* cell = new QWidget;
        auto* buttons = new QHBoxLayout(cell);
        buttons->setContentsMargins(6, 0, 6, 0);
        buttons->setSpacing(10);
        QToolButton* reveal = HistoryCard::iconButton(
            QStringLiteral("folder"), QStringLiteral("Show in Folder"), Theme::appAccent(), cell);
        QToolButton* copy =
            HistoryCard::iconButton(QStringLiteral("square.and.arrow.down"),
                                    QStringLiteral("Save a copy…"), Theme::appAccent(), cell);
        buttons->addWidget(reveal);
        buttons->addWidget(copy);
        buttons->addStretch();
        const QUrl output = entry.outputURL;
        connect(reveal, &QToolButton::clicked, this,
                [this, output] { FileActions::reveal(this, output.toLocalFile()); });
        connect(copy, &QToolButton::clicked, this, [this, output] { saveAs(output); });
        return cell;
    });
}

void UpscaleView::routeSelection(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return;
    if (urls.size() == 1) {
        m_upscaler.load(urls.first());
        return;
    }
    m_batch.add(urls);
    m_mode.setValue(MediaMode::Multiple);
}

bool UpscaleView::handleDrop(const QMimeData& mime)
{
    const QList<QUrl> urls = DropCard::fileUrls(mime);
    if (urls.isEmpty())
        return false;
    routeSelection(urls);
    return true;
}

bool UpscaleView::alreadyHighRes() const
{
    return m_pane->alreadyHighRes();
}

QString UpscaleView::primaryTitle() const
{
    return m_pane->primaryTitle();
}

void UpscaleView::onUpscaleTapped()
{
    const QUrl input = m_upscaler.inputURL();
    if (input.isEmpty())
        return;
    if (!m_upscaler.advancedPreview()) {
        runFull();
        return;
    }
    m_previewBusy = true;
    m_previewOriginal = QImage();
    m_previewUpscaled = QImage();
    m_previewSize.clear();
    refreshPane();

    UpscaleOptions options;
    options.targetHeight = m_upscaler.targetHeight();
    options.codec = m_upscaler.codec();
    options.quality = m_upscaler.quality();
    m_previewStop = UpscaleCore::shared().previewImages(
        input.toLocalFile(), options, this,
        [this, targetHeight = options.targetHeight](const UpscaleCore::PreviewResult& result) {
            m_previewBusy = false;
            if (result.error) {
                // The model's error line shows it (a stop the user asked for needs no words);
                // the button works again.
                refreshPane();
                if (!result.error->isCancellation())
                    m_upscaler.setErrorText(result.error->message());
                return;
            }
            m_previewOriginal = result.images.source;
            m_previewUpscaled = result.images.upscaled;
            m_previewSize = VideoScreenTexts::previewSizeText(m_previewUpscaled.size());
            refreshPane();
            m_previewSheet->setImages(m_previewOriginal, m_previewUpscaled, m_previewSize,
                                      targetHeight);
            m_previewSheet->open();
        });
}

void UpscaleView::runFull()
{
    const QUrl input = m_upscaler.inputURL();
    if (input.isEmpty())
        return;
    m_upscaler.upscale(input, m_upscaler.targetHeight(), m_upscaler.codec(), m_upscaler.quality());
    // The model forgets the loaded video once it has queued the job; a cancelled save dialog
    // leaves it loaded and queues nothing.
    if (m_upscaler.inputURL().isEmpty())
        rememberQueuedJob(input);
    refreshPane();
}

void UpscaleView::rememberQueuedJob(const QUrl& input)
{
    // The model hands its job to the queue one main-thread turn later; this runs right after.
    QMetaObject::invokeMethod(
        this,
        [this, input] {
            const QList<UpscaleJob>& jobs = JobQueue::shared().jobs();
            for (auto job = jobs.crbegin(); job != jobs.crend(); ++job) {
                // Interrupted jobs listed behind it may carry the same name.
                if (job->status != UpscaleJob::Status::Interrupted && job->icon == kVideoIcon &&
                    job->name == input.fileName() && !m_jobSources.contains(job->id)) {
                    m_jobSources.insert(job->id, input);
                    return;
                }
            }
        },
        Qt::QueuedConnection);
}

void UpscaleView::noteOutput()
{
    m_outputSource.clear();
    if (!m_upscaler.outputURL().isEmpty()) {
        // The model reports its output while the finished job is still the queue's running one.
        const std::optional<UpscaleJob> finished = JobQueue::shared().active();
        if (finished)
            m_outputSource = m_jobSources.value(finished->id);
    }
    if (!outputBelongsToInput() && m_compareSheet->isVisible())
        m_compareSheet->reject();
    refreshPane();
}

bool UpscaleView::outputBelongsToInput() const
{
    return !m_upscaler.outputURL().isEmpty() && !m_upscaler.inputURL().isEmpty() &&
           m_outputSource == m_upscaler.inputURL();
}

void UpscaleView::saveAs(const QUrl& url)
{
    const QString source = url.toLocalFile();
    if (source.isEmpty())
        return;
    SaveDialog::Request request;
    request.suggestedPath = VideoScreenTexts::copyPath(source);
    request.message = QStringLiteral("Choose where to save a copy of the upscaled video");
    request.nameFilter = QStringLiteral("MPEG-4 movie (*.mp4)");
    request.defaultSuffix = QStringLiteral("mp4");
    const std::optional<QString> chosen = SaveDialog::ask(request);
    if (!chosen || chosen->isEmpty())
        return;
    const QString destination = *chosen;
    const QFileInfo to(destination);
    if (to.exists() && to.canonicalFilePath() == QFileInfo(source).canonicalFilePath()) {
        m_upscaler.setErrorText(QStringLiteral("That is the upscaled video itself. Choose "
                                               "another name or folder for the copy."));
        return;
    }
    copyInBackground(source, destination, this, [this, destination](const QString& failure) {
        const QString place = HistoryCard::abbreviatedPath(destination);
        if (failure.isEmpty()) {
            m_upscaler.setErrorText(QString());
            m_upscaler.setNoticeText(QStringLiteral("Saved a copy as ") + place);
        } else {
            m_upscaler.setErrorText(QStringLiteral("Couldn't save a copy as ") + place +
                                    QStringLiteral(": ") + failure);
        }
    });
}

void UpscaleView::openImporter()
{
    FilePicker::current().chooseFiles({this, QStringLiteral("Choose one or more videos to upscale"),
                                       FilePicker::videoFilters(), FilePicker::Place::Videos},
                                      [this](const QList<QUrl>& urls) { routeSelection(urls); });
}

void UpscaleView::openPlayer()
{
    m_playerSheet->present(m_player, m_upscaler.fileName());
}

void UpscaleView::refreshPlayer()
{
    const QUrl wanted = m_upscaler.playable() ? m_upscaler.inputURL() : QUrl();
    if (m_player && m_player->source() == wanted)
        return;
    if (m_player) {
        if (m_playerSheet->isVisible())
            m_playerSheet->reject();
        m_player->stop();
        m_player->deleteLater();
        m_player = nullptr;
    }
    if (!wanted.isEmpty()) {
        m_player = new QMediaPlayer(this);
        m_player->setSource(wanted);
    }
    refreshDropCard();
}

void UpscaleView::openCompare()
{
    if (outputBelongsToInput())
        m_compareSheet->present(m_upscaler.inputURL(), m_upscaler.outputURL());
    else
        m_compareSheet->present({}, {});
}
