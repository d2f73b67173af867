#include "ui/components/FileSaveDialog.h"

#include <QFileDialog>

std::optional<QString> FileSaveDialog::chooseSaveLocation(const Request& request)
{
    // The message is the dialog's title.
    QFileDialog dialog(m_parent, request.message);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.nameFilter.isEmpty())
        dialog.setNameFilter(request.nameFilter);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.suggestedPath);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first();
}
