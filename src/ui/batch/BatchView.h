#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class BatchProcessor;
class BatchScreen;
class MediaModeBinding;
class Segmented;

// The multiple-video screen: collects videos by drop or picker, lists them with their progress,
// and upscales them all into one folder with the same quality, resolution and codec. The running
// work itself shows in the now bar; this screen shows each video's state.
// Threading: main thread.
class BatchView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchView)
public:
    BatchView(BatchProcessor& batch, MediaModeBinding& mode, QWidget* parent = nullptr);

    // Adds dropped videos; false (nothing added) while a batch runs.
    bool handleDrop(const QList<QUrl>& urls);
    // Asks for a destination folder and, when one is chosen, starts the batch into it.
    void chooseFolderAndStart();

    BatchScreen* screen() const { return m_screen; }
    Segmented* qualityControl() const { return m_quality; }
    Segmented* resolutionControl() const { return m_resolution; }
    Segmented* codecControl() const { return m_codec; }

private:
    void refresh();
    void showOptions();

    BatchProcessor& m_batch;
    BatchScreen* m_screen;
    Segmented* m_quality;
    Segmented* m_resolution;
    Segmented* m_codec;
};
