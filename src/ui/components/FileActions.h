#pragma once

class QString;
class QWidget;

// What the screens do with a finished file, with a word to the user when the desktop can't help.
// Threading: main thread only.
namespace FileActions {

// Shows the file in the file manager, else opens its folder; when neither works, a message names
// the folder so the user can find the file themselves.
void reveal(QWidget* parent, const QString& path);

} // namespace FileActions
