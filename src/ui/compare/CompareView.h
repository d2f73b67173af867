#pragma once

#include <optional>

#include <QHash>
#include <QList>
#include <QUrl>
#include <QUuid>
#include <QWidget>

#include "ui/compare/CompareItem.h"
#include "ui/compare/CompareSlots.h"

class BeforeAfterSlider;
class CompareChip;
class CompareControlPane;
class CompareImageCard;
class ComparePlaceholder;
class QHBoxLayout;
class QMimeData;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;
class SyncedCompare;

// Threading: main thread only. Images are read on a worker and handed back to the main thread.
//
// The compare tab's screen: a scratch table on which the user gathers any number of videos and
// images, puts two of them into slots A and B, and sees them compared: two videos play in lock
// step, two images are shown with a wipe or side by side. Which file sits in which slot lives in
// a CompareSlots the view owns; it is gone when the screen is recreated.
class CompareView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompareView)
public:
    using Item = CompareItem;
    using Slot = CompareSlot;

    // What the comparison area shows.
    using Area = CompareSlots::Area;

    explicit CompareView(QWidget* parent = nullptr);
    ~CompareView() override;

    // Adds files in order, skipping any already gathered; fills an empty slot A with the first
    // item, then an empty slot B with the first item that is not in A. Images are read now, in
    // the background.
    void addFiles(const QList<QUrl>& urls);
    // Adds the local files a drop carries; true when it carried any.
    bool handleDrop(const QMimeData& dropped);
    // A click on a strip item: puts it into the slot that is next, then switches slots.
    void assign(const Item& item);
    // Puts an item into a slot (or empties it) without touching which slot is next.
    void setSlot(Slot slot, const std::optional<QUuid>& id);
    // Takes an item off the strip and out of the slots.
    void remove(const Item& item);
    // Empties the strip and both slots; slot A is next.
    void reset();

    // The gathered files and their slots.
    const CompareSlots& slotModel() const { return m_slots; }
    const QList<Item>& items() const { return m_slots.items(); }
    std::optional<QUuid> slotA() const { return m_slots.slotA(); }
    std::optional<QUuid> slotB() const { return m_slots.slotB(); }
    std::optional<Item> itemA() const { return m_slots.itemA(); }
    std::optional<Item> itemB() const { return m_slots.itemB(); }
    bool nextSlotIsA() const { return m_slots.nextSlotIsA(); }
    // "", "Video", "Image" or "Mixed", from what the two slots hold.
    QString detectedKind() const { return m_slots.detectedKind(); }

    bool sliderMode() const { return m_sliderMode; }
    void setSliderMode(bool sliderMode);
    bool portrait() const { return m_portrait; }
    void setPortrait(bool portrait);
    bool sync() const { return m_sync; }
    void setSync(bool sync);
    bool loop() const { return m_loop; }
    void setLoop(bool loop);

    // The regions, for tests and renders.
    Area area() const { return m_area; }
    ComparePlaceholder* placeholder() const { return m_placeholder; }
    SyncedCompare* syncedCompare() const { return m_synced; }
    BeforeAfterSlider* imageWipe() const { return m_imageWipe; }
    CompareImageCard* imageCard(Slot slot) const;
    CompareControlPane* controlPane() const { return m_pane; }
    QList<CompareChip*> chips() const;
    QWidget* strip() const;

Q_SIGNALS:
    // Any state of the screen changed.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openPicker();
    void readImage(const Item& item);
    void refresh();
    void refreshComparison();
    void refreshStrip();
    void showVideos(const Item& a, const Item& b);
    void showPlaceholder(const QString& icon, const QString& title, const QString& subtitle);
    void showOnCard(QWidget* page, Area area);

    CompareSlots m_slots;
    bool m_sliderMode = true;
    bool m_portrait = false;
    bool m_sync = true;
    bool m_loop = false;
    bool m_dragOver = false;
    Area m_area = Area::Placeholder;

    QWidget* m_contentPane;
    QStackedWidget* m_comparison;
    ComparePlaceholder* m_placeholder;
    QWidget* m_card;
    QStackedWidget* m_cardPages;
    QWidget* m_videosPage;
    QVBoxLayout* m_videosLayout;
    SyncedCompare* m_synced = nullptr;
    BeforeAfterSlider* m_imageWipe;
    QWidget* m_sideBySidePage;
    CompareImageCard* m_imageCardA;
    CompareImageCard* m_imageCardB;
    QWidget* m_readingPage;
    QWidget* m_stripCard;
    QScrollArea* m_stripScroll;
    QHBoxLayout* m_chipRow;
    QHash<QUuid, CompareChip*> m_chips;
    CompareControlPane* m_pane;
};
