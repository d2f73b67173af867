#pragma once

#include <QWidget>

#include "ui/shell/MediaModeBinding.h"

class ToggleSwitch;
class ControlPane;
class ImageUpscaler;
class ProminentButton;
class QLabel;
class QSlider;
class Segmented;

// The image screen's control pane: mode, AI quality, scale, the estimates, format (greyed while
// the file size is matched), the two switches, the adjustment sliders, the error and saved-path
// lines and the primary button. Every control is bound both ways to the image model or the mode.
// Threading: main thread.
class ImageControlPane final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageControlPane)
public:
    ImageControlPane(ImageUpscaler& upscaler, MediaModeBinding& mode, QWidget* parent = nullptr);

    // The saved-path line, shown only while path is not empty. The screen decides whether the
    // model's saved file belongs to what is shown.
    void setSavedPath(const QString& path);

    Segmented* modeControl() const { return m_mode; }
    Segmented* qualityControl() const { return m_quality; }
    Segmented* scaleControl() const { return m_scale; }
    Segmented* formatControl() const { return m_format; }
    QWidget* estimateCard() const { return m_estimates; }
    QLabel* outputValue() const { return m_output; }
    QLabel* sizeValue() const { return m_size; }
    QLabel* timeValue() const { return m_time; }
    ToggleSwitch* matchSwitch() const { return m_match; }
    ToggleSwitch* advancedSwitch() const { return m_advanced; }
    QWidget* adjustmentCard() const { return m_adjustments; }
    // The sharpness, brightness, contrast and saturation sliders, in that order.
    QList<QSlider*> adjustmentSliders() const { return m_sliders; }
    QLabel* errorLine() const { return m_error; }
    QLabel* stoppedLine() const { return m_stopped; }
    QLabel* savedLine() const { return m_saved; }
    ProminentButton* primaryButton() const;

    // Where a slider of range [min, max] stands for value (0 to kSliderSteps) and back.
    static int sliderPosition(double value, double min, double max);
    static double sliderValue(int position, double min, double max);
    static constexpr int kSliderSteps = 1000;

Q_SIGNALS:
    // The primary button was pressed (the screen remembers what it queues before running).
    void upscaleRequested();

private:
    QWidget* estimateRow(const QString& label, QLabel*& value, QWidget* parent);
    QWidget* adjust(const QString& label, double min, double max,
                    double (ImageUpscaler::*get)() const, void (ImageUpscaler::*set)(double),
                    void (ImageUpscaler::*changed)(), QWidget* parent);
    void refresh();

    ImageUpscaler& m_upscaler;
    MediaModeBinding& m_modeBinding;
    ControlPane* m_pane;
    Segmented* m_mode = nullptr;
    Segmented* m_quality = nullptr;
    Segmented* m_scale = nullptr;
    QWidget* m_formatBox = nullptr;
    Segmented* m_format = nullptr;
    QWidget* m_estimates = nullptr;
    QLabel* m_output = nullptr;
    QLabel* m_size = nullptr;
    QLabel* m_time = nullptr;
    ToggleSwitch* m_match = nullptr;
    ToggleSwitch* m_advanced = nullptr;
    QWidget* m_adjustments = nullptr;
    QList<QSlider*> m_sliders;
    QLabel* m_error = nullptr;
    QLabel* m_stopped = nullptr;
    QLabel* m_saved = nullptr;
};
