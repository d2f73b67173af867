#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class BatchScreen;
class BulkImageProcessor;
class MediaModeBinding;
class Segmented;

// The multiple-image screen: collects images by drop or picker, lists them with their state, and
// upscales them all into one folder with the same quality, scale and format.
// Threading: main thread.
class BulkImageView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkImageView)
public:
    BulkImageView(BulkImageProcessor& bulk, MediaModeBinding& mode, QWidget* parent = nullptr);

    // Adds dropped images; false (nothing added) while a run goes on.
    bool handleDrop(const QList<QUrl>& urls);
    // Opens the image picker and adds the chosen files; ignored while a run goes on.
    void pickImages();
    // Asks for a destination folder and, when one is chosen, starts the run into it.
    void chooseFolderAndStart();

    BatchScreen* screen() const { return m_screen; }
    Segmented* qualityControl() const { return m_quality; }
    Segmented* scaleControl() const { return m_scale; }
    Segmented* formatControl() const { return m_format; }

private:
    void refresh();

    BulkImageProcessor& m_bulk;
    BatchScreen* m_screen;
    Segmented* m_quality;
    Segmented* m_scale;
    Segmented* m_format;
};
