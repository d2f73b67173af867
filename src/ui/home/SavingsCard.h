#pragma once

#include "ui/components/GlassCard.h"
#include "ui/home/SavingsFigures.h"

class GradientText;
class QBoxLayout;
class QLabel;
class Upscaler;

// The estimate of the money saved against cloud upscaling, from the successful video upscales of
// the history: compact (a one-row strip for the video screen) or full (the savings calculator of
// the settings screen). It follows every change of the history.
//
// The value labels are named "amount", "videos" and "footage" (and "rate" in the full form).
// Threading: main thread.
class SavingsCard final : public GlassCard {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SavingsCard)
public:
    SavingsCard(Upscaler& upscaler, bool compact, QWidget* parent = nullptr);
    ~SavingsCard() override;

    bool compact() const { return m_compact; }
    // The figures now shown.
    const SavingsFigures& figures() const { return m_figures; }

private:
    void buildCompact();
    void buildFull();
    // Adds the "Videos" and "Footage" figures with a divider between them.
    void addCountFigures(QBoxLayout& row, const QFont& valueFont, int dividerHeight);
    void refresh();

    Upscaler& m_upscaler;
    const bool m_compact;
    SavingsFigures m_figures;
    GradientText* m_amount = nullptr;
    QLabel* m_videos = nullptr;
    QLabel* m_footage = nullptr;
};
