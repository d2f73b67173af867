#include "ui/image/ImageUpscaleView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "processing/BulkImageProcessor.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "ui/account/LoginView.h"
#include "ui/components/DropCard.h"
#include "ui/components/FileActions.h"
#include "ui/components/FilePicker.h"
#include "ui/components/HistoryCard.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"
#include "ui/image/ImageControlPane.h"
#include "ui/image/ImageScreenTexts.h"
#include "ui/queue/JobProgressSection.h"

namespace {
enum HistoryColumn { NameColumn, ScaleColumn, StatusColumn, SavedToColumn, RevealColumn };

// The picker's filter: every picture format this system can read.
QWidget* centered(QWidget* child)
{
    auto* cell = new QWidget;
    auto* row = new QHBoxLayout(cell);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(child, 0, Qt::AlignCenter);
    return cell;
}

QWidget* dashCell()
{
    auto* dash = new QLabel(QStringLiteral("—"));
    QPalette palette = dash->palette();
    palette.setColor(QPalette::WindowText, Theme::secondaryText());
    dash->setPalette(palette);
    return centered(dash);
}
} // namespace

ImageUpscaleView::ImageUpscaleView(ImageUpscaler& upscaler, BulkImageProcessor& bulk,
                                   MediaModeBinding& mode, QWidget* parent)
    : QWidget(parent), m_upscaler(upscaler), m_bulk(bulk), m_mode(mode)
{
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(20, 20, 20, 20);
    columns->setSpacing(18);
    auto* left = new QVBoxLayout;
    left->setSpacing(14);
    columns->addLayout(left, 1);

    buildDropCard();
    left->addWidget(m_dropCard);
    m_area = new ImageResultArea(this);
    left->addWidget(m_area, 1);
    m_progress = new JobProgressSection(JobQueue::shared(), QStringLiteral("photo"),
                                        QStringLiteral("Processing"), this);
    left->addWidget(m_progress);
    buildHistoryCard();
    left->addWidget(m_history);

    m_pane = new ImageControlPane(m_upscaler, m_mode, this);
    columns->addWidget(m_pane);
    connect(m_pane, &ImageControlPane::upscaleRequested, this,
            &ImageUpscaleView::onUpscaleRequested);

    for (auto changed : {&ImageUpscaler::inputURLChanged, &ImageUpscaler::fileNameChanged,
                         &ImageUpscaler::sourceInfoChanged})
        connect(&m_upscaler, changed, this, &ImageUpscaleView::refreshDropCard);
    for (auto changed : {&ImageUpscaler::inputURLChanged, &ImageUpscaler::originalImageChanged,
                         &ImageUpscaler::upscaledImageChanged, &ImageUpscaler::savedPathChanged,
                         &ImageUpscaler::isRunningChanged})
        connect(&m_upscaler, changed, this, &ImageUpscaleView::refreshResult);
    connect(&m_upscaler, &ImageUpscaler::historyChanged, this, &ImageUpscaleView::onHistoryChanged);

    if (!m_upscaler.history().isEmpty())
        m_lastTopEntry = m_upscaler.history().constFirst().id;
    refreshDropCard();
    refreshResult();
    refreshHistoryRows();
}

ImageUpscaleView::~ImageUpscaleView() = default;

void ImageUpscaleView::buildDropCard()
{
    m_dropCard = new DropCard(DropCard::Layout::Row, this);
    auto* add = new QLabel(m_dropCard);
    add->setPixmap(Icons::pixmap(QStringLiteral("plus.circle.fill"), QSize(22, 22),
                                 devicePixelRatioF(), Theme::appAccent()));
    m_addGlyph = add;
    m_change =
        HistoryCard::iconButton(QStringLiteral("arrow.triangle.2.circlepath"),
                                QStringLiteral("Change image"), Theme::secondaryText(), m_dropCard);
    m_dropCard->trailing()->addWidget(m_addGlyph);
    m_dropCard->trailing()->addWidget(m_change);
    connect(m_change, &QToolButton::clicked, this, &ImageUpscaleView::openImporter);
    connect(m_dropCard, &DropCard::clicked, this, &ImageUpscaleView::openImporter);
    connect(m_dropCard, &DropCard::filesDropped, this, &ImageUpscaleView::routeSelection);
}

void ImageUpscaleView::buildHistoryCard()
{
    HistoryCard::Texts texts;
    // The empty history is one line of text, without an icon.
    texts.emptyText = QStringLiteral("Upscaled images appear here");
    texts.clearMessage =
        QStringLiteral("Remove the list, or also delete the upscaled image files from disk?");
    texts.deleteSelectedMessage =
        QStringLiteral("Remove the selected items, or also delete their files from disk?");
    texts.countStyle = HistoryCard::CountStyle::Number;
    m_history = new HistoryCard(texts,
                                {{QStringLiteral("Image"), 0},
                                 {QStringLiteral("Scale"), 50},
                                 {QStringLiteral("Status"), 80},
                                 {QStringLiteral("Saved to"), 0},
                                 {QString(), 44}},
                                this);
    m_history->setFixedHeight(220);
    m_history->applyConfirmationsTo(m_upscaler);
}

void ImageUpscaleView::routeSelection(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return;
    if (urls.size() == 1) {
        m_upscaler.load(urls.constFirst());
        return;
    }
    m_bulk.add(urls);
    m_mode.setValue(MediaMode::Multiple);
}

void ImageUpscaleView::openImporter()
{
    FilePicker::current().chooseFiles({this, QStringLiteral("Choose images"),
                                       FilePicker::imageFilters(), FilePicker::Place::Pictures},
                                      [this](const QList<QUrl>& urls) { routeSelection(urls); });
}

void ImageUpscaleView::loadSamples()
{
    if (hasSamples() || m_samplesLoading)
        return;
    m_samplesLoading = true;
    const bool needOriginal = m_sampleOriginal.isNull();
    const bool needUpscaled = m_sampleUpscaled.isNull();
    QPointer<ImageUpscaleView> self(this);
    (void)QtConcurrent::run([self, needOriginal, needUpscaled] {
        std::optional<QImage> original;
        std::optional<QImage> upscaled;
        if (needOriginal)
            original =
                LoginView::bundleImage(QStringLiteral("Woman_looking_up"), QStringLiteral("jpeg"));
        if (needUpscaled)
            upscaled = LoginView::bundleImage(QStringLiteral("Woman_looking_up_upscaled"),
                                              QStringLiteral("png"));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, original, upscaled] {
                if (!self)
                    return;
                self->m_samplesLoading = false;
                if (original)
                    self->m_sampleOriginal = *original;
                if (upscaled)
                    self->m_sampleUpscaled = *upscaled;
                self->refreshResult();
                Q_EMIT self->samplesLoaded();
            },
            Qt::QueuedConnection);
    });
}

void ImageUpscaleView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadSamples();
    refreshSavedFiles();
}

void ImageUpscaleView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Files may have been moved or deleted while the window was in the background.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refreshSavedFiles();
}

void ImageUpscaleView::refreshDropCard()
{
    const bool loaded = !m_upscaler.inputURL().isEmpty();
    if (loaded) {
        m_dropCard->setIcon(QStringLiteral("photo.fill"), DropCard::IconFill::Accent);
        m_dropCard->setTitle(m_upscaler.fileName());
        m_dropCard->setDetail(m_upscaler.sourceInfo(), true);
    } else {
        m_dropCard->setIcon(QStringLiteral("photo"), DropCard::IconFill::Gradient);
        m_dropCard->setTitle(QStringLiteral("Drop an image here"));
        m_dropCard->setDetail(QStringLiteral("or click to browse · PNG, JPG, WEBP, HEIC"));
    }
    m_addGlyph->setVisible(!loaded);
    m_change->setVisible(loaded);
}

bool ImageUpscaleView::resultBelongs() const
{
    if (!m_result || m_upscaler.upscaledImage().isNull() ||
        m_upscaler.upscaledImage().cacheKey() != m_result->upscaled.cacheKey())
        return false;
    const QUrl& loaded = m_upscaler.inputURL();
    return loaded.isEmpty() || loaded == m_result->source;
}

void ImageUpscaleView::refreshResult()
{
    const bool belongs = resultBelongs();
    m_area->setContent(belongs ? m_result->original : QImage(),
                       belongs ? m_result->upscaled : QImage(), m_upscaler.originalImage(),
                       m_sampleOriginal, m_sampleUpscaled);
    const bool showSaved = belongs && !m_upscaler.isRunning() && !m_upscaler.savedPath().isEmpty();
    m_pane->setSavedPath(showSaved ? m_upscaler.savedPath() : QString());
}

void ImageUpscaleView::onUpscaleRequested()
{
    const QUrl source = m_upscaler.inputURL();
    const QImage original = m_upscaler.originalImage();
    m_upscaler.run();
    // The model forgets its image once the job is queued (a cancelled save dialog keeps it).
    if (!source.isEmpty() && m_upscaler.inputURL().isEmpty())
        m_tracker.queued(source, original);
}

void ImageUpscaleView::onHistoryChanged()
{
    const QList<ImageUpscaler::HistoryEntry>& history = m_upscaler.history();
    const QUuid top = history.isEmpty() ? QUuid() : history.constFirst().id;
    if (top != m_lastTopEntry && !history.isEmpty() && history.constFirst().date >= m_createdAt) {
        // A job finished while this screen was there: pair its result with its source.
        const ImageUpscaler::HistoryEntry& entry = history.constFirst();
        if (entry.success && entry.savedPath == m_upscaler.savedPath()) {
            if (auto pair = m_tracker.finished(entry.name, entry.scale, m_upscaler.upscaledImage()))
                m_result = std::move(pair);
        } else if (!entry.success) {
            m_tracker.failed(entry.name);
        }
    }
    m_lastTopEntry = top;
    refreshResult();
    refreshHistoryRows();
    refreshSavedFiles();
}

void ImageUpscaleView::refreshHistoryRows()
{
    const QList<ImageUpscaler::HistoryEntry> entries = m_upscaler.history();
    QList<QUuid> ids;
    ids.reserve(entries.size());
    for (const ImageUpscaler::HistoryEntry& entry : entries)
        ids.append(entry.id);
    const QSet<QString> existing = m_existing;
    m_history->setRows(ids, [this, entries, existing](qsizetype row, int column) -> QWidget* {
        const ImageUpscaler::HistoryEntry& entry = entries.at(row);
        switch (column) {
        case NameColumn:
            return HistoryCard::nameCell(
                QStringLiteral("photo"), entry.name,
                HistoryCard::rowTip(entry.name, entry.savedPath.value_or(QString()), entry.error));
        case ScaleColumn:
            return HistoryCard::textCell(ImageScreenTexts::scaleText(entry.scale));
        case StatusColumn:
            return HistoryCard::statusCell(entry.success, entry.error, true);
        case SavedToColumn:
            return HistoryCard::textCell(ImageScreenTexts::savedToText(entry), true);
        default:
            break;
        }
        if (!entry.savedPath || !existing.contains(*entry.savedPath))
            return dashCell();
        auto* reveal = HistoryCard::iconButton(
            QStringLiteral("folder"), QStringLiteral("Show in Folder"), Theme::appAccent());
        const QString path = *entry.savedPath;
        QObject::connect(reveal, &QToolButton::clicked, reveal,
                         [this, path] { FileActions::reveal(this, path); });
        return centered(reveal);
    });
}

void ImageUpscaleView::refreshSavedFiles()
{
    QStringList paths;
    for (const ImageUpscaler::HistoryEntry& entry : m_upscaler.history()) {
        if (entry.savedPath)
            paths.append(*entry.savedPath);
    }
    const quint64 check = ++m_existenceCheck;
    QPointer<ImageUpscaleView> self(this);
    (void)QtConcurrent::run([self, check, paths] {
        QSet<QString> existing;
        for (const QString& path : paths) {
            if (QFileInfo(path).isFile())
                existing.insert(path);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, check, existing] {
                if (!self || check != self->m_existenceCheck)
                    return;
                const bool changed = existing != self->m_existing;
                self->m_existing = existing;
                if (changed)
                    self->refreshHistoryRows();
                Q_EMIT self->savedFilesChecked();
            },
            Qt::QueuedConnection);
    });
}
