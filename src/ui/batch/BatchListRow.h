#pragma once

#include <QString>
#include <QUrl>
#include <QUuid>
#include <QWidget>

class GradientProgressBar;
class QLabel;
class QToolButton;

// One file of a batch list: its state icon, name, progress and status line, and the buttons to
// show its output and to remove it.
// Threading: main thread.
class BatchListRow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchListRow)
public:
    // What a row shows about one file.
    struct Entry {
        QUuid id;
        QString name;        // the file's name
        QString status;      // "Queued", a phase while running, "Done", "Failed" or "Stopped"
        double progress = 0; // 0 to 1; a bar shows while strictly between
        QString eta;         // remaining time, may be empty
        QUrl outputURL;      // the written file; empty until done
        bool failed = false; // failed for a reason other than a stop
        QUrl keptURL;        // a finished result kept after a failed save; offered like an output

        bool operator==(const Entry&) const = default;
    };

    // idleIcon: the icon while neither done nor failed; showsProgress: whether this list shows
    // progress bars and remaining times.
    BatchListRow(const QString& idleIcon, bool showsProgress, QWidget* parent = nullptr);

    // Shows entry; running hides the remove button.
    void setEntry(const Entry& entry, bool running);

    const Entry& entry() const { return m_entry; }
    QString iconName() const { return m_iconName; }
    QString statusText() const;
    GradientProgressBar* progressBar() const { return m_progress; }
    QToolButton* revealButton() const { return m_reveal; }
    QToolButton* removeButton() const { return m_remove; }

Q_SIGNALS:
    void revealRequested(const QUrl& output);
    void removeRequested(const QUuid& id);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_idleIcon;
    bool m_showsProgress;
    Entry m_entry;
    QString m_iconName;
    QLabel* m_icon;
    QLabel* m_name;
    GradientProgressBar* m_progress;
    QLabel* m_status;
    QToolButton* m_reveal;
    QToolButton* m_remove;
};
