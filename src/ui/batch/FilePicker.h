#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QUrl>

class QWidget;

// Asks the user for files to add or for a destination folder. The desktop's dialogs answer
// unless another picker is installed; tests install one that answers by itself.
// Threading: main thread only.
class FilePicker {
public:
    struct FilesRequest {
        QWidget* parent = nullptr; // the window the dialog belongs to (not owned)
        QString message;           // what the dialog asks
        QString nameFilter;        // for example "Videos (*.mp4 *.mov)"
    };
    struct FolderRequest {
        QWidget* parent = nullptr;
        QString message;
        QString prompt; // the accept button's text
    };

    virtual ~FilePicker() = default;

    // The chosen files; empty when the user cancelled.
    virtual QList<QUrl> chooseFiles(const FilesRequest& request) = 0;
    // The chosen folder, or nullopt when the user cancelled.
    virtual std::optional<QUrl> chooseFolder(const FolderRequest& request) = 0;

    // The installed picker, or the desktop's dialogs when none is installed.
    static FilePicker& current();
    // Installs a picker (not owned); nullptr returns to the desktop's dialogs.
    static void setCurrent(FilePicker* picker);

private:
    static inline FilePicker* s_current = nullptr;
};
