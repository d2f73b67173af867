#include "ui/batch/BulkImageView.h"

#include <optional>
#include <utility>

#include <QVBoxLayout>

#include "engine/AIQuality.h"
#include "processing/BulkImageProcessor.h"
#include "ui/batch/BatchScreen.h"
#include "ui/components/Segmented.h"

namespace {
QList<BatchListRow::Entry> entriesOf(const QList<BulkImageItem>& items)
{
    QList<BatchListRow::Entry> entries;
    entries.reserve(items.size());
    for (const BulkImageItem& item : items)
        entries.append({item.id, item.url.fileName(), item.status, 0, {}, item.outputURL,
                        item.failed, item.keptURL});
    return entries;
}
} // namespace

BulkImageView::BulkImageView(BulkImageProcessor& bulk, MediaModeBinding& mode, QWidget* parent)
    : QWidget(parent), m_bulk(bulk)
{
    BatchScreen::Model model{
        [this] { return m_bulk.isRunning(); },
        [this] { return m_bulk.items().isEmpty(); },
        [this](const QList<QUrl>& urls) { m_bulk.add(urls); },
        [this] { m_bulk.clear(); },
        [this](const QUuid& id) { m_bulk.removeItem(id); },
        [this](const QUrl& folder) { m_bulk.start(folder); },
    };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_screen = new BatchScreen(BatchScreenLook::images(), mode, std::move(model), this);
    layout->addWidget(m_screen);

    m_quality =
        new Segmented(BatchScreen::qualityOptions(), AIQualities::rawValue(bulk.quality()), this);
    m_screen->addOption(QStringLiteral("AI Quality"), m_quality);
    m_scale = new Segmented(
        Segmented::optionsOf<int>(
            {{QStringLiteral("2×"), 2}, {QStringLiteral("3×"), 3}, {QStringLiteral("4×"), 4}}),
        bulk.scale(), this);
    m_screen->addOption(QStringLiteral("Scale"), m_scale);
    m_format = new Segmented(
        Segmented::optionsOf<QString>({{QStringLiteral("PNG"), QStringLiteral("png")},
                                       {QStringLiteral("JPG"), QStringLiteral("jpg")}}),
        bulk.format(), this);
    m_screen->addOption(QStringLiteral("Format"), m_format);

    // Option changes go to the model; the model's values come back to the controls.
    connect(m_quality, &Segmented::selectionChanged, this, [this](const QVariant& value) {
        if (const std::optional<AIQuality> quality = AIQualities::fromRawValue(value.toString()))
            m_bulk.setQuality(*quality);
    });
    connect(m_scale, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_bulk.setScale(value.toInt()); });
    connect(m_format, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_bulk.setFormat(value.toString()); });
    connect(&m_bulk, &BulkImageProcessor::qualityChanged, this,
            [this] { m_quality->setSelection(AIQualities::rawValue(m_bulk.quality())); });
    connect(&m_bulk, &BulkImageProcessor::scaleChanged, this,
            [this] { m_scale->setSelection(m_bulk.scale()); });
    connect(&m_bulk, &BulkImageProcessor::formatChanged, this,
            [this] { m_format->setSelection(m_bulk.format()); });
    connect(&m_bulk, &BulkImageProcessor::itemsChanged, this, &BulkImageView::refresh);
    connect(&m_bulk, &BulkImageProcessor::isRunningChanged, this, &BulkImageView::refresh);
    refresh();
}

bool BulkImageView::handleDrop(const QList<QUrl>& urls)
{
    return m_screen->handleDrop(urls);
}

void BulkImageView::pickImages()
{
    m_screen->pickFiles();
}

void BulkImageView::chooseFolderAndStart()
{
    m_screen->chooseFolderAndStart();
}

void BulkImageView::refresh()
{
    const bool running = m_bulk.isRunning();
    m_screen->setState(entriesOf(m_bulk.items()), running, m_bulk.completedCount());
    BatchScreen::setOptionLocked(m_format, running);
}
