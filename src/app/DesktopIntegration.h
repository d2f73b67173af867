#pragma once

#include <QByteArray>
#include <QFuture>
#include <QString>

// Registers Korvane with the desktop as the handler of korvane: URLs, so that the browser's
// sign-in callback reaches the application, and puts its icon into the user's icon theme.
// Threading: call from the main thread; the work runs on the global thread pool.
namespace DesktopIntegration {

// Where the desktop entry lives: $XDG_DATA_HOME/applications/korvane.desktop.
QString desktopFilePath();
// Where the icon goes: $XDG_DATA_HOME/icons/hicolor/scalable/apps/korvane.svg.
QString iconFilePath();
// The program the desktop should start: the AppImage file when running from one ($APPIMAGE; the
// executable itself lives in a mount that goes away at exit), else this executable.
QString launcherPath();
// The desktop entry that starts executable with the URL it is handed, marked as written by
// Korvane (X-Korvane-Generated=true).
QByteArray desktopEntry(const QString& executable);
// Whether an existing entry is to be rewritten for executable: only an entry Korvane wrote (it
// carries the mark) whose Exec line starts something else. An entry without the mark was
// written or edited by the user and stays as it is.
bool needsRewrite(const QByteArray& existing, const QString& executable);
// Writes the desktop entry when it is missing (and then, when xdg-mime is installed, makes it the
// default handler of x-scheme-handler/korvane, started and not waited for), rewrites Korvane's own
// entry when it starts another program, and copies the icon from the resources when the user's
// icon theme lacks it. The user's choice of handler is left alone; with an installed entry (a
// package's, in $XDG_DATA_DIRS) no entry is written.
QFuture<void> registerUrlScheme(const QString& executable);

} // namespace DesktopIntegration
