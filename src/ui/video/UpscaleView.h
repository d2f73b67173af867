#pragma once

#include <memory>

#include <QHash>
#include <QImage>
#include <QList>
#include <QUrl>
#include <QUuid>
#include <QWidget>

class BatchProcessor;
class CompareSheet;
class DropCard;
class HistoryCard;
class JobProgressSection;
class MediaModeBinding;
class PlayerSheet;
class PreviewSheet;
class QLabel;
class QMediaPlayer;
class QMimeData;
class QToolButton;
class Upscaler;
class VideoControlPane;

// The video tab's screen in single mode: the drop card, the savings strip, the "Processing"
// section and the history on the left; the control pane on the right; the preview, player and
// compare sheets. It holds no processing logic: it reads and writes the single-video model, hands
// several files at once to the batch model (and switches the tab to multiple mode), and asks the
// engine for the first-frame preview.
//
// The model keeps only its last output, not which video it came from. The screen remembers the
// source of each upscale it queues, so the saved-output block and the compare sheet show an output
// only next to the video it was made from.
// Threading: main thread.
class StopToken;

class UpscaleView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpscaleView)
public:
    UpscaleView(Upscaler& upscaler, BatchProcessor& batch, MediaModeBinding& mode,
                QWidget* parent = nullptr);
    ~UpscaleView() override;

    // Files from the picker or a drop: one is loaded, several go to the batch list and switch
    // the tab to multiple mode, none does nothing.
    void routeSelection(const QList<QUrl>& urls);
    // A drop: routes its local files; false when it offered none.
    bool handleDrop(const QMimeData& mime);
    // The primary button: the first-frame preview when asked for, otherwise the full upscale.
    void onUpscaleTapped();
    // Queues the full upscale of the loaded video with the model's current settings.
    void runFull();
    // Copies a finished video to a place the user picks, suggesting "<name> copy.mp4" beside it.
    // The copy runs in the background and the pane says when it is saved or why not; choosing
    // the video itself is refused with a word.
    void saveAs(const QUrl& url);

    bool alreadyHighRes() const;
    QString primaryTitle() const;
    bool previewBusy() const { return m_previewBusy; }
    // The last preview's frames and the upscaled frame's size ("1280×720").
    QImage previewOriginal() const { return m_previewOriginal; }
    QImage previewUpscaled() const { return m_previewUpscaled; }
    QString previewSize() const { return m_previewSize; }
    // True when the model's last output was made from the video loaded now.
    bool outputBelongsToInput() const;

    // Opens the picker (as a click on the drop card does); never blocks.
    void openImporter();
    void openPlayer();
    // Makes, keeps or drops the player so it plays the loaded video while it is playable.
    void refreshPlayer();
    void openCompare();

    DropCard* dropCard() const { return m_dropCard; }
    QToolButton* playButton() const { return m_playButton; }
    QToolButton* changeButton() const { return m_changeButton; }
    VideoControlPane* controlPane() const { return m_pane; }
    JobProgressSection* processingSection() const { return m_processing; }
    HistoryCard* historyCard() const { return m_history; }
    PreviewSheet* previewSheet() const { return m_previewSheet; }
    PlayerSheet* playerSheet() const { return m_playerSheet; }
    // The player of the loaded video, made by the screen; nullptr when there is none.
    QMediaPlayer* player() const { return m_player; }
    CompareSheet* compareSheet() const { return m_compareSheet; }

private:
    QWidget* buildLeftColumn();
    void refreshDropCard();
    void refreshHistory();
    void refreshPane();
    void rememberQueuedJob(const QUrl& input);
    void noteOutput();

    Upscaler& m_upscaler;
    BatchProcessor& m_batch;
    MediaModeBinding& m_mode;

    bool m_previewBusy = false;
    // Stops the preview being made; a preview outliving its screen is stopped with it.
    std::shared_ptr<StopToken> m_previewStop;
    QImage m_previewOriginal;
    QImage m_previewUpscaled;
    QString m_previewSize;
    // The source of each video job this screen queued, by job id, until the job leaves the queue.
    QHash<QUuid, QUrl> m_jobSources;
    // The source of the model's last output, when it is known.
    QUrl m_outputSource;

    DropCard* m_dropCard;
    QToolButton* m_playButton;
    QToolButton* m_changeButton;
    QLabel* m_addIcon;
    JobProgressSection* m_processing;
    HistoryCard* m_history;
    VideoControlPane* m_pane;
    PreviewSheet* m_previewSheet;
    PlayerSheet* m_playerSheet;
    CompareSheet* m_compareSheet;
    QMediaPlayer* m_player = nullptr;
};
