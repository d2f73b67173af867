#pragma once

#include <QFileDialog>
#include <QHash>
#include <QPointer>

#include "ui/components/FilePicker.h"

// The desktop's open dialogs: window-modal QFileDialogs, opened without a nested event loop. The
// answer is read from the dialog when it is accepted, which works for Qt's own dialog and for a
// native one alike. A dialog opens in the last folder accepted for its kind of media during this
// run, else in the user's Videos or Pictures folder, else in the home folder.
// Threading: main thread only.
class DesktopFilePicker final : public FilePicker {
public:
    void chooseFiles(const FilesRequest& request, const FilesChosen& done) override;
    void chooseFolder(const FolderRequest& request, const FolderChosen& done) override;

    // The dialog open now, or nullptr (tests drive it like a person would).
    QFileDialog* openDialog() const { return m_open.data(); }
    // The folder the next dialog of this kind opens in.
    QString startFolder(Place place) const;

private:
    QFileDialog* makeDialog(QWidget* parent, const QString& message, Place place);
    void remember(Place place, const QString& folder);

    QHash<int, QString> m_lastFolder;
    QPointer<QFileDialog> m_open;
};
