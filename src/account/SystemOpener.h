#pragma once

#include <functional>

#include <QString>
#include <QUrl>

// Opens web pages and files with the user's programs, and shows files in the file manager.
// Tests install an interceptor to see what would be opened without launching anything.
// Threading: main thread only.
namespace SystemOpener {

enum class Action { Open, Reveal };
using Interceptor = std::function<void(Action action, const QUrl& url)>;

// Opens a URL (a web page in the browser, a file with its default program). False when the
// desktop could not be asked to open it.
bool open(const QUrl& url);
// Shows the file selected in the file manager (org.freedesktop.FileManager1); when no file
// manager answers, opens the file's folder instead, and when that fails too, calls failed (on the
// main thread). Never waits for the answer.
void reveal(const QString& filePath, const std::function<void()>& failed = {});

// While set, open() and reveal() only report to the interceptor (open() then returns true).
void setInterceptor(Interceptor interceptor);

} // namespace SystemOpener
