#pragma once

#include <QAbstractButton>

#include "ui/compare/CompareItem.h"

// One item of the compare screen's strip: a 100 × 56 tile with the picture (or a film icon for a
// video or an unreadable image), the slot letter as a badge while the item fills a slot, and the
// file name under it. A click asks for the item to be assigned; the context menu offers
// "Set as A", "Set as B" and "Remove" (also the widget's actions()).
class CompareChip final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompareChip)
public:
    // badge is "A", "B" or empty.
    CompareChip(const CompareItem& item, const QString& badge, QWidget* parent = nullptr);

    const CompareItem& item() const { return m_item; }
    // Shows a newer state of the same item (its picture once read).
    void setItem(const CompareItem& item);
    QString badge() const { return m_badge; }
    void setBadge(const QString& badge);

    QSize sizeHint() const override;

Q_SIGNALS:
    void setAsRequested(CompareSlot slot);
    void removeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void makeThumbnail();

    CompareItem m_item;
    QString m_badge;
    QPixmap m_thumbnail;
};
