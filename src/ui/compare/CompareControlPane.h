#pragma once

#include <optional>

#include <QWidget>

#include "ui/compare/CompareItem.h"

class ElidedLabel;
class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;
class Segmented;

// The compare screen's right-hand column: the detected kind, the two slots, the add button, the
// view choice, for videos the aspect ratio and playback switches, and "Reset". It shows what the
// screen hands it in apply() and reports the user's choices through its signals.
class CompareControlPane final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompareControlPane)
public:
    struct State {
        // "", "Video", "Image" or "Mixed".
        QString detectedKind;
        std::optional<CompareItem> itemA;
        std::optional<CompareItem> itemB;
        bool hasItems = false;
        bool sliderMode = true;
        bool portrait = false;
        bool sync = true;
        bool loop = false;
    };

    explicit CompareControlPane(QWidget* parent = nullptr);

    // Shows the screen's state.
    void apply(const State& state);

    // The type indicator's text, and the name shown in a slot row (for tests and renders).
    QString typeText() const;
    QString slotText(CompareSlot slot) const;

Q_SIGNALS:
    void addClicked();
    void clearSlotClicked(CompareSlot slot);
    void sliderModeChosen(bool sliderMode);
    void portraitChosen(bool portrait);
    void syncToggled(bool sync);
    void loopToggled(bool loop);
    void resetClicked();

private:
    struct SlotRow {
        QWidget* badge = nullptr;
        ElidedLabel* name = nullptr;
        QLabel* kind = nullptr;
        QToolButton* clear = nullptr;
    };
    QWidget* makeSlotRow(CompareSlot slot, SlotRow& row);
    static void showSlot(SlotRow& row, const std::optional<CompareItem>& item);

    QLabel* m_typeIcon;
    QLabel* m_typeText;
    SlotRow m_rowA;
    SlotRow m_rowB;
    Segmented* m_view;
    QWidget* m_videoSection;
    Segmented* m_aspect;
    QCheckBox* m_sync;
    QCheckBox* m_loop;
    QPushButton* m_reset;
};
