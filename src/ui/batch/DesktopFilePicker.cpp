#include "ui/batch/DesktopFilePicker.h"

#include <QFileDialog>

QList<QUrl> DesktopFilePicker::chooseFiles(const FilesRequest& request)
{
    // The message is the dialog's title.
    QFileDialog dialog(request.parent, request.message);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (!request.nameFilter.isEmpty())
        dialog.setNameFilter(request.nameFilter);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedUrls();
}

std::optional<QUrl> DesktopFilePicker::chooseFolder(const FolderRequest& request)
{
    QFileDialog dialog(request.parent, request.message);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!request.prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, request.prompt);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QList<QUrl> chosen = dialog.selectedUrls();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first();
}
