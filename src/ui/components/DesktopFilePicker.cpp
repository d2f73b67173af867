#include "ui/components/DesktopFilePicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString userFolder(FilePicker::Place place)
{
    const QString folder = QStandardPaths::writableLocation(place == FilePicker::Place::Pictures
                                                                ? QStandardPaths::PicturesLocation
                                                                : QStandardPaths::MoviesLocation);
    // The home folder stands in for a Videos or Pictures folder that was never made.
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}
} // namespace

QString DesktopFilePicker::startFolder(Place place) const
{
    const QString last = m_lastFolder.value(int(place));
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : userFolder(place);
}

void DesktopFilePicker::remember(Place place, const QString& folder)
{
    if (!folder.isEmpty())
        m_lastFolder.insert(int(place), folder);
}

QFileDialog* DesktopFilePicker::makeDialog(QWidget* parent, const QString& message, Place place)
{
    if (m_open) {
        // One dialog at a time: the open one is brought forward instead.
        m_open->raise();
        m_open->activateWindow();
        return nullptr;
    }
    // The message is the dialog's title.
    auto* dialog = new QFileDialog(parent ? parent->window() : nullptr, message);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setDirectory(startFolder(place));
    m_open = dialog;
    return dialog;
}

void DesktopFilePicker::chooseFiles(const FilesRequest& request, const FilesChosen& done)
{
    QFileDialog* dialog = makeDialog(request.parent, request.message, request.place);
    if (!dialog)
        return;
    dialog->setFileMode(QFileDialog::ExistingFiles);
    if (!request.nameFilters.isEmpty())
        dialog->setNameFilters(request.nameFilters);
    const QPointer<QWidget> asker(request.parent);
    const Place place = request.place;
    // Read on acceptance: Qt's own dialog does not report its choice through urlsSelected.
    QObject::connect(dialog, &QDialog::accepted, dialog, [this, dialog, asker, place, done] {
        QList<QUrl> chosen;
        for (const QUrl& url : dialog->selectedUrls()) {
            if (url.isLocalFile() && !url.toLocalFile().isEmpty())
                chosen.append(url);
        }
        if (chosen.isEmpty())
            return;
        remember(place, QFileInfo(chosen.constFirst().toLocalFile()).absolutePath());
        if (asker)
            done(chosen);
    });
    dialog->open();
}

void DesktopFilePicker::chooseFolder(const FolderRequest& request, const FolderChosen& done)
{
    QFileDialog* dialog = makeDialog(request.parent, request.message, request.place);
    if (!dialog)
        return;
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    if (!request.prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, request.prompt);
    const QPointer<QWidget> asker(request.parent);
    const Place place = request.place;
    QObject::connect(dialog, &QDialog::accepted, dialog, [this, dialog, asker, place, done] {
        const QList<QUrl> chosen = dialog->selectedUrls();
        if (chosen.isEmpty() || chosen.constFirst().isEmpty())
            return;
        remember(place, chosen.constFirst().toLocalFile());
        if (asker)
            done(chosen.constFirst());
    });
    dialog->open();
}
