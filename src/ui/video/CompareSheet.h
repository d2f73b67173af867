#pragma once

#include <QDialog>
#include <QUrl>

class QPushButton;
class SyncedCompare;
class QVBoxLayout;

// The sheet that plays a video and its upscaled version in step ("Comparison").
// It shows the pair only when both files are given; otherwise it stays empty. Closing it stops
// and drops the players.
// Threading: main thread.
class CompareSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompareSheet)
public:
    explicit CompareSheet(QWidget* parent = nullptr);

    void present(const QUrl& original, const QUrl& upscaled);

    QUrl originalUrl() const { return m_original; }
    QUrl upscaledUrl() const { return m_upscaled; }
    // The comparison shown now, or nullptr.
    SyncedCompare* comparison() const { return m_comparison; }
    QPushButton* doneButton() const { return m_done; }

private:
    void dropComparison();

    QUrl m_original;
    QUrl m_upscaled;
    QWidget* m_content;
    QVBoxLayout* m_body;
    QPushButton* m_done;
    SyncedCompare* m_comparison = nullptr;
};
