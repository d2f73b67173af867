#pragma once

#include <QWidget>

class ControlPane;
class MediaModeBinding;
class QAbstractButton;
class QLabel;
class ProminentButton;
class Segmented;
class Upscaler;

// The right-hand column of the video screen: mode, recommendation, storage estimate, AI quality,
// output resolution, codec, the first-frame preview switch, the error line, the already-high
// note, the saved-output block and the primary button. The controls are bound both ways to the
// model and the mode; items whose condition is not met are hidden.
//
// What the model does not know (a preview being made, and whether its last output belongs to the
// loaded video) comes from the screen through setViewState().
// Threading: main thread.
class VideoControlPane final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoControlPane)
public:
    VideoControlPane(Upscaler& upscaler, MediaModeBinding& mode, QWidget* parent = nullptr);

    void setViewState(bool previewBusy, bool outputBelongsToInput);
    QString primaryTitle() const;
    bool alreadyHighRes() const;

    Segmented* modeControl() const { return m_mode; }
    Segmented* qualityControl() const { return m_quality; }
    Segmented* resolutionControl() const { return m_resolution; }
    Segmented* codecControl() const { return m_codec; }
    QAbstractButton* previewSwitch() const { return m_previewSwitch; }
    QWidget* recommendationNote() const { return m_recommendation; }
    QLabel* recommendationText() const { return m_recommendationText; }
    QWidget* storageEstimate() const { return m_storage; }
    QLabel* storageText() const { return m_storageText; }
    QLabel* errorLine() const { return m_error; }
    QLabel* noticeLine() const { return m_notice; }
    QLabel* timeLine() const { return m_time; }
    QLabel* alreadyHighNote() const { return m_highNote; }
    QWidget* savedOutputBlock() const { return m_savedBlock; }
    QLabel* savedToLabel() const { return m_savedTo; }
    ProminentButton* saveCopyButton() const { return m_saveCopy; }
    ProminentButton* compareButton() const { return m_compare; }
    ProminentButton* primaryButton() const;
    ProminentButton* stopPreviewButton() const { return m_stopPreview; }

Q_SIGNALS:
    void primaryClicked();
    void saveCopyClicked();
    void compareClicked();
    void stopPreviewClicked();

private:
    void bindControls();
    void refresh();

    Upscaler& m_upscaler;
    MediaModeBinding& m_modeBinding;
    ControlPane* m_pane;
    bool m_previewBusy = false;
    bool m_outputBelongsToInput = false;

    Segmented* m_mode;
    Segmented* m_quality;
    Segmented* m_resolution;
    Segmented* m_codec;
    QAbstractButton* m_previewSwitch;
    QWidget* m_recommendation;
    QLabel* m_recommendationText;
    QWidget* m_storage;
    QLabel* m_storageText;
    QLabel* m_notice = nullptr;
    ProminentButton* m_stopPreview = nullptr;
    QLabel* m_time = nullptr;
    QLabel* m_error;
    QLabel* m_highNote;
    QWidget* m_savedBlock;
    QLabel* m_savedTo;
    ProminentButton* m_saveCopy;
    ProminentButton* m_compare;
};
