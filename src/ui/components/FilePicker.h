#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class DesktopFilePicker;
class QWidget;

// Asks the user for files to open or for a folder, for every screen. The desktop's dialogs answer
// unless another picker is installed; tests install one that answers by itself. Asking never
// blocks: the answer arrives through the callback once the user has chosen, and never when the
// user cancels or the asking widget is gone by then.
// Threading: main thread only.
class FilePicker {
public:
    // Which of the user's folders a dialog opens in the first time; later it opens where the
    // last dialog of the same kind was accepted.
    enum class Place { Videos, Pictures };

    struct FilesRequest {
        QWidget* parent = nullptr; // the widget asking; the dialog belongs to its window
        QString message;           // what the dialog asks
        QStringList nameFilters;   // for example "Videos (*.mp4 *.mov)"
        Place place = Place::Videos;
    };
    struct FolderRequest {
        QWidget* parent = nullptr;
        QString message;
        QString prompt; // the accept button's text
        Place place = Place::Videos;
    };
    using FilesChosen = std::function<void(const QList<QUrl>&)>;
    using FolderChosen = std::function<void(const QUrl&)>;

    virtual ~FilePicker() = default;

    // Calls done with the chosen files (at least one).
    virtual void chooseFiles(const FilesRequest& request, const FilesChosen& done) = 0;
    // Calls done with the chosen folder.
    virtual void chooseFolder(const FolderRequest& request, const FolderChosen& done) = 0;

    // The name filters the screens offer: movie containers; every picture format Qt can read;
    // both; each list ends with "All files (*)" so a file with an unusual name can be chosen.
    static QStringList videoFilters();
    static QStringList imageFilters();
    static QStringList mediaFilters();

    // The installed picker, or the desktop's dialogs when none is installed.
    static FilePicker& current();
    // The desktop's dialogs, installed or not.
    static DesktopFilePicker& desktop();
    // Installs a picker (not owned); nullptr returns to the desktop's dialogs.
    static void setCurrent(FilePicker* picker);

private:
    static inline FilePicker* s_current = nullptr;
};
