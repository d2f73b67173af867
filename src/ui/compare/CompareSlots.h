#pragma once

#include <optional>

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include "ui/compare/CompareItem.h"

// Threading: main thread only (the compare screen's).
//
// What the compare screen holds, without its widgets: the files gathered on the strip, which of
// them sit in slots A and B, which slot a tap fills next, and what the comparison area, the
// strip's badges and its tool tip say about that. The screen changes it, then redraws from it.
class CompareSlots final {
    Q_DECLARE_TR_FUNCTIONS(CompareSlots)
public:
    // What the comparison area shows.
    enum class Area { Placeholder, Videos, ImageWipe, ImagesSideBySide, ReadingImages };

    // The area for the current slots; icon, title and subtitle only for the placeholder.
    struct Comparison {
        Area area = Area::Placeholder;
        QString icon;
        QString title;
        QString subtitle;
    };

    // Whether the file is taken for a video (by its type, else by a list of video extensions).
    static bool isVideoURL(const QUrl& url);

    // Adds files in order, skipping any already gathered; fills an empty slot A with the first
    // item, then an empty slot B with the first item that is not in A. Returns the items it
    // added; the images among them are still to be read (see setImage()).
    QList<CompareItem> addFiles(const QList<QUrl>& urls);
    // Records the picture read for an image (null when it could not be decoded) and marks it
    // read. False when the item is no longer gathered.
    bool setImage(const QUuid& id, const QImage& image);
    // A tap on a strip item: puts it into the slot that is next, then switches slots.
    void assign(const QUuid& id);
    // Puts an item into a slot (or empties it) without touching which slot is next.
    void setSlot(CompareSlot slot, const std::optional<QUuid>& id);
    // Takes an item off the strip and out of the slots.
    void remove(const QUuid& id);
    // Empties the strip and both slots; slot A is next.
    void reset();

    const QList<CompareItem>& items() const { return m_items; }
    std::optional<QUuid> slotA() const { return m_slotA; }
    std::optional<QUuid> slotB() const { return m_slotB; }
    std::optional<CompareItem> itemA() const { return itemFor(m_slotA); }
    std::optional<CompareItem> itemB() const { return itemFor(m_slotB); }
    std::optional<CompareItem> itemFor(const std::optional<QUuid>& id) const;
    bool nextSlotIsA() const { return m_nextSlotIsA; }

    // "", "Video", "Image" or "Mixed", from what the two slots hold.
    QString detectedKind() const;
    // What the comparison area shows; sliderMode picks the wipe over side by side for images.
    Comparison comparison(bool sliderMode) const;
    // The letter on an item's chip: "A", "B" or none.
    QString badge(const QUuid& id) const;
    // The strip's tool tip: which slot a tap fills.
    QString assignToolTip() const;

private:
    QList<CompareItem> m_items;
    std::optional<QUuid> m_slotA;
    std::optional<QUuid> m_slotB;
    bool m_nextSlotIsA = true;
};
