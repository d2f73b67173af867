#include "ui/video/VideoControlPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/UpscaleOptions.h"
#include "processing/Upscaler.h"
#include "ui/components/ControlPane.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Segmented.h"
#include "ui/components/Theme.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/shell/MediaModeBinding.h"
#include "ui/video/VideoScreenTexts.h"

namespace {
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
} // namespace

VideoControlPane::VideoControlPane(Upscaler& upscaler, MediaModeBinding& mode, QWidget* parent)
    : QWidget(parent), m_upscaler(upscaler), m_modeBinding(mode),
      m_pane(new ControlPane(QStringLiteral("Video"), this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_pane);
    QWidget* content = m_pane->content();

    m_mode = new Segmented(
        Segmented::optionsOf<int>({{QStringLiteral("Single Video"), int(MediaMode::Single)},
                                   {QStringLiteral("Multiple Videos"), int(MediaMode::Multiple)}}),
        int(mode.value()));
    m_pane->addField(QStringLiteral("Mode"), m_mode);

    m_recommendation = new GlassCard(10, content);
    auto* noteRow = new QHBoxLayout(m_recommendation);
    noteRow->setContentsMargins(10, 10, 10, 10);
    noteRow->setSpacing(8);
    noteRow->addWidget(iconLabel(QStringLiteral("sparkles"), 16,
                                 Theme::appAccentGradient(QRectF(0, 0, 16, 16)), m_recommendation));
    m_recommendationText =
        ControlPane::label(QString(), Theme::font(12), Theme::secondaryText(), m_recommendation);
    noteRow->addWidget(m_recommendationText, 1);
    m_pane->addItem(m_recommendation);

    m_storage = new QWidget(content);
    auto* storageRow = new QHBoxLayout(m_storage);
    storageRow->setContentsMargins(0, 0, 0, 0);
    storageRow->setSpacing(6);
    storageRow->addWidget(
        iconLabel(QStringLiteral("internaldrive"), 13, QBrush(Theme::secondaryText()), m_storage));
    m_storageText =
        ControlPane::label(QString(), Theme::font(11), Theme::secondaryText(), m_storage);
    storageRow->addWidget(m_storageText, 1);
    m_pane->addItem(m_storage);
    m_time = ControlPane::label(QString(), Theme::font(11), Theme::secondaryText(), content);
    m_time->setObjectName(QStringLiteral("estimatedTime"));
    m_pane->addItem(m_time);

    m_quality = new Segmented(
        Segmented::optionsOf<int>({{QStringLiteral("Fast"), int(AIQuality::Fast)},
                                   {QStringLiteral("Detailed"), int(AIQuality::Detailed)},
                                   {QStringLiteral("Max"), int(AIQuality::Max)}}),
        int(upscaler.quality()));
    m_pane->addField(QStringLiteral("AI Quality"), m_quality,
                     QStringLiteral("Real-ESRGAN super resolution. Fast = quickest · Detailed = "
                                    "balanced · Max = sharpest (slow)."));

    m_resolution = new Segmented(Segmented::optionsOf<qint64>({{QStringLiteral("1080p"), 1080},
                                                               {QStringLiteral("4K"), 2160}}),
                                 upscaler.targetHeight());
    m_pane->addField(QStringLiteral("Output Resolution"), m_resolution);

    m_codec =
        new Segmented(Segmented::optionsOf<QString>({{QStringLiteral("H.264"), Codecs::h264},
                                                     {QStringLiteral("H.265"), Codecs::hevc}}),
                      upscaler.codec());
    m_pane->addField(QStringLiteral("Codec"), m_codec);

    m_previewSwitch =
        new ToggleSwitch(QStringLiteral("Preview first frame before full upscale"), content);
    m_previewSwitch->setChecked(upscaler.advancedPreview());
    m_pane->addItem(m_previewSwitch);

    m_error = ControlPane::label(QString(), Theme::font(12), Theme::failureColor(), content);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pane->addItem(m_error);
    m_notice = ControlPane::label(QString(), Theme::font(12), Theme::secondaryText(), content);
    m_pane->addItem(m_notice);
    m_highNote = ControlPane::label(QString(), Theme::font(12), QColor(255, 149, 0), content);
    m_pane->addItem(m_highNote);
    // A first-frame preview can take minutes on a slow machine; it can be stopped meanwhile.
    m_stopPreview = new ProminentButton(QStringLiteral("Stop Preview"), QStringLiteral("stop.fill"),
                                        ProminentButton::Size::Regular, content);
    m_stopPreview->setVisible(false);
    m_pane->addItem(m_stopPreview);

    m_savedBlock = new QWidget(content);
    auto* savedColumn = new QVBoxLayout(m_savedBlock);
    savedColumn->setContentsMargins(0, 0, 0, 0);
    savedColumn->setSpacing(8);
    m_savedTo =
        ControlPane::label(QString(), Theme::font(12), Theme::secondaryText(), m_savedBlock);
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
    m_pane->addItem(m_savedBlock);

    bindControls();
    refresh();
}

ProminentButton* VideoControlPane::primaryButton() const
{
    return m_pane->primaryButton();
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

    connect(primaryButton(), &QPushButton::clicked, this, &VideoControlPane::primaryClicked);
    connect(m_stopPreview, &QPushButton::clicked, this, &VideoControlPane::stopPreviewClicked);
    connect(m_saveCopy, &QPushButton::clicked, this, &VideoControlPane::saveCopyClicked);
    connect(m_compare, &QPushButton::clicked, this, &VideoControlPane::compareClicked);

    const auto refreshAll = [this] { refresh(); };
    for (const auto signal :
         {&Upscaler::inputURLChanged, &Upscaler::srcHChanged, &Upscaler::targetHeightChanged,
          &Upscaler::codecChanged, &Upscaler::qualityChanged, &Upscaler::recommendationTextChanged,
          &Upscaler::advancedPreviewChanged, &Upscaler::isRunningChanged,
          &Upscaler::outputURLChanged, &Upscaler::errorTextChanged,
          &Upscaler::estimatedStorageTextChanged, &Upscaler::estimatedTimeTextChanged,
          &Upscaler::loadProblemChanged, &Upscaler::noticeTextChanged})
        connect(&m_upscaler, signal, this, refreshAll);
}

void VideoControlPane::setViewState(bool previewBusy, bool outputBelongsToInput)
{
    m_previewBusy = previewBusy;
    m_outputBelongsToInput = outputBelongsToInput;
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
    m_time->setText(m_upscaler.estimatedTimeText());
    m_time->setVisible(!m_time->text().isEmpty());

    m_error->setText(m_upscaler.errorText());
    m_error->setVisible(!m_upscaler.errorText().isEmpty());
    m_notice->setText(m_upscaler.noticeText());
    m_notice->setVisible(!m_upscaler.noticeText().isEmpty());
    const bool high = alreadyHighRes();
    m_highNote->setText(high ? VideoScreenTexts::alreadyHighNote(m_upscaler.srcH()) : QString());
    m_highNote->setVisible(high);

    const bool saved = !m_upscaler.outputURL().isEmpty() && !m_upscaler.inputURL().isEmpty() &&
                       !m_upscaler.isRunning() && m_outputBelongsToInput;
    m_savedTo->setText(saved ? VideoScreenTexts::savedToText(m_upscaler.outputURL().toLocalFile())
                             : QString());
    m_savedBlock->setVisible(saved);

    m_stopPreview->setVisible(m_previewBusy);
    primaryButton()->setTitle(primaryTitle());
    // Until the loaded file has been read as a video there is nothing to upscale.
    primaryButton()->setEnabled(m_upscaler.readyToUpscale() && !m_previewBusy && !high);
}
