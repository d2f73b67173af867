#pragma once

#include <optional>

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QUuid>
#include <QWidget>

#include "ui/image/ImageResultArea.h"
#include "ui/image/ImageResultTracker.h"
#include "ui/shell/MediaModeBinding.h"

class BulkImageProcessor;
class DropCard;
class HistoryCard;
class ImageControlPane;
class ImageUpscaler;
class JobProgressSection;
class QToolButton;

// The image tab's screen in single mode: the drop card, the result area (the comparison of a
// finished result, the loaded image, or the example pair), the image jobs of the queue, the
// history of upscaled images, and the control pane. One file goes to the image model; several go
// to the bulk model and switch the tab to multiple mode.
// Threading: main thread; the example pair and the existence of saved files are read on workers
// and posted back.
class ImageUpscaleView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageUpscaleView)
public:
    using CompareMode = ImageCompareMode;

    ImageUpscaleView(ImageUpscaler& upscaler, BulkImageProcessor& bulk, MediaModeBinding& mode,
                     QWidget* parent = nullptr);
    ~ImageUpscaleView() override;

    // Files from the picker or a drop: none does nothing, one is loaded, several go to the bulk
    // list in the given order and switch the tab to multiple mode.
    void routeSelection(const QList<QUrl>& urls);
    // Opens the image picker (several files may be chosen); it never blocks.
    void openImporter();

    // Reads the example pair in the background unless it is already there.
    void loadSamples();
    bool hasSamples() const { return !m_sampleOriginal.isNull() && !m_sampleUpscaled.isNull(); }

    // Checks again which saved files still exist (the history's reveal buttons).
    void refreshSavedFiles();

    DropCard* dropCard() const { return m_dropCard; }
    QToolButton* changeButton() const { return m_change; }
    ImageResultArea* resultArea() const { return m_area; }
    ImageControlPane* controlPane() const { return m_pane; }
    JobProgressSection* progressSection() const { return m_progress; }
    HistoryCard* historyCard() const { return m_history; }

Q_SIGNALS:
    void samplesLoaded();
    // The history table has been rebuilt with the saved files' existence checked.
    void savedFilesChecked();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildDropCard();
    void buildHistoryCard();
    void refreshDropCard();
    void refreshResult();
    void refreshHistoryRows();
    void onHistoryChanged();
    void onUpscaleRequested();
    // The finished result when it belongs to what the screen shows: nothing else is loaded, or
    // its own source is.
    bool resultBelongs() const;

    ImageUpscaler& m_upscaler;
    BulkImageProcessor& m_bulk;
    MediaModeBinding& m_mode;

    DropCard* m_dropCard = nullptr;
    QWidget* m_addGlyph = nullptr;
    QToolButton* m_change = nullptr;
    ImageResultArea* m_area = nullptr;
    ImageControlPane* m_pane = nullptr;
    JobProgressSection* m_progress = nullptr;
    HistoryCard* m_history = nullptr;

    QImage m_sampleOriginal;
    QImage m_sampleUpscaled;
    bool m_samplesLoading = false;

    ImageResultTracker m_tracker;
    std::optional<ImageResultTracker::Pair> m_result;
    QUuid m_lastTopEntry;
    const QDateTime m_createdAt = QDateTime::currentDateTimeUtc();

    // Saved paths known to exist, from the last check; checks are numbered so a late answer
    // from an older check is dropped.
    QSet<QString> m_existing;
    quint64 m_existenceCheck = 0;
};
