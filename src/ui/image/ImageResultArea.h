#pragma once

#include <QImage>
#include <QWidget>

class BeforeAfterSlider;
class FittedImage;
class QLabel;
class QStackedLayout;
class QStackedWidget;
class Segmented;

// How a finished result is compared with its source.
enum class ImageCompareMode { Slider, SideBySide };

// The image screen's result area: the comparison of a finished result with its source (a wipe, or
// both side by side), else the loaded source picture, else the example pair to wipe across, else
// a prompt to drop an image.
// Threading: main thread.
class ImageResultArea final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageResultArea)
public:
    enum class Page { Comparison, Source, Example, Empty };

    explicit ImageResultArea(QWidget* parent = nullptr);

    // What the area can show; it picks the first of comparison, source, example and prompt whose
    // pictures are all present. A new comparison starts with the wipe line in the middle.
    void setContent(const QImage& original, const QImage& upscaled, const QImage& source,
                    const QImage& sampleOriginal, const QImage& sampleUpscaled);
    static Page pageFor(bool hasResult, bool hasSource, bool hasSamples);
    Page page() const { return m_page; }

    ImageCompareMode compareMode() const { return m_compareMode; }
    void setCompareMode(ImageCompareMode mode);

    Segmented* comparePicker() const { return m_picker; }
    BeforeAfterSlider* resultSlider() const { return m_resultSlider; }
    FittedImage* sideOriginal() const { return m_sideOriginal; }
    FittedImage* sideUpscaled() const { return m_sideUpscaled; }
    QWidget* sideBySide() const { return m_sideBySide; }
    FittedImage* sourceImage() const { return m_source; }
    BeforeAfterSlider* exampleSlider() const { return m_example; }
    QLabel* exampleCaption() const { return m_exampleCaption; }
    QLabel* emptyText() const { return m_emptyText; }

Q_SIGNALS:
    void compareModeChanged(ImageCompareMode mode);

private:
    QWidget* buildComparison();
    QWidget* buildExample();
    QWidget* buildEmpty();
    QWidget* labeledImage(const QString& title, FittedImage*& image, QWidget* parent);

    QStackedLayout* m_pages = nullptr;
    Page m_page = Page::Empty;
    ImageCompareMode m_compareMode = ImageCompareMode::Slider;
    Segmented* m_picker = nullptr;
    QStackedWidget* m_compareStack = nullptr;
    BeforeAfterSlider* m_resultSlider = nullptr;
    QWidget* m_sideBySide = nullptr;
    FittedImage* m_sideOriginal = nullptr;
    FittedImage* m_sideUpscaled = nullptr;
    FittedImage* m_source = nullptr;
    BeforeAfterSlider* m_example = nullptr;
    QLabel* m_exampleCaption = nullptr;
    QLabel* m_emptyText = nullptr;
};
