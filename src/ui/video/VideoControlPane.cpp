#include "ui/video/VideoControlPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "engine/UpscaleOptions.h"
#include "processing/Upscaler.h"
#include "ui/MediaModeBinding.h"
#include "ui/components/FieldLabel.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Segmented.h"
#include "ui/components/Theme.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/video/VideoScreenTexts.h"

namespace {
QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QLabel* iconLabel(const QString& icon, int size, const QBrush& brush, QWidget* parent)
{
    auto* label = new QLabel(parent);
    const qreal ratio = parent->devicePixelRatioF();
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Icons::paint(painter, QRectF(0, 0, size, size), icon, brush);
    painter.end();
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignTop);
    return label;
}

QWidget* field(const QString& caption, QWidget* control, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(new FieldLabel(caption, box));
    control->setParent(box);
    column->addWidget(control);
    return box;
}
} // namespace

VideoControlPane::VideoControlPane(Upscaler& upscaler, MediaModeBinding& mode, QWidget* parent)
    : QWidget(parent), m_upscaler(upscaler), m_modeBinding(mode)
{
    setFixedWidth(340);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new GlassCard(18, this);
    outer->addWidget(card);
    auto* cardColumn = new QVBoxLayout(card);
    cardColumn->setContentsMargins(0, 0, 0, 18);
    cardColumn->setSpacing(12);
    // Everything but the primary button scrolls when the window is too short for it.
    auto* scroll = new QScrollArea(card);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    content->setAutoFillBackground(false); // setWidget turned it on
    cardColumn->addWidget(scroll, 1);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 18, 18, 0);
    column->setSpacing(16);

    column->addWidget(makeLabel(QStringLiteral("Video"), Theme::font(22, QFont::Bold),
                                palette().color(QPalette::WindowText), content));

    m_mode = new Segmented(
        Segmented::optionsOf<int>({{QStringLiteral("Single Video"), int(MediaMode::Single)},
                                   {QStringLiteral("Multiple Videos"), int(MediaMode::Multiple)}}),
        int(mode.value()));
    column->addWidget(field(QStringLiteral("Mode"), m_mode, content));

    m_recommendation = new GlassCard(10, content);
    auto* noteRow = new QHBoxLayout(m_recommendation);
    noteRow->setContentsMargins(10, 10, 10, 10);
    noteRow->setSpacing(8);
    noteRow->addWidget(iconLabel(QStringLiteral("sparkles"), 16,
                                 Theme::appAccentGradient(QRectF(0, 0, 16, 16)), m_recommendation));
    m_recommendationText =
        makeLabel(QString(), Theme::font(12), Theme::secondaryText(), m_recommendation);
    noteRow->addWidget(m_recommendationText, 1);
    column->addWidget(m_recommendation);

    m_storage = new QWidget(content);
    auto* storageRow = new QHBoxLayout(m_storage);
    storageRow->setContentsMargins(0, 0, 0, 0);
    storageRow->setSpacing(6);
    storageRow->addWidget(
        iconLabel(QStringLiteral("internaldrive"), 13, QBrush(Theme::secondaryText()), m_storage));
    m_storageText = makeLabel(QString(), Theme::font(11), Theme::secondaryText(), m_storage);
    storageRow->addWidget(m_storageText, 1);
    column->addWidget(m_storage);

    m_quality = new Segmented(
        Segmented::optionsOf<int>({{QStringLiteral("Fast"), int(AIQuality::Fast)},
                                   {QStringLiteral("Detailed"), int(AIQuality::Detailed)},
                                   {QStringLiteral("Max"), int(AIQuality::Max)}}),
        int(upscaler.quality()));
    QWidget* quality = field(QStringLiteral("AI Quality"), m_quality, content);
    quality->layout()->addWidget(
        makeLabel(QStringLiteral("Real-ESRGAN super resolution. Fast = quickest · Detailed = "
                                 "balanced · Max = sharpest (slow)."),
                  Theme::font(11), Theme::secondaryText(), quality));
    column->addWidget(quality);

    m_resolution = new Segmented(Segmented::optionsOf<qint64>({{QStringLiteral("1080p"), 1080},
                                                               {QStringLiteral("4K"), 2160}}),
                                 upscaler.targetHeight());
    column->addWidget(field(QStringLiteral("Output Resolution"), m_resolution, content));

    m_codec =
        new Segmented(Segmented::optionsOf<QString>({{QStringLiteral("H.264"), Codecs::h264},
                                                     {QStringLiteral("H.265"), Codecs::hevc}}),
                      upscaler.codec());
    column->addWidget(field(QStringLiteral("Codec"), m_codec, content));

    m_previewSwitch =
        new ToggleSwitch(QStringLiteral("Preview first frame before full upscale"), content);
    m_previewSwitch->setChecked(upscaler.advancedPreview());
    column->addWidget(m_previewSwitch);

    m_error = makeLabel(QString(), Theme::font(12), Theme::failureColor(), content);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_error);
    m_highNote = makeLabel(QString(), Theme::font(12), QColor(255, 149, 0), content);
    column->addWidget(m_highNote);

    m_savedBlock = new QWidget(content);
    auto* savedColumn = new QVBoxLayout(m_savedBlock);
    savedColumn->setContentsMargins(0, 0, 0, 0);
    savedColumn->setSpacing(8);
    m_savedTo = makeLabel(QString(), Theme::font(12), Theme::secondaryText(), m_savedBlock);
    m_savedTo->setMaximumHeight(m_savedTo->fontMetrics().lineSpacing() * 2 + 2);
    savedColumn->addWidget(m_savedTo);
    auto* savedButtons = new QHBoxLayout;
    savedButtons->setSpacing(8);
    m_saveCopy =
        new ProminentButton(QStringLiteral("Save a copy"), QStringLiteral("square.and.arrow.down"),
                            ProminentButton::Size::Regular, m_savedBlock);
    m_compare =
        new ProminentButton(QStringLiteral("Compare"), QStringLiteral("rectangle.split.2x1"),
                            ProminentButton::Size::Regular, m_savedBlock);
    savedButtons->addWidget(m_saveCopy, 1);
    savedButtons->addWidget(m_compare, 1);
    savedColumn->addLayout(savedButtons);
    column->addWidget(m_savedBlock);

    column->addStretch(1);
    m_primary = new ProminentButton(QString(), QString(), ProminentButton::Size::Large, card);
    auto* primaryRow = new QHBoxLayout;
    primaryRow->setContentsMargins(18, 0, 18, 0);
    primaryRow->addWidget(m_primary);
    cardColumn->addLayout(primaryRow);

    bindControls();
    refresh();
}

void VideoControlPane::bindControls()
{
    connect(m_mode, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_modeBinding.setValue(MediaMode(value.toInt())); });
    connect(&m_modeBinding, &MediaModeBinding::changed, this,
            [this](MediaMode value) { m_mode->setSelection(int(value)); });
    connect(m_quality, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_upscaler.setQuality(AIQuality(value.toInt())); });
    connect(m_resolution, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_upscaler.setTargetHeight(value.toLongLong()); });
    connect(m_codec, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { m_upscaler.setCodec(value.toString()); });
    connect(m_previewSwitch, &QAbstractButton::toggled, this,
            [this](bool on) { m_upscaler.setAdvancedPreview(on); });

    connect(m_primary, &QPushButton::clicked, this, &VideoControlPane::primaryClicked);
    connect(m_saveCopy, &QPushButton::clicked, this, &VideoControlPane::saveCopyClicked);
    connect(m_compare, &QPushButton::clicked, this, &VideoControlPane::compareClicked);

    const auto refreshAll = [this] { refresh(); };
    for (const auto signal :
         {&Upscaler::inputURLChanged, &Upscaler::srcHChanged, &Upscaler::targetHeightChanged,
          &Upscaler::codecChanged, &Upscaler::qualityChanged, &Upscaler::recommendationTextChanged,
          &Upscaler::advancedPreviewChanged, &Upscaler::isRunningChanged,
          &Upscaler::outputURLChanged, &Upscaler::errorTextChanged,
          &Upscaler::estimatedStorageTextChanged})
        connect(&m_upscaler, signal, this, refreshAll);
}

void VideoControlPane::setViewState(bool previewBusy, bool outputBelongsToInput,
                                    const QString& previewError)
{
    m_previewBusy = previewBusy;
    m_outputBelongsToInput = outputBelongsToInput;
    m_previewError = previewError;
    refresh();
}

bool VideoControlPane::alreadyHighRes() const
{
    return VideoScreenTexts::alreadyHighRes(m_upscaler.srcH(), m_upscaler.targetHeight());
}

QString VideoControlPane::primaryTitle() const
{
    return VideoScreenTexts::primaryTitle(m_previewBusy, m_upscaler.advancedPreview(),
                                          m_upscaler.isRunning());
}

void VideoControlPane::refresh()
{
    m_quality->setSelection(int(m_upscaler.quality()));
    m_resolution->setSelection(m_upscaler.targetHeight());
    m_codec->setSelection(m_upscaler.codec());
    m_previewSwitch->setChecked(m_upscaler.advancedPreview());

    const QString recommendation = m_upscaler.recommendationText();
    m_recommendationText->setText(recommendation);
    m_recommendation->setVisible(!recommendation.isEmpty());
    const QString storage = m_upscaler.estimatedStorageText();
    m_storageText->setText(storage);
    m_storage->setVisible(!storage.isEmpty());

    const QString error = m_previewError.isEmpty() ? m_upscaler.errorText() : m_previewError;
    m_error->setText(error);
    m_error->setVisible(!error.isEmpty());
    const bool high = alreadyHighRes();
    m_highNote->setText(high ? VideoScreenTexts::alreadyHighNote(m_upscaler.srcH()) : QString());
    m_highNote->setVisible(high);

    const bool saved = !m_upscaler.outputURL().isEmpty() && !m_upscaler.inputURL().isEmpty() &&
                       !m_upscaler.isRunning() && m_outputBelongsToInput;
    m_savedTo->setText(saved ? VideoScreenTexts::savedToText(m_upscaler.outputURL().toLocalFile())
                             : QString());
    m_savedBlock->setVisible(saved);

    m_primary->setTitle(primaryTitle());
    m_primary->setEnabled(!m_upscaler.inputURL().isEmpty() && !m_previewBusy && !high);
}
