#pragma once

#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

#include "ui/components/DesktopFilePicker.h"

namespace KorvaneTest {

// The open dialog of the desktop picker, waiting up to a second for it to appear; nullptr when
// none opened.
inline QFileDialog* openFileDialog()
{
    QFileDialog* dialog = nullptr;
    for (int waited = 0; waited < 1000 && !dialog; waited += 20) {
        dialog = FilePicker::desktop().openDialog();
        if (!dialog || !dialog->isVisible()) {
            dialog = nullptr;
            QTest::qWait(20);
        }
    }
    return dialog;
}

// Answers Qt's own file dialog as a person would: types the path into its file name field and
// presses Return. False when no dialog is open or it has no such field (a native dialog).
inline bool acceptInFileDialog(const QString& path)
{
    QFileDialog* dialog = openFileDialog();
    if (!dialog)
        return false;
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!field)
        return false;
    field->setText(path);
    QTest::keyClick(field, Qt::Key_Return);
    return !FilePicker::desktop().openDialog() || !dialog->isVisible();
}

} // namespace KorvaneTest
