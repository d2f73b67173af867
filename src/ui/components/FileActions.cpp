#include "ui/components/FileActions.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

#include "account/SystemOpener.h"
#include "ui/components/HistoryCard.h"

namespace FileActions {

void reveal(QWidget* parent, const QString& path)
{
    const QPointer<QWidget> asker(parent);
    SystemOpener::reveal(path, [asker, path] {
        if (!asker)
            return;
        const QFileInfo file(path);
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Show in Folder"),
                                    QStringLiteral("No file manager could be opened to show “") +
                                        file.fileName() + QStringLiteral("”. It is in ") +
                                        HistoryCard::abbreviatedPath(file.absolutePath()) +
                                        QLatin1Char('.'),
                                    QMessageBox::Ok, asker->window());
        box->setTextFormat(Qt::PlainText);
        box->setTextInteractionFlags(Qt::TextSelectableByMouse);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
}

} // namespace FileActions
