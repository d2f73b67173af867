#include "CompareView.h"

#include <QDragEnterEvent>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtConcurrent>

#include "engine/ImageFile.h"
#include "ui/compare/CompareChip.h"
#include "ui/compare/CompareControlPane.h"
#include "ui/compare/CompareImageCard.h"
#include "ui/compare/ComparePlaceholder.h"
#include "ui/compare/SyncedCompare.h"
#include "ui/components/BeforeAfterSlider.h"
#include "ui/components/DropCard.h"
#include "ui/components/FilePicker.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Theme.h"

namespace {

constexpr int kPadding = 20;
constexpr int kColumnGap = 18;
constexpr int kStripGap = 14;
constexpr int kStripHeight = 96;
constexpr int kCardPadding = 16;

} // namespace

CompareView::CompareView(QWidget* parent)
    : QWidget(parent), m_contentPane(new QWidget), m_comparison(new QStackedWidget),
      m_placeholder(new ComparePlaceholder), m_card(new GlassCard(16)),
      m_cardPages(new QStackedWidget), m_videosPage(new QWidget),
      m_videosLayout(new QVBoxLayout(m_videosPage)), m_imageWipe(new BeforeAfterSlider),
      m_sideBySidePage(new QWidget), m_imageCardA(new CompareImageCard),
      m_imageCardB(new CompareImageCard), m_readingPage(new QWidget),
      m_stripCard(new GlassCard(14)), m_stripScroll(new QScrollArea), m_chipRow(new QHBoxLayout),
      m_pane(new CompareControlPane)
{
    m_videosLayout->setContentsMargins(0, 0, 0, 0);
    auto* sideBySide = new QHBoxLayout(m_sideBySidePage);
    sideBySide->setContentsMargins(0, 0, 0, 0);
    sideBySide->setSpacing(kCardPadding);
    sideBySide->addWidget(m_imageCardA, 1);
    sideBySide->addWidget(m_imageCardB, 1);
    m_imageWipe->setObjectName(QStringLiteral("imageWipe"));

    for (QWidget* page :
         {m_videosPage, static_cast<QWidget*>(m_imageWipe), m_sideBySidePage, m_readingPage})
        m_cardPages->addWidget(page);
    auto* cardLayout = new QVBoxLayout(m_card);
    cardLayout->setContentsMargins(kCardPadding, kCardPadding, kCardPadding, kCardPadding);
    cardLayout->addWidget(m_cardPages);
    m_comparison->addWidget(m_placeholder);
    m_comparison->addWidget(m_card);

    // The strip: one chip per gathered item, scrolling sideways.
    m_stripCard->setObjectName(QStringLiteral("strip"));
    m_stripCard->setFixedHeight(kStripHeight);
    auto* stripLayout = new QVBoxLayout(m_stripCard);
    stripLayout->setContentsMargins(12, 4, 12, 4);
    stripLayout->addWidget(m_stripScroll);
    m_stripScroll->setFrameShape(QFrame::NoFrame);
    m_stripScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_stripScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_stripScroll->setWidgetResizable(true);
    // The card shows through the scroller.
    m_stripScroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    m_stripScroll->viewport()->setAutoFillBackground(false);
    auto* chipHolder = new QWidget;
    chipHolder->setObjectName(QStringLiteral("chipHolder"));
    chipHolder->setStyleSheet(QStringLiteral("#chipHolder { background: transparent; }"));
    chipHolder->setLayout(m_chipRow);
    m_chipRow->setContentsMargins(0, 0, 0, 0);
    m_chipRow->setSpacing(10);
    m_chipRow->addStretch(1);
    m_stripScroll->setWidget(chipHolder);
    // Without indicators, an ordinary mouse wheel scrolls the strip sideways.
    m_stripScroll->viewport()->installEventFilter(this);

    auto* content = new QVBoxLayout(m_contentPane);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(kStripGap);
    content->addWidget(m_comparison, 1);
    content->addWidget(m_stripCard);
    // Files dropped anywhere on the content pane are gathered.
    m_contentPane->setAcceptDrops(true);
    m_contentPane->installEventFilter(this);

    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    columns->setSpacing(kColumnGap);
    columns->addWidget(m_contentPane, 1);
    columns->addWidget(m_pane);

    connect(m_placeholder, &ComparePlaceholder::addClicked, this, &CompareView::openPicker);
    connect(m_pane, &CompareControlPane::addClicked, this, &CompareView::openPicker);
    connect(m_pane, &CompareControlPane::clearSlotClicked, this,
            [this](Slot slot) { setSlot(slot, std::nullopt); });
    connect(m_pane, &CompareControlPane::sliderModeChosen, this, &CompareView::setSliderMode);
    connect(m_pane, &CompareControlPane::portraitChosen, this, &CompareView::setPortrait);
    connect(m_pane, &CompareControlPane::syncToggled, this, &CompareView::setSync);
    connect(m_pane, &CompareControlPane::loopToggled, this, &CompareView::setLoop);
    connect(m_pane, &CompareControlPane::resetClicked, this, &CompareView::reset);

    refresh();
}

CompareView::~CompareView() = default;

void CompareView::addFiles(const QList<QUrl>& urls)
{
    for (const Item& item : m_slots.addFiles(urls)) {
        if (!item.isVideo)
            readImage(item);
    }
    refresh();
}

void CompareView::readImage(const Item& item)
{
    // Read off the main thread; the watcher belongs to the view, so nothing arrives after the
    // screen is gone.
    auto* watcher = new QFutureWatcher<QImage>(this);
    const QUuid id = item.id;
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, id] {
        const QImage image = watcher->result();
        watcher->deleteLater();
        if (m_slots.setImage(id, image))
            refresh();
    });
    const QString path = item.url.toLocalFile();
    watcher->setFuture(QtConcurrent::run([path] { return ImageFile::read(path); }));
}

bool CompareView::handleDrop(const QMimeData& dropped)
{
    if (!dropped.hasUrls() || dropped.urls().isEmpty())
        return false;
    const QList<QUrl> urls = DropCard::fileUrls(dropped);
    if (!urls.isEmpty())
        addFiles(urls);
    return true;
}

void CompareView::assign(const Item& item)
{
    m_slots.assign(item.id);
    refresh();
}

void CompareView::setSlot(Slot slot, const std::optional<QUuid>& id)
{
    m_slots.setSlot(slot, id);
    refresh();
}

void CompareView::remove(const Item& item)
{
    m_slots.remove(item.id);
    refresh();
}

void CompareView::reset()
{
    m_slots.reset();
    refresh();
}

void CompareView::setSliderMode(bool sliderMode)
{
    if (sliderMode == m_sliderMode)
        return;
    m_sliderMode = sliderMode;
    refresh();
}

void CompareView::setPortrait(bool portrait)
{
    if (portrait == m_portrait)
        return;
    m_portrait = portrait;
    refresh();
}

void CompareView::setSync(bool sync)
{
    if (sync == m_sync)
        return;
    m_sync = sync;
    refresh();
}

void CompareView::setLoop(bool loop)
{
    if (loop == m_loop)
        return;
    m_loop = loop;
    refresh();
}

CompareImageCard* CompareView::imageCard(Slot slot) const
{
    return slot == Slot::A ? m_imageCardA : m_imageCardB;
}

QList<CompareChip*> CompareView::chips() const
{
    QList<CompareChip*> result;
    for (const Item& item : m_slots.items()) {
        if (CompareChip* chip = m_chips.value(item.id))
            result.append(chip);
    }
    return result;
}

QWidget* CompareView::strip() const
{
    return m_stripCard;
}

void CompareView::openPicker()
{
    FilePicker::current().chooseFiles(
        {this, tr("Add videos or images"), FilePicker::mediaFilters(), FilePicker::Place::Videos},
        [this](const QList<QUrl>& urls) { addFiles(urls); });
}

bool CompareView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_stripScroll->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->angleDelta().x() == 0 && wheel->angleDelta().y() != 0) {
            QScrollBar* bar = m_stripScroll->horizontalScrollBar();
            bar->setValue(bar->value() - wheel->pixelDelta().y() -
                          (wheel->pixelDelta().isNull() ? wheel->angleDelta().y() / 2 : 0));
            return true;
        }
    }
    if (watched == m_contentPane) {
        switch (event->type()) {
        case QEvent::DragEnter: {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                m_dragOver = true;
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::DragLeave:
            m_dragOver = false;
            break;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            m_dragOver = false;
            if (handleDrop(*drop->mimeData()))
                drop->acceptProposedAction();
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CompareView::refresh()
{
    refreshComparison();
    refreshStrip();
    CompareControlPane::State state;
    state.detectedKind = detectedKind();
    state.itemA = itemA();
    state.itemB = itemB();
    state.hasItems = !m_slots.items().isEmpty();
    state.sliderMode = m_sliderMode;
    state.portrait = m_portrait;
    state.sync = m_sync;
    state.loop = m_loop;
    m_pane->apply(state);
    Q_EMIT changed();
}

void CompareView::refreshComparison()
{
    const CompareSlots::Comparison comparison = m_slots.comparison(m_sliderMode);
    const auto a = itemA();
    const auto b = itemB();
    if (comparison.area != Area::Videos) {
        // No videos on show: their players go, and with them any sound.
        delete m_synced;
        m_synced = nullptr;
    }
    switch (comparison.area) {
    case Area::Videos:
        showVideos(*a, *b);
        break;
    case Area::ImageWipe:
        if (m_imageWipe->original().cacheKey() != a->image.cacheKey() ||
            m_imageWipe->upscaled().cacheKey() != b->image.cacheKey())
            m_imageWipe->setImages(a->image, b->image);
        showOnCard(m_imageWipe, Area::ImageWipe);
        break;
    case Area::ImagesSideBySide:
        m_imageCardA->setImage(a->fileName(), a->image);
        m_imageCardB->setImage(b->fileName(), b->image);
        showOnCard(m_sideBySidePage, Area::ImagesSideBySide);
        break;
    case Area::ReadingImages:
        showOnCard(m_readingPage, Area::ReadingImages);
        break;
    case Area::Placeholder:
        showPlaceholder(comparison.icon, comparison.title, comparison.subtitle);
        break;
    }
}

void CompareView::showVideos(const Item& a, const Item& b)
{
    // A different pair gets fresh players; the same pair keeps its players and takes the new
    // settings.
    if (m_synced && m_synced->identity() != SyncedCompare::identity(a.url, b.url)) {
        delete m_synced;
        m_synced = nullptr;
    }
    if (!m_synced) {
        m_synced = new SyncedCompare(a.url, b.url, a.fileName(), b.fileName(), m_portrait,
                                     m_sliderMode, m_sync, m_loop);
        m_videosLayout->addWidget(m_synced);
    } else {
        m_synced->setPortrait(m_portrait);
        m_synced->setSlider(m_sliderMode);
        m_synced->setSync(m_sync);
        m_synced->setLoop(m_loop);
    }
    showOnCard(m_videosPage, Area::Videos);
}

void CompareView::showPlaceholder(const QString& icon, const QString& title,
                                  const QString& subtitle)
{
    m_placeholder->setContent(icon, title, subtitle);
    m_comparison->setCurrentWidget(m_placeholder);
    m_area = Area::Placeholder;
}

void CompareView::showOnCard(QWidget* page, Area area)
{
    m_cardPages->setCurrentWidget(page);
    m_comparison->setCurrentWidget(m_card);
    m_area = area;
}

void CompareView::refreshStrip()
{
    // Chips of removed items go (later, since the removal may come from the chip's own menu).
    for (auto it = m_chips.begin(); it != m_chips.end();) {
        const QUuid id = it.key();
        if (m_slots.itemFor(id)) {
            ++it;
            continue;
        }
        m_chipRow->removeWidget(it.value());
        it.value()->hide();
        it.value()->deleteLater();
        it = m_chips.erase(it);
    }
    const QString toolTip = m_slots.assignToolTip();
    for (const Item& item : m_slots.items()) {
        const QString badge = m_slots.badge(item.id);
        CompareChip* chip = m_chips.value(item.id);
        if (!chip) {
            // New items come last, just before the row's closing stretch.
            chip = new CompareChip(item, badge);
            m_chipRow->insertWidget(m_chipRow->count() - 1, chip);
            m_chips.insert(item.id, chip);
            const QUuid id = item.id;
            connect(chip, &CompareChip::clicked, this, [this, id] {
                if (const auto current = m_slots.itemFor(id))
                    assign(*current);
            });
            connect(chip, &CompareChip::setAsRequested, this,
                    [this, id](Slot slot) { setSlot(slot, id); });
            connect(chip, &CompareChip::removeRequested, this, [this, id] {
                if (const auto current = m_slots.itemFor(id))
                    remove(*current);
            });
        } else {
            if (chip->item().image.cacheKey() != item.image.cacheKey())
                chip->setItem(item);
            chip->setBadge(badge);
        }
        chip->setToolTip(toolTip);
    }
    m_stripCard->setVisible(!m_slots.items().isEmpty());
}
