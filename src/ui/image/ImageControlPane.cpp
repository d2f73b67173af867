#include "ui/image/ImageControlPane.h"

#include <algorithm>
#include <cmath>

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "processing/ImageUpscaler.h"
#include "ui/components/ControlPane.h"
#include "ui/components/GlassCard.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Segmented.h"
#include "ui/components/Theme.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/image/ImageScreenTexts.h"

ImageControlPane::ImageControlPane(ImageUpscaler& upscaler, MediaModeBinding& mode, QWidget* parent)
    : QWidget(parent), m_upscaler(upscaler), m_modeBinding(mode),
      m_pane(new ControlPane(QStringLiteral("Image"), this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_pane);
    QWidget* content = m_pane->content();

    m_mode = new Segmented(
        Segmented::optionsOf<int>({{QStringLiteral("Single Image"), int(MediaMode::Single)},
                                   {QStringLiteral("Multiple Images"), int(MediaMode::Multiple)}}),
        int(m_modeBinding.value()));
    m_pane->addField(QStringLiteral("Mode"), m_mode);
    connect(m_mode, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_modeBinding.setValue(MediaMode(value.toInt())); });
    connect(&m_modeBinding, &MediaModeBinding::changed, this,
            [this](MediaMode value) { m_mode->setSelection(int(value)); });

    QList<Segmented::Option> qualities;
    for (AIQuality quality : AIQualities::all)
        qualities.append({AIQualities::label(quality), AIQualities::rawValue(quality)});
    m_quality = new Segmented(qualities, AIQualities::rawValue(m_upscaler.quality()));
    m_pane->addField(QStringLiteral("AI Quality"), m_quality);
    connect(m_quality, &Segmented::selectionChanged, this, [this](const QVariant& value) {
        if (const auto quality = AIQualities::fromRawValue(value.toString()))
            m_upscaler.setQuality(*quality);
    });
    connect(&m_upscaler, &ImageUpscaler::qualityChanged, this,
            [this] { m_quality->setSelection(AIQualities::rawValue(m_upscaler.quality())); });

    m_scale = new Segmented(
        Segmented::optionsOf<int>(
            {{QStringLiteral("2×"), 2}, {QStringLiteral("3×"), 3}, {QStringLiteral("4×"), 4}}),
        m_upscaler.scale());
    m_pane->addField(QStringLiteral("Scale"), m_scale);
    connect(m_scale, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_upscaler.setScale(value.toInt()); });
    connect(&m_upscaler, &ImageUpscaler::scaleChanged, this,
            [this] { m_scale->setSelection(m_upscaler.scale()); });

    auto* estimates = new GlassCard(10, content);
    m_estimates = estimates;
    auto* rows = new QVBoxLayout(estimates);
    rows->setContentsMargins(10, 10, 10, 10);
    rows->setSpacing(4);
    rows->addWidget(estimateRow(QStringLiteral("Output"), m_output, estimates));
    rows->addWidget(estimateRow(QStringLiteral("Est. size"), m_size, estimates));
    rows->addWidget(estimateRow(QStringLiteral("Est. time"), m_time, estimates));
    m_pane->addItem(estimates);

    m_format = new Segmented(
        Segmented::optionsOf<QString>({{QStringLiteral("PNG"), QStringLiteral("png")},
                                       {QStringLiteral("JPG"), QStringLiteral("jpg")}}),
        m_upscaler.format());
    m_formatBox = m_pane->addField(QStringLiteral("Format"), m_format);
    auto* faded = new QGraphicsOpacityEffect(m_format);
    faded->setOpacity(0.5);
    faded->setEnabled(false);
    m_format->setGraphicsEffect(faded);
    connect(m_format, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_upscaler.setFormat(value.toString()); });
    connect(&m_upscaler, &ImageUpscaler::formatChanged, this,
            [this] { m_format->setSelection(m_upscaler.format()); });

    m_match = new ToggleSwitch(QStringLiteral("Match original file size"), content);
    m_advanced = new ToggleSwitch(QStringLiteral("Advanced adjustments"), content);
    m_pane->addItem(m_match);
    m_pane->addItem(m_advanced);
    connect(m_match, &ToggleSwitch::toggled, &m_upscaler, &ImageUpscaler::setMatchFileSize);
    connect(m_advanced, &ToggleSwitch::toggled, &m_upscaler, &ImageUpscaler::setAdvanced);
    connect(&m_upscaler, &ImageUpscaler::matchFileSizeChanged, this, &ImageControlPane::refresh);
    connect(&m_upscaler, &ImageUpscaler::advancedChanged, this, &ImageControlPane::refresh);

    auto* adjustments = new GlassCard(10, content);
    m_adjustments = adjustments;
    auto* sliders = new QVBoxLayout(adjustments);
    sliders->setContentsMargins(10, 10, 10, 10);
    sliders->setSpacing(6);
    sliders->addWidget(adjust(QStringLiteral("Sharpness"), 0, 2, &ImageUpscaler::sharpness,
                              &ImageUpscaler::setSharpness, &ImageUpscaler::sharpnessChanged,
                              adjustments));
    sliders->addWidget(adjust(QStringLiteral("Brightness"), -0.3, 0.3, &ImageUpscaler::brightness,
                              &ImageUpscaler::setBrightness, &ImageUpscaler::brightnessChanged,
                              adjustments));
    sliders->addWidget(adjust(QStringLiteral("Contrast"), 0.7, 1.3, &ImageUpscaler::contrast,
                              &ImageUpscaler::setContrast, &ImageUpscaler::contrastChanged,
                              adjustments));
    sliders->addWidget(adjust(QStringLiteral("Saturation"), 0, 2, &ImageUpscaler::saturation,
                              &ImageUpscaler::setSaturation, &ImageUpscaler::saturationChanged,
                              adjustments));
    m_pane->addItem(adjustments);

    m_error = ControlPane::label(QString(), Theme::font(12), Theme::failureColor(), content);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pane->addItem(m_error);
    m_stopped = ControlPane::label(QStringLiteral("Stopped"), Theme::font(12),
                                   Theme::secondaryText(), content);
    m_pane->addItem(m_stopped);
    m_saved = ControlPane::label(QString(), Theme::font(12), Theme::secondaryText(), content);
    m_saved->setMaximumHeight(m_saved->fontMetrics().lineSpacing() * 2 + 2);
    m_pane->addItem(m_saved);

    connect(primaryButton(), &QPushButton::clicked, this, &ImageControlPane::upscaleRequested);

    for (auto changed : {&ImageUpscaler::hasSelectionChanged, &ImageUpscaler::srcWChanged,
                         &ImageUpscaler::srcHChanged, &ImageUpscaler::estimatedSizeTextChanged,
                         &ImageUpscaler::estimatedTimeTextChanged, &ImageUpscaler::errorTextChanged,
                         &ImageUpscaler::isRunningChanged, &ImageUpscaler::inputURLChanged,
                         &ImageUpscaler::statusTextChanged})
        connect(&m_upscaler, changed, this, &ImageControlPane::refresh);
    // The output size follows the scale, which announces itself before the derived texts do.
    connect(&m_upscaler, &ImageUpscaler::scaleChanged, this, &ImageControlPane::refresh);
    setSavedPath(QString());
    refresh();
}

QWidget* ImageControlPane::estimateRow(const QString& label, QLabel*& value, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    QLabel* name = ControlPane::label(label, Theme::font(12), Theme::secondaryText(), row);
    name->setWordWrap(false);
    layout->addWidget(name);
    layout->addStretch(1);
    value = ControlPane::label(QString(), Theme::font(12, QFont::DemiBold, true),
                               palette().color(QPalette::WindowText), row);
    value->setWordWrap(false);
    layout->addWidget(value);
    return row;
}

QWidget* ImageControlPane::adjust(const QString& label, double min, double max,
                                  double (ImageUpscaler::*get)() const,
                                  void (ImageUpscaler::*set)(double),
                                  void (ImageUpscaler::*changed)(), QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    QLabel* name = ControlPane::label(label, Theme::font(11), Theme::secondaryText(), box);
    name->setWordWrap(false);
    column->addWidget(name);
    auto* slider = new QSlider(Qt::Horizontal, box);
    slider->setRange(0, kSliderSteps);
    slider->setAccessibleName(label);
    QPalette tinted = slider->palette();
    tinted.setColor(QPalette::Highlight, Theme::appAccent());
    slider->setPalette(tinted);
    slider->setValue(sliderPosition((m_upscaler.*get)(), min, max));
    column->addWidget(slider);
    m_sliders.append(slider);
    connect(slider, &QSlider::valueChanged, this, [this, set, min, max](int position) {
        (m_upscaler.*set)(sliderValue(position, min, max));
    });
    connect(&m_upscaler, changed, slider, [this, slider, get, min, max] {
        const QSignalBlocker quiet(slider);
        slider->setValue(sliderPosition((m_upscaler.*get)(), min, max));
    });
    return box;
}

ProminentButton* ImageControlPane::primaryButton() const
{
    return m_pane->primaryButton();
}

int ImageControlPane::sliderPosition(double value, double min, double max)
{
    if (max <= min)
        return 0;
    const double fraction = std::clamp((value - min) / (max - min), 0.0, 1.0);
    return int(std::lround(fraction * kSliderSteps));
}

double ImageControlPane::sliderValue(int position, double min, double max)
{
    return min + (max - min) * double(std::clamp(position, 0, kSliderSteps)) / kSliderSteps;
}

void ImageControlPane::setSavedPath(const QString& path)
{
    m_saved->setText(path.isEmpty() ? QString() : ImageScreenTexts::savedLine(path));
    m_saved->setToolTip(path);
    m_saved->setVisible(!path.isEmpty());
}

void ImageControlPane::refresh()
{
    const bool selection = m_upscaler.hasSelection();
    m_estimates->setVisible(selection);
    if (selection) {
        m_output->setText(
            ImageScreenTexts::outputSize(m_upscaler.srcW(), m_upscaler.srcH(), m_upscaler.scale()));
        m_size->setText(m_upscaler.estimatedSizeText());
        m_time->setText(m_upscaler.estimatedTimeText());
    }

    const bool matching = m_upscaler.matchFileSize();
    m_format->setEnabled(!matching);
    m_format->graphicsEffect()->setEnabled(matching);
    {
        const QSignalBlocker quiet(m_match);
        m_match->setChecked(matching);
    }
    {
        const QSignalBlocker quiet(m_advanced);
        m_advanced->setChecked(m_upscaler.advanced());
    }
    m_adjustments->setVisible(m_upscaler.advanced());

    m_error->setText(m_upscaler.errorText());
    m_error->setVisible(!m_upscaler.errorText().isEmpty());
    // A stop by the user is said plainly, apart from failures.
    m_stopped->setVisible(m_upscaler.statusText() == QStringLiteral("Stopped"));

    primaryButton()->setTitle(ImageScreenTexts::primaryTitle(m_upscaler.isRunning()));
    primaryButton()->setEnabled(!m_upscaler.inputURL().isEmpty());
}
