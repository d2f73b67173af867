#pragma once

#include <optional>

#include <QDialog>
#include <QImage>

#include "ui/components/ZoomItem.h"

class PreviewImageButton;
class QLabel;
class QPushButton;
class ZoomableImageView;

// The sheet that shows a video's first frame before and after the AI pass: "Original" and
// "Upscaled" side by side (a click on either opens it in the zoom sheet), the upscaled size, and
// "Continue Full Upscale". "Done" only closes the sheet.
// Threading: main thread.
class PreviewSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewSheet)
public:
    explicit PreviewSheet(QWidget* parent = nullptr);

    // The two frames, the upscaled frame's size text ("1280×720") and the chosen output height;
    // empty images show a busy indicator in their card.
    void setImages(const QImage& original, const QImage& upscaled, const QString& previewSize,
                   qint64 targetHeight);
    QImage original() const { return m_original; }
    QImage upscaled() const { return m_upscaled; }
    // "AI preview 1280×720 · video output 4K · click to zoom", or empty.
    QString caption() const;

    // Opens the zoom sheet on the card with this title ("Original" or "Upscaled"), if it has a
    // picture; what the zoom sheet shows, or nothing while it is closed.
    void zoomInto(const QString& cardTitle);
    std::optional<ZoomItem> zoomItem() const { return m_zoomItem; }
    QDialog* zoomSheet() const { return m_zoomSheet; }

    QPushButton* doneButton() const { return m_done; }
    QPushButton* continueButton() const { return m_continue; }

Q_SIGNALS:
    // "Continue Full Upscale" was pressed; the sheet has closed itself.
    void continueRequested();

private:
    QWidget* makeCard(const QString& title, PreviewImageButton*& button);
    void closeZoom();

    QImage m_original;
    QImage m_upscaled;
    QLabel* m_caption;
    PreviewImageButton* m_originalButton = nullptr;
    PreviewImageButton* m_upscaledButton = nullptr;
    QPushButton* m_done;
    QPushButton* m_continue;
    std::optional<ZoomItem> m_zoomItem;
    QDialog* m_zoomSheet;
    ZoomableImageView* m_zoomView;
};
