#include "ui/batch/BatchView.h"

#include <utility>

#include <QVBoxLayout>

#include "engine/AIQuality.h"
#include "engine/UpscaleOptions.h"
#include "processing/BatchProcessor.h"
#include "ui/batch/BatchScreen.h"
#include "ui/components/Segmented.h"

namespace {
QList<BatchListRow::Entry> entriesOf(const QList<BatchItem>& items)
{
    QList<BatchListRow::Entry> entries;
    entries.reserve(items.size());
    for (const BatchItem& item : items) {
        entries.append({item.id, item.url.fileName(), item.status, item.progress, item.eta,
                        item.outputURL, item.failed, item.keptURL});
    }
    return entries;
}
} // namespace

BatchView::BatchView(BatchProcessor& batch, MediaModeBinding& mode, QWidget* parent)
    : QWidget(parent), m_batch(batch)
{
    BatchScreen::Model model{
        [this] { return m_batch.isRunning(); },
        [this] { return m_batch.items().isEmpty(); },
        [this](const QList<QUrl>& urls) { m_batch.add(urls); },
        [this] { m_batch.clear(); },
        [this](const QUuid& id) { m_batch.removeItem(id); },
        [this](const QUrl& folder) { m_batch.start(folder); },
    };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_screen = new BatchScreen(BatchScreenLook::videos(), mode, std::move(model), this);
    layout->addWidget(m_screen);

    m_quality = new Segmented(BatchScreen::qualityOptions(), QVariant(), this);
    m_screen->addOption(QStringLiteral("AI Quality"), m_quality,
                        QStringLiteral("Applied to every video in the list. Detailed = balanced · "
                                       "Max = sharpest (slow)."));
    m_resolution = new Segmented(
        Segmented::optionsOf<int>({{QStringLiteral("1080p"), 1080}, {QStringLiteral("4K"), 2160}}),
        QVariant(), this);
    m_screen->addOption(QStringLiteral("Output Resolution"), m_resolution);
    m_codec =
        new Segmented(Segmented::optionsOf<QString>({{QStringLiteral("H.264"), Codecs::h264},
                                                     {QStringLiteral("H.265"), Codecs::hevc}}),
                      QVariant(), this);
    m_screen->addOption(QStringLiteral("Codec"), m_codec);

    // Option changes go to the model; the model's options come back to the controls.
    connect(m_quality, &Segmented::selectionChanged, this, [this](const QVariant& value) {
        UpscaleOptions options = m_batch.options();
        options.quality = AIQualities::fromRawValue(value.toString()).value_or(options.quality);
        m_batch.setOptions(options);
    });
    connect(m_resolution, &Segmented::selectionChanged, this, [this](const QVariant& value) {
        UpscaleOptions options = m_batch.options();
        options.targetHeight = value.toInt();
        m_batch.setOptions(options);
    });
    connect(m_codec, &Segmented::selectionChanged, this, [this](const QVariant& value) {
        UpscaleOptions options = m_batch.options();
        options.codec = value.toString();
        m_batch.setOptions(options);
    });
    connect(&m_batch, &BatchProcessor::optionsChanged, this, &BatchView::showOptions);
    connect(&m_batch, &BatchProcessor::itemsChanged, this, &BatchView::refresh);
    connect(&m_batch, &BatchProcessor::isRunningChanged, this, &BatchView::refresh);
    showOptions();
    refresh();
}

bool BatchView::handleDrop(const QList<QUrl>& urls)
{
    return m_screen->handleDrop(urls);
}

void BatchView::chooseFolderAndStart()
{
    m_screen->chooseFolderAndStart();
}

void BatchView::refresh()
{
    const bool running = m_batch.isRunning();
    m_screen->setState(entriesOf(m_batch.items()), running, m_batch.completedCount());
    BatchScreen::setOptionLocked(m_codec, running);
}

void BatchView::showOptions()
{
    const UpscaleOptions& options = m_batch.options();
    m_quality->setSelection(AIQualities::rawValue(options.quality));
    m_resolution->setSelection(int(options.targetHeight));
    m_codec->setSelection(options.codec);
}
