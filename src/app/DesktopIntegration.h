#pragma once

#include <QFuture>
#include <QString>

// Registers Korvane with the desktop as the handler of korvane: URLs, so that the browser's
// sign-in callback reaches the application.
// Threading: call from the main thread; the work runs on the global thread pool.
namespace DesktopIntegration {

// Where the desktop entry lives: $XDG_DATA_HOME/applications/korvane.desktop.
QString desktopFilePath();
// The desktop entry that starts executable with the URL it is handed.
QByteArray desktopEntry(const QString& executable);
// Writes the desktop entry when it is missing, and then, when xdg-mime is installed, makes it
// the default handler of x-scheme-handler/korvane (started, not waited for). An existing entry
// is left alone, and so is the user's choice of handler; with an installed entry (a package's,
// in $XDG_DATA_DIRS) nothing is written.
QFuture<void> registerUrlScheme(const QString& executable);

} // namespace DesktopIntegration
