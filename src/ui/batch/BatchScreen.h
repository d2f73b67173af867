#pragma once

#include <functional>

#include <QList>
#include <QUrl>
#include <QUuid>
#include <QWidget>

#include "ui/batch/BatchListRow.h"
#include "ui/batch/BatchScreenLook.h"
#include "ui/components/Segmented.h"

class DropCard;
class BatchListCard;
class ControlPane;
class MediaModeBinding;
class ProminentButton;
class QLabel;

// The layout both batch screens share: on the left the drop card above the list card, on the
// right the control pane with the title, the mode control, the screen's own options, the
// running note and the primary button. It also does what both screens do with their model
// (collect files, remove them, pick a folder and start), through the model's operations; the
// screens add their options and pass the model's state to setState.
// Threading: main thread.
class BatchScreen final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchScreen)
public:
    // The model's operations the screen uses.
    struct Model {
        std::function<bool()> isRunning;
        std::function<bool()> isEmpty;
        std::function<void(const QList<QUrl>&)> add;
        std::function<void()> clear;
        std::function<void(const QUuid&)> remove;
        std::function<void(const QUrl&)> start; // with the destination folder
    };

    BatchScreen(const BatchScreenLook& look, MediaModeBinding& mode, Model model,
                QWidget* parent = nullptr);

    // Adds the dropped local files to the list; refused (false) while a run goes on. The files'
    // kinds are not checked here: a file of the wrong kind fails in its job.
    bool handleDrop(const QList<QUrl>& urls);
    // Opens the file picker and adds the chosen files; does nothing while a run goes on.
    void pickFiles();
    // Asks for a destination folder and, when one is chosen, starts the run into it.
    void chooseFolderAndStart();

    // "Fast", "Detailed" and "Max", valued by the qualities' stored names.
    static QList<Segmented::Option> qualityOptions();

    // Adds an option control under its caption, and an optional explanation under it.
    void addOption(const QString& label, Segmented* control, const QString& caption = QString());

    // Disables an option while a run goes on, drawn faded.
    static void setOptionLocked(Segmented* control, bool locked);

    // Shows the list and the running state: the drop card goes inert, the list's buttons and the
    // primary button follow, and the running note shows the count of finished files.
    void setState(const QList<BatchListRow::Entry>& entries, bool running, int completed);

    const BatchScreenLook& look() const { return m_look; }
    DropCard* dropCard() const { return m_dropCard; }
    BatchListCard* listCard() const { return m_listCard; }
    Segmented* modeControl() const { return m_modeControl; }
    QLabel* runningNote() const { return m_runningNote; }
    ProminentButton* primaryButton() const;

private:
    BatchScreenLook m_look;
    Model m_model;
    DropCard* m_dropCard = nullptr;
    BatchListCard* m_listCard = nullptr;
    ControlPane* m_pane = nullptr;
    Segmented* m_modeControl = nullptr;
    QWidget* m_runningNoteCard = nullptr;
    QLabel* m_runningNote = nullptr;
};
